# Digests checked against hashlib and hmac: the HMAC keyed by the derived key blob must be
# the HMAC over the blob's key bytes (the blob: an 8-byte header, a 32-bit length, the key).
import hashlib
import hmac
import struct

DATA = bytes((i * 7919) % 251 for i in range(2500000))   # spans three read blocks


def setup(t):
    t.write("empty.txt", b"")
    t.write("abc.txt", b"abc")
    t.write("data.bin", DATA)


def value(t, label):
    for line in t.output:
        if line.startswith(label + " "):
            return line[len(label) + 1:]
    raise AssertionError("no line %r" % label)


def check(t):
    assert value(t, "md5 empty") == hashlib.md5(b"").hexdigest().upper()
    assert value(t, "sha256 data") == hashlib.sha256(DATA).hexdigest().upper()
    assert value(t, "md5 data") == hashlib.md5(DATA).hexdigest().upper()
    grouped = hashlib.sha256(b"abc").hexdigest().upper()
    assert value(t, "sha256 abc grouped") == " ".join(grouped[i:i + 8] for i in range(0, 64, 8))

    blob = bytes.fromhex(value(t, "key"))
    assert blob[:8] == bytes.fromhex("0802000001680000"), blob.hex()
    length, = struct.unpack("<I", blob[8:12])
    key = blob[12:12 + length]
    assert len(blob) == 12 + length
    assert value(t, "hmac-sha1 data") == hmac.new(key, DATA, hashlib.sha1).hexdigest().upper()
    md5 = hmac.new(key, b"abc", hashlib.md5).hexdigest().upper()
    assert value(t, "hmac-md5 abc") == "-".join(md5[i:i + 8] for i in range(0, 32, 8))
    assert value(t, "hmac-sha abc") == hmac.new(key, b"abc", hashlib.sha1).hexdigest().upper()

    ini = open(t.settings_ini(), encoding="latin-1").read()
    assert "LastError=2 (CreateFile)" in ini, ini
