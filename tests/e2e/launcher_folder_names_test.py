"""Packed programs copied alone into folders on drive C: whose names the system's ANSI code
page (1252 in the test prefix) cannot say, Greek, Japanese and Cyrillic, and started there as
a user starts them: the launcher opens its own file, extracts the engine library beside
itself and loads it, and the script finds its folder and works with the files in it. A folder
named in letters the code page does say (accented Latin) still gets its answers as ANSI text."""
import os
import shutil
import subprocess
import unittest

import kvtest
from launcher_support import ENGINE, FAKE_ENGINE, LauncherTestCase

OUTSIDE_ANSI = ['\u03a9mega dir', '\u65e5\u672c\u8a9e', '\u041f\u0440\u0438\u0432\u0435\u0442']
ACCENTED = 'Caf\u00e9 d\u00e9j\u00e0'

# The real engine's script: it reports into a Unicode INI file beside the program (made with
# FilePutW, so that the folder's letters survive in it), working only with files beside it.
REPORT_SCRIPT = '''home = DirScript()
f = home : "out.ini"
FilePutW(f, "[r]" : @crlf)
IniWritePvt("r", "dirscript", home, f)
IniWritePvt("r", "kind", VarType(home), f)
IniWritePvt("r", "path", IntControl(1004, 0, 0, 0, 0), f)
IniWritePvt("r", "home", (DirHome() == home) : (FilePath(IntControl(1004, 0, 0, 0, 0)) == home), f)
IniWritePvt("r", "params", param0 : "|" : param1 : "|" : param2, f)
FilePut(home : "put.txt", "put")
IniWritePvt("r", "get", FileGet(home : "put.txt"), f)
h = FileOpen(home : "lines.txt", "WRITE")
FileWrite(h, "one")
FileWrite(h, "two")
FileClose(h)
h = FileOpen(home : "lines.txt", "READ")
IniWritePvt("r", "read", FileRead(h) : FileRead(h), f)
FileClose(h)
a = ArrayFileGet(home : "lines.txt")
IniWritePvt("r", "array", ArrInfo(a, 6) : a[1], f)
IniWritePvt("r", "exist", FileExist(home : "lines.txt") : FileExist(home : "none.txt"), f)
IniWritePvt("r", "dir", DirMake(home : "sub") : DirExist(home : "sub"), f)
IniWritePvt("r", "copy", FileCopy(home : "lines.txt", home : "sub\\copy.txt", @FALSE), f)
IniWritePvt("r", "readback", IniReadPvt("r", "get", "", f), f)
'''


