"""The .NET host where Wine's own runtime loader is switched on: it lists no runtime, so
binding one fails with the runtime's own code (0x80131700), which the engine records and
reports as "CLR: Runtime load failed"; the run goes on and ends cleanly."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import kvtest  # noqa: E402

SCRIPT = r"""#DefineFunction onerror(info)
   hostprint("error " : info[0])
   Return 1
#EndFunction
IntControl(73, 3, 0, "onerror", "")
ini = DirGet() : "kvsettings\Kelvoran\Settings\TRIMVALE.INI"
ObjectClrOption("use", "System")
hostprint(IniReadPvt("COM & CLR Sub-system", "Function", "", ini) : " | " : IniReadPvt("COM & CLR Sub-system", "ErrorCode", "", ini))
ObjectClrNew("System.Text.StringBuilder")
hostprint("end")
"""


class DotNetRuntimeTest(unittest.TestCase):
    def setUp(self):
        kvtest.require_env()
        self.work = tempfile.mkdtemp(prefix="dotnet_", dir=kvtest.drive_c())

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def test_a_runtime_that_cannot_be_bound_fails_with_its_code(self):
        script = os.path.join(self.work, "clr.zal")
        with open(script, "w", newline="\r\n") as f:
            f.write(SCRIPT)
        os.makedirs(os.path.join(self.work, "kvsettings"))
        kvhost = os.path.join(os.environ["KVTEST_BIN"], "kvhost.exe")
        env = dict(os.environ, WINEDLLOVERRIDES="mshtml=")   # mscoree as Wine has it
        result = subprocess.run(["wine", kvhost, "run", "--settings-root", kvtest.c_path(os.path.join(self.work, "kvsettings")),
                                 kvtest.c_path(script)], cwd=self.work, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
        lines = [line for line in result.stdout.decode("latin-1").splitlines() if not line.startswith("ERROR")]
        self.assertEqual(result.returncode, 0, lines)
        self.assertEqual(lines, ["error 1845", "CDotNet::Initialize | 5888 (0x80131700)", "error 1845", "end"])


if __name__ == "__main__":
    unittest.main()
