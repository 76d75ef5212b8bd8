"""The packing tool: what it writes (read back independently of the launcher) and how it
fails."""
import os
import subprocess
import tempfile
import unittest
import zlib

import pe_resources
from launcher_support import BUILD, FAKE_ENGINE, KVPACK, LAUNCHER, dos_time, read_directory


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
        self.assertEqual(launcher[6], open(LAUNCHER, 'rb').read())
        self.assertEqual((launcher[3], engine[3]), (0, 0))            # stored
        self.assertEqual(engine[6], open(FAKE_ENGINE, 'rb').read())
        self.assertEqual(zlib.decompress(data[6]), open(extra, 'rb').read())
        self.assertEqual(data[2], 10240)
        inflated = zlib.decompress(text[6])
        self.assertEqual(len(inflated), text[2])
        marker = b';\x0bA@@@@A' + script.encode() + b'\n'
        self.assertTrue(inflated.startswith(marker))
        self.assertIn(b'#DefineFunction f()\r\n;\x0bA@@@@C' + script.encode() + b'\n', inflated)
        self.assertEqual(text[1], dos_time(os.path.getmtime(script)))
        self.assertEqual(stop[1:4], (0, 0, 0))

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
