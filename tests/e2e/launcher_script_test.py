"""Packed programs with the real engine: ZAL scripts that call the launcher's functions, its
exit codes, its error answers as the script's error box shows them, Terminate and the parent
protocol. Results come back through an INI file the script writes beside the program."""
import os
import unittest

from launcher_support import ENGINE, EngineScriptTestCase, finish, kvmsg, wine


class ScriptTest(EngineScriptTestCase):



    def error_box(self, text):
        """Waits for the engine's error box, checks its message and closes it."""
        self.answer_box('Error:  KVT - ' + self.name, text, button='Ok')

    def windows_dir(self):
        return 'Z:' + self.dir.replace('/', '\\') + '\\'

    def test_exit_codes_and_the_extracted_engine(self):
        self.assertEqual(wine(self.pack('x = 1\n')), 0)
        with open(os.path.join(self.dir, 'KVDYC64I.DLL'), 'rb') as a, open(ENGINE, 'rb') as b:
            self.assertEqual(a.read(), b.read())
        self.assertEqual(wine(self.pack('x = IntControl(1000, 7, 0, 0, 0)\n')), 7)

    def test_unicode_script_runs_like_its_ansi_form(self):
        text = (self.SCRIPT_HEADER + 'IniWritePvt("r", "path", IntControl(1004, 0, 0, 0, 0), f)\r\n'
                'x = IntControl(1000, 9, 0, 0, 0)\r\n')
        program = self.pack(b'\xff\xfe' + text.encode('utf-16-le'))
        self.assertEqual(wine(program), 9)
        self.assertEqual(self.results(), {'path': self.windows_dir() + self.name})

    def test_launcher_functions_answer_the_script(self):
        extra = os.path.join(self.dir, 'src', 'data.txt')
        os.makedirs(os.path.dirname(extra))
        with open(extra, 'wb') as out:
            out.write(bytes(range(256)) * 64)
        program = self.pack(
            'IniWritePvt("r", "rtstatus", RtStatus(), f)\n'
            'IniWritePvt("r", "dirscript", DirScript(), f)\n'
            'IniWritePvt("r", "path", IntControl(1004, 0, 0, 0, 0), f)\n'
            'IniWritePvt("r", "reload", Reload(), f)\n'
            'IniWritePvt("r", "list", ExtractAttachedFile("", 2), f)\n'
            'IniWritePvt("r", "engines", ExtractAttachedFile("", 0), f)\n'
            'IniWritePvt("r", "extract", ExtractAttachedFile("DATA.TXT", DirScript() : "copy.bin"), f)\n'
            'IniWritePvt("r", "old", IntControl(1000, 3, 0, 0, 0), f)\n'
            'IniWritePvt("r", "count", param0, f)\n'
            'IniWritePvt("r", "first", param1, f)\n'
            'IniWritePvt("r", "second", param2, f)\n',
            extras=[extra])
        self.assertEqual(wine(program, '!@#000000001234', 'a', 'b'), 3)
        self.assertEqual(self.results(), {
            'rtstatus': '1', 'dirscript': self.windows_dir(), 'path': self.windows_dir() + self.name,
            'reload': '1', 'list': 'data.txt', 'engines': 'KVDYC64I.DLL', 'extract': '1', 'old': '0',
            'count': '2', 'first': 'a', 'second': 'b'})
        with open(os.path.join(self.dir, 'copy.bin'), 'rb') as a, open(extra, 'rb') as b:
            self.assertEqual(a.read(), b.read())

    def test_version_is_the_launchers_and_versiondll_the_engines(self):
        program = self.pack('IniWritePvt("r", "version", Version(), f)\n'
                            'IniWritePvt("r", "engine", VersionDll(), f)\n')
        self.assertEqual(wine(program), 0)
        self.assertEqual(self.results(), {'version': '2025C', 'engine': '6.25cyc'})

    def test_trace_header_quotes_the_launchers_version(self):
        program = self.pack('DebugTrace(1, DirScript() : "trace.txt")\nx = 1\n')
        self.assertEqual(wine(program), 0)
        with open(os.path.join(self.dir, 'trace.txt'), encoding='latin-1') as f:
            lines = f.read().splitlines()
        header = lines.index('=' * 30)
        self.assertEqual(lines[header + 2:header + 4], ['2025C', 'ZAL DLL 6.25cyc'])

    def test_launcher_error_reaches_the_scripts_error_handler(self):
        # IntControl 1011 is a moderate host error (2214): with the script's own error
        # handling on, no box shows; the handler sees the launcher's number and text.
        program = self.pack(
            'IntControl(73, 1, 0, "", "")\n'
            'x = IntControl(1011, 0, 0, 0, 0)\n'
            'IniWritePvt("r", "after", "not reached", f)\n'
            'Exit\n'
            ':KVERRORHANDLER\n'
            'IniWritePvt("r", "number", kverrorarray[0], f)\n'
            'IniWritePvt("r", "text", kverrorarray[5], f)\n'
            'IniWritePvt("r", "last", LastError(), f)\n')
        self.assertEqual(wine(program), 0)
        self.assertEqual(self.results(), {
            'number': '10139', 'text': '10139: IntControl: Unrecognized Request', 'last': '10139'})

    def test_intcontrol_requests_the_engine_leaves_reach_the_launcher(self):
        # 55 and 86 have no row in the engine: like 0 and 103 they go to the launcher,
        # which does not know them either.
        for request in (55, 86, 0, 103):
            with self.subTest(request=request):
                results = os.path.join(self.dir, 'out.ini')
                if os.path.exists(results):
                    os.remove(results)
                program = self.pack(
                    'IntControl(73, 1, 0, "", "")\n'
                    'x = IntControl(%d, 0, 0, 0, 0)\n'
                    'Exit\n'
                    ':KVERRORHANDLER\n'
                    'IniWritePvt("r", "number", kverrorarray[0], f)\n' % request)
                self.assertEqual(wine(program), 0)
                self.assertEqual(self.results(), {'number': '10139'})

    def test_errors_of_launcher_functions(self):
        cases = [
            ('x = IntControl(1011, 0, 0, 0, 0)', '10139: IntControl: Unrecognized Request'),
            ('x = CallExt("a", "b")', '10103: Kelvoran Compiler - CallExt not available'),
            ('x = ExtractAttachedFile("name.txt", "")', '10142: ExtractAttachedFile: Target file name must be specified'),
            ('x = ExtractAttachedFile("absent.txt", DirScript() : "a.txt")',
             '10143: ExtractAttachedFile: Error finding or extracting specified file'),
            ('x = ExtractAttachedFile("", 3)', '10144: ExtractAttachedFile: Invalid request'),
        ]
        for line, message in cases:
            with self.subTest(line=line):
                process = self.start(self.pack(line + '\nIniWritePvt("r", "after", "ran", f)\n'))
                self.error_box('ZAL Extender Error:  ' + message)
                self.assertEqual(finish(process), 0)
                self.assertEqual(self.results(), {})

    def test_terminate_stops_a_looping_script(self):
        process = self.start(self.pack('While 1\n   x = 1\nEndWhile\n'))
        window = self.main_window()
        kvmsg('post', window.hwnd, 0x0112, 1344, 0)             # WM_SYSCOMMAND Terminate
        self.error_box('194:  Execution terminated by user request')
        self.assertEqual(finish(process), 0)

    def test_parent_stop_request_ends_the_script_without_a_box(self):
        process = self.start(self.pack('While 1\n   x = 1\nEndWhile\nIniWritePvt("r", "after", "ran", f)\n'))
        window = self.main_window()
        kvmsg('send', window.hwnd, 1111, 1332, 0)
        self.assertEqual(finish(process), 0)
        self.assertEqual(self.results(), {})

    def test_child_tells_its_parent_how_the_run_ended(self):
        for script, outcome in (('x = 1\n', 1333), ('x = nosuchfunction()\n', 1332)):
            with self.subTest(outcome=outcome):
                parent, handle = self.start_parent(20)
                process = self.start(self.pack(script), '!@#%012d' % handle)
                if outcome == 1332:
                    self.error_box('3052:')
                self.assertEqual(finish(process), 0)
                self.assertEqual(parent.stdout.readline().split(), ['1111', str(outcome), '0'])
                parent.kill()


if __name__ == '__main__':
    unittest.main()