class FolderNamesTest(LauncherTestCase):

    def setUp(self):
        super().setUp()
        self.w4 = os.path.join(kvtest.drive_c(), 'w4')
        self.folders = []

    def tearDown(self):
        super().tearDown()
        for folder in self.folders:
            shutil.rmtree(folder, ignore_errors=True)

    def copy_alone(self, program, folder_name, program_name=None):
        """Copies the program alone into C:\\w4\\<folder_name> (under another name if
        given); answers its path there."""
        folder = os.path.join(self.w4, folder_name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.folders.append(folder)
        return shutil.copy(program, os.path.join(folder, program_name) if program_name else folder)

    def run_alone(self, program, *args):
        """Runs the program to its end: its exit code. A program that stops with a box (as
        "EXE file open failed" does, waiting for a person) fails with the box's texts."""
        process = self.start(program, *args)
        try:
            return process.wait(30)
        except subprocess.TimeoutExpired:
            boxes = self.probe.list(cls='#32770', check=False)
            self.fail('the program did not end; its boxes: %s'
                      % [(box.get('text'), self.probe.texts(hwnd=box.hwnd)) for box in boxes])

    def test_engine_script_works_beside_itself(self):
        program = self.pack(REPORT_SCRIPT, engine=ENGINE)
        for name in OUTSIDE_ANSI + [ACCENTED]:
            with self.subTest(folder=name):
                copy = self.copy_alone(program, name)
                folder = os.path.dirname(copy)
                self.assertEqual(self.run_alone(copy, 'a', 'b c'), 0)
                with open(os.path.join(folder, 'KVDYC64I.DLL'), 'rb') as a, open(ENGINE, 'rb') as b:
                    self.assertEqual(a.read(), b.read(), 'the engine is extracted beside the program')
                home = 'C:\\w4\\%s\\' % name
                report = self.report(os.path.join(folder, 'out.ini'))
                self.assertEqual(report, {
                    'dirscript': home, 'kind': '2' if name == ACCENTED else '128', 'path': home + self.name,
                    'home': '11', 'params': '2|a|b c', 'get': 'put', 'read': 'onetwo', 'array': '2two',
                    'exist': '10', 'dir': '11', 'copy': '1', 'readback': 'put'})
                with open(os.path.join(folder, 'sub', 'copy.txt'), 'rb') as f:
                    self.assertEqual(f.read(), b'one\r\ntwo\r\n')

    def test_program_named_outside_ansi_keeps_its_name_in_its_title(self):
        # The script waits until the test has seen its window; its files work as in any folder.
        script = ('home = DirScript()\nFilePut(home : "up.txt", "up")\n'
                  'While !FileExist(home : "stop.txt")\n   TimeDelay(0.2)\nEndWhile\n')
        program = self.pack(script, engine=ENGINE)
        name = '\u039a\u03b1\u03bb\u03ac.exe'
        copy = self.copy_alone(program, OUTSIDE_ANSI[0], name)
        folder = os.path.dirname(copy)
        process = self.start(copy)
        try:
            # The system's own copy of the title (GetWindowTextW) holds the name whole; a
            # WM_GETTEXT goes through the window's ANSI procedure and would say "?".
            self.probe.wait(title_exact='KVT - ' + name, timeout=20000)
            self.assertEqual(kvtest.wait_for_file(os.path.join(folder, 'up.txt')), 'up')
        finally:
            with open(os.path.join(folder, 'stop.txt'), 'w') as f:
                f.write('stop')
        self.assertEqual(process.wait(30), 0)

    def report(self, path):
        with open(path, 'rb') as f:
            data = f.read()
        self.assertTrue(data.startswith(b'\xff\xfe'), data[:40])
        lines = data[2:].decode('utf-16-le').splitlines()
        self.assertEqual(lines[0], '[r]')
        return dict(line.split('=', 1) for line in lines[1:] if line)

    def test_launcher_answers_and_extracts_by_wide_text(self):
        # The stand-in engine logs beside the program through the path the launcher hands it,
        # so a log at all shows that path names the folder. "hostw" hands the target as the
        # engine hands on a text that came wide: its ANSI form (with "?") and its wide form.
        data = os.path.join(self.dir, 'src', 'data.txt')
        os.makedirs(os.path.dirname(data))
        with open(data, 'wb') as f:
            f.write(bytes(range(256)) * 16)
        for name in OUTSIDE_ANSI:
            with self.subTest(folder=name):
                home = 'C:\\w4\\%s\\' % name
                script = ('params\nhost 34\nhost 28 1004|0|0|0|0\nhostw 35 DATA.TXT|%scopy.bin\n' % home)
                program = self.pack(script.encode('utf-8'), engine=FAKE_ENGINE, extras=[data])
                copy = self.copy_alone(program, name)
                folder = os.path.dirname(copy)
                self.assertEqual(self.run_alone(copy, 'x', '\u0416'), 0)
                with open(os.path.join(folder, 'fake_engine.log'), encoding='utf-8') as f:
                    log = f.read().splitlines()
                answers = [line for line in log if line.startswith('host ')]
                self.assertIn('params=[x \u0416]', log)
                self.assertEqual(answers, [
                    'host 34 rc=0 answered=1 status=0 flags=128 int=0 text=' + home,
                    'host 28 rc=0 answered=1 status=0 flags=128 int=0 text=' + home + self.name,
                    'host 35 rc=0 answered=1 status=0 flags=1 int=1 text='])
                with open(os.path.join(folder, 'copy.bin'), 'rb') as a, open(data, 'rb') as b:
                    self.assertEqual(a.read(), b.read())
                self.assertTrue(os.path.exists(os.path.join(folder, 'KVDYC64I.DLL')))


if __name__ == '__main__':
    unittest.main()
