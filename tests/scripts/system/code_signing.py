# Signs a copy of the probe target with osslsigncode and a self-signed code-signing
# certificate, and writes the hash text the engine must answer: openssl's SHA-1
# fingerprint with each byte in upper-case hex without its leading zero. Then a copy of
# the test host that Wine takes for Windows 7 must refuse SignerSignEx2 signing with 1253.
import os
import shutil
import subprocess

import kvtest

HOST_COPY = "kvhost_kvt_codesign.exe"
APP_DEFAULTS = "HKCU\\Software\\Wine\\AppDefaults\\" + HOST_COPY

WIN7_SCRIPT = """ErrorMode(@OFF)
x = IntControl(93, 3, "a" : @TAB : "b" : @TAB : "c" : @TAB : "d" : @TAB : "e" : @TAB : "sha1", "", "")
hostprint(LastError())
"""


def run(*args):
    subprocess.run(args, cwd=None, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def setup(t):
    shutil.copy(os.path.join(t.bin, "probe_target.exe"), t.path("unsigned.exe"))
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
        "-subj", "/CN=KVT code signing", "-addext", "extendedKeyUsage=codeSigning",
        "-keyout", t.path("cs.key"), "-out", t.path("cs.pem"))
    run("osslsigncode", "sign", "-certs", t.path("cs.pem"), "-key", t.path("cs.key"),
        "-in", t.path("unsigned.exe"), "-out", t.path("signed.exe"))
    fingerprint = subprocess.run(["openssl", "x509", "-in", t.path("cs.pem"), "-noout", "-fingerprint", "-sha1"],
                                 check=True, capture_output=True, text=True).stdout
    hex_bytes = fingerprint.strip().split("=", 1)[1].split(":")
    t.write("expected.txt", "".join("%X" % int(b, 16) for b in hex_bytes))
    t.write("win7.zal", WIN7_SCRIPT)


def check(t):
    shutil.copy(os.path.join(t.bin, "kvhost.exe"), t.path(HOST_COPY))
    try:
        assert kvtest.reg("add", APP_DEFAULTS, "/v", "Version", "/d", "win7", "/f")[0] == 0
        code, out, err = kvtest.run(t.path(HOST_COPY), "run", "--dll", kvtest.windows_path(
            os.path.join(t.bin, "KVDYC64I.dll")), t.work_win + "\\win7.zal", cwd=t.work)
        lines = out.decode("latin-1").split()
        assert code == 0 and "1253" in lines, (code, out, err)
    finally:
        kvtest.reg("delete", APP_DEFAULTS, "/f")
