"""The functions the launcher supplies to scripts, called through the host callback as the
engine calls them (driven by the stand-in engine)."""
import os
import unittest

from launcher_support import LauncherTestCase, wine

INT, TEXT, WIDE = 1, 2, 128


def parse(line):
    """'host CODE rc=.. answered=.. status=.. flags=.. int=.. text=..' as a dict."""
    head, text = line.split(' text=', 1)
    fields = dict(part.split('=') for part in head.split()[2:])
    return {key: int(value) for key, value in fields.items()} | {'text': text}


class HostFunctionTest(LauncherTestCase):

    def run_calls(self, calls, *args, extras=()):
        program = self.pack(''.join(f'host {call}\n' for call in calls), extras=extras)
        code = wine(program, *args)
        return code, [parse(line) for line in self.host_answers()]

    def test_answers_of_the_simple_functions(self):
        program_path = None
        code, answers = self.run_calls(['0', '1', '3', '34', '28 1004|0|0|0|0', '28 1006|0', '28 1009|0',
                                        '28 1003|0', '28 1003|1', '30 1', '36 x', '29', '38', '28 1005|0'],
                                       'p1', 'p2')
        self.assertEqual(code, 0)
        windows_dir = 'Z:' + self.dir.replace('/', '\\') + '\\'
        program_path = windows_dir + self.name
        want = [
            (INT, 1, ''),                    # reload
            (TEXT, 0, '2025C'),              # version
            (INT, 1, ''),                    # rtstatus
            (TEXT, 0, windows_dir),          # dirscript
            (TEXT, 0, program_path),         # IntControl 1004
            (WIDE, 0, 'p1 p2'),              # IntControl 1006
            (TEXT, 0, ''),                   # IntControl 1009: no service
            (INT, 1, ''),                    # IntControl 1003: previous value
            (INT, 0, ''),
            (INT, -1, ''),                   # svcsetaccept outside service mode
            (INT, 0, ''),                    # cout
        ]
        for answer, (flags, value, text) in zip(answers, want):
            self.assertEqual((answer['status'], answer['flags'], answer['int'], answer['text']), (0, flags, value, text))
        breakpoint_call, unknown, armed = answers[11:]
        self.assertEqual((breakpoint_call['rc'], breakpoint_call['answered']), (0, 0))
        self.assertEqual((unknown['status'], unknown['text']),
                         (-3, '10102: Kelvoran - Unrecognized ParentProcess request code'))
        self.assertEqual((armed['int'], armed['status']), (0, 0))

    def test_errors_carry_their_number_and_class(self):
        code, answers = self.run_calls(['28 1011|0|0|0|0', '2 a|b', '35 |3', '35 name|'])
        self.assertEqual(code, 0)
        self.assertEqual([(a['rc'], a['status'], a['flags'], a['text']) for a in answers], [
            (-2, -2, TEXT, '10139: IntControl: Unrecognized Request'),
            (-3, -3, TEXT, '10103: Kelvoran Compiler - CallExt not available'),
            (-1, -1, TEXT, '10144: ExtractAttachedFile: Invalid request'),
            (-1, -1, TEXT, '10142: ExtractAttachedFile: Target file name must be specified'),
        ])

    def test_language_file_replaces_the_launchers_texts(self):
        with open(os.path.join(self.dir, 'TRMDLANG.ENU'), 'w') as f:
            f.write('[MAIN]\nX10139=10139: Demande inconnue~seconde ligne\n')
        code, answers = self.run_calls(['28 1011|0', '2 a|b'])
        self.assertEqual(answers[0]['text'], '10139: Demande inconnue')   # the log holds one line
        self.assertEqual(answers[1]['text'], '10103: Kelvoran Compiler - CallExt not available')

    def test_extract_attached_file_and_lists(self):
        extra_dir = os.path.join(self.dir, 'src')
        os.makedirs(extra_dir)
        extra = os.path.join(extra_dir, 'Notes.txt')
        content = b''.join(b'line %d of the notes\r\n' % i for i in range(2000))
        with open(extra, 'wb') as f:
            f.write(content)
        target = 'Z:' + os.path.join(self.dir, 'copy.txt').replace('/', '\\')
        code, answers = self.run_calls([f'35 notes.TXT|{target}', '35 |0', '35 |1', '35 |2', '35 absent.txt|x.txt'],
                                       extras=[extra])
        self.assertEqual(code, 0)
        with open(os.path.join(self.dir, 'copy.txt'), 'rb') as f:
            self.assertEqual(f.read(), content)
        # Start-up writes every further file beside the program as well.
        with open(os.path.join(self.dir, 'Notes.txt'), 'rb') as f:
            self.assertEqual(f.read(), content)
        self.assertEqual([(a['status'], a['flags'], a['int'], a['text']) for a in answers], [
            (0, INT, 1, ''),
            (0, TEXT, 0, 'KVDYC64I.DLL'),
            (0, TEXT, 0, ''),
            (0, TEXT, 0, 'Notes.txt'),
            (-1, TEXT, 0, '10143: ExtractAttachedFile: Error finding or extracting specified file'),
        ])

    def test_shutdown_waiter_takes_over_after_the_run(self):
        self.start(self.pack('host 28 1005|1\n'))
        waiter = self.probe.wait(cls='KVShutdownWaiter', title_exact='KvtShutdownRun - ' + self.name, hidden=True)
        self.assertEqual(waiter['visible'], '0')
        answer = parse(self.host_answers()[0])
        self.assertEqual((answer['rc'], answer['answered']), (-6, 0))   # the engine stops the script


if __name__ == '__main__':
    unittest.main()
