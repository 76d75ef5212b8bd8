"""The deliverables must start on a bare Windows: every library they import is one that
the system itself has (none of the toolchain's runtime libraries)."""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "lib"))
from kvtest import drive_c, require_env  # noqa: E402

BIN = os.environ.get("KVTEST_BIN", "")
OBJDUMP = os.environ.get("KVTEST_OBJDUMP", "x86_64-w64-mingw32-objdump")
DELIVERABLES = ["KVDYC64I.dll", "kvcmp64i.exe"]


def imports(path):
    out = subprocess.run([OBJDUMP, "-p", path], check=True, capture_output=True, text=True).stdout
    return re.findall(r"DLL Name: (\S+)", out)


class Imports(unittest.TestCase):
    def test_deliverables_import_only_system_libraries(self):
        system32 = {f.lower() for f in os.listdir(os.path.join(drive_c(), "windows", "system32"))}
        checked = 0
        for name in DELIVERABLES:
            path = os.path.join(BIN, name)
            if not os.path.exists(path):
                continue
            checked += 1
            for dll in imports(path):
                with self.subTest(binary=name, library=dll):
                    self.assertNotRegex(dll.lower(), r"^(lib(stdc\+\+|gcc|winpthread)|zlib)")
                    self.assertIn(dll.lower(), system32)
        self.assertGreater(checked, 0)


if __name__ == "__main__":
    require_env()
    unittest.main(verbosity=2)
