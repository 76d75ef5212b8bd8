"""The packing tool: what it writes (read back independently of the launcher) and how it
fails."""
import os
import subprocess
import tempfile
import unittest
import zlib
from pathlib import Path

import kvtest
import pe_resources
from launcher_support import BIN, BUILD, FAKE_ENGINE, KVPACK, LAUNCHER, dos_time, read_directory


class PackToolTest(unittest.TestCase):

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(dir=BUILD)
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, 'wb') as f:
            f.write(data)
        return path

    def kvpack(self, *args):
        return subprocess.run([KVPACK, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def test_layout_of_a_packed_program(self):
        script = self.write('undo.zal', b'a = 1\r\n#DefineFunction f()\r\nreturn 2\r\n#EndFunction\r\n')
        extra = self.write('data.bin', bytes(range(256)) * 40)
        out = os.path.join(self.dir, 'Undo.exe')
        result = self.kvpack('-o', out, '-l', LAUNCHER, '-e', FAKE_ENGINE, '-a', extra, script)
        self.assertEqual(result.returncode, 0, result.stderr)
        records = read_directory(out)
        self.assertEqual([(r[0], r[4], r[5]) for r in records], [
            ('Undo.exe', 1, 222), ('KVDYC64I.DLL', 2, 333), ('data.bin', 2222, 0), ('undo.zal', 11, 411),
            ('STOP', 5, 9999)])
        launcher, engine, data, text, stop = records
        self.assertEqual(launcher[6], Path(LAUNCHER).read_bytes())
        self.assertEqual((launcher[3], engine[3]), (0, 0))            # stored
        self.assertEqual(engine[6], Path(FAKE_ENGINE).read_bytes())
        self.assertEqual(zlib.decompress(data[6]), Path(extra).read_bytes())
        self.assertEqual(data[2], 10240)
        inflated = zlib.decompress(text[6])
        self.assertEqual(len(inflated), text[2])
        marker = b';\x0bA@@@@A' + script.encode() + b'\n'
        self.assertTrue(inflated.startswith(marker))
        self.assertIn(b'#DefineFunction f()\r\n;\x0bA@@@@C' + script.encode() + b'\n', inflated)
        self.assertEqual(text[1], dos_time(os.path.getmtime(script)))
        self.assertEqual(stop[1:4], (0, 0, 0))

    def test_windows_tool_writes_the_same_program(self):
        script = self.write('s.zal', b'x = 1\r\n')
        extra = self.write('e.dat', b'extra' * 100)
        native = os.path.join(self.dir, 'native', 'Same.exe')
        windows = os.path.join(self.dir, 'windows', 'Same.exe')
        os.makedirs(os.path.dirname(native))
        os.makedirs(os.path.dirname(windows))
        self.assertEqual(self.kvpack('-o', native, '-l', LAUNCHER, '-e', FAKE_ENGINE, '-a', extra, script).returncode, 0)
        kvtest.require_env()
        code, _, err = kvtest.run(os.path.join(BIN, 'kvpack.exe'), '-o', kvtest.windows_path(windows),
                                  '-l', kvtest.windows_path(LAUNCHER), '-e', kvtest.windows_path(FAKE_ENGINE),
                                  '-a', kvtest.windows_path(extra), kvtest.windows_path(script))
        self.assertEqual(code, 0, err)
        native_records = read_directory(native)
        windows_records = read_directory(windows)
        # The script's marker names the source as each tool was given it; all else is equal.
        self.assertEqual(native_records[:3], windows_records[:3])
        self.assertEqual(native_records[3][:2], windows_records[3][:2])
        self.assertEqual(zlib.decompress(windows_records[3][6]).split(b'\n', 1)[1], b'x = 1\r\n')

    def test_failures_leave_no_output(self):
        script = self.write('s.zal', b'x\n')
        out = os.path.join(self.dir, 'out.exe')
        cases = [
            ([], 1),
            (['-o', out], 1),
            (['-o', out, '-l', LAUNCHER, '-e', FAKE_ENGINE, script, script], 1),
            (['-o', out, '--bogus', script], 1),
            (['-o', out, '-l', LAUNCHER, '-e', FAKE_ENGINE, os.path.join(self.dir, 'missing.zal')], 2),
            (['-o', out, '-l', os.path.join(self.dir, 'none.exe'), '-e', FAKE_ENGINE, script], 2),
            (['-o', out, '-l', LAUNCHER, '-e', FAKE_ENGINE, '-a', self.dir, script], 2),
            (['-o', out, '-l', LAUNCHER, '-e', FAKE_ENGINE, '-a', script, script], 1),   # one name twice
        ]
        for args, code in cases:
            with self.subTest(args=args):
                result = self.kvpack(*args)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertTrue(result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir)), ['s.zal'])

    def test_launcher_carries_its_configuration_and_manifest(self):
        items = pe_resources.resources(LAUNCHER)
        rcdata = [(name, size) for kind, name, lang, size, _ in items if kind == 10]
        self.assertEqual(rcdata, [('CONFIGDATA', 800)])
        manifest = [body for kind, name, lang, size, body in items if kind == 24][0]
        self.assertIn(b'{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}', manifest)   # Windows 10
        self.assertTrue(any(kind == 14 and name == 'MYICON' for kind, name, *_ in items))


if __name__ == '__main__':
    unittest.main()
