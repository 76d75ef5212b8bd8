"""Pelmora.exe as a user runs it: a folder whose files the multi-rename tool renamed, its
rename log and Pelmora.ini beside the program. Each case checks the box that comes up (the
result list's title and lines, or a message), and the files on disk afterwards.

Every case is one row of CASES; `Session` builds the rename session on drive C:, with the log
in the form the tool writes: UTF-8 without a byte-order mark, CR LF line ends, a header line
";<date> <time> - <text>" before each session and one line per rename, "OK      ",
"FAILED  " or "SKIPPED ", the old full path, " -> " and the new name."""
import os
import re
import shutil
import subprocess
import time
import unittest
import zlib

import kvtest
from launcher_support import read_directory

BIN = os.environ.get('KVTEST_BIN', '')
PELMORA = os.path.join(BIN, 'Pelmora.exe')
MAIN_CLASS = 'Kelv6oran4'
LIST_ID = 101
PLACED = '256,205,1024,819'        # 200, 200, 800, 800 per mille of the 1280 x 1024 desktop

TITLE = 'Previous DC MultiRename Session Successfully Reversed'
TITLE_ARCHIVED = ('Previous DC MultiRename Session Successfully Reversed and The Existing DC '
                  'MultiRename Log File Was Archived!')
NO_INI = ('Fatal Error', "Application's Pelmora.ini file is missing. Terminating application")
NO_LOG_TITLE = 'DC Multirename Log File Configuration Setting Requires Attention'


def no_log_text(log):
    return ('The DC multirename log file not located:\r\n' + log + '\r\n\r\n'
            'Check your DC multirename configuration settings under\r\n'
            'Configuration -> Options -> File Operations -> Multi-Rename Tool\r\n\r\n'
            "and the 'Rename Log -> Append in the same rename log file' radiobutton is selected "
            'and that the Vintalore.Ini references that same file!')


class Session:
    """A rename session on drive C:: the program folder "app" (Pelmora.exe and Pelmora.ini),
    the renamed files in "files", the log in "logs" (a case may name the program's and the
    log's folders otherwise). Names in a case are relative to "files"; `win(name)` gives the
    Windows path the program sees."""

    def __init__(self, root, app='app', logs='logs'):
        self.root = root
        self.files = os.path.join(root, 'files')
        self.logs = os.path.join(root, logs)
        self.app = os.path.join(root, app)
        for folder in (self.files, self.logs, self.app):
            os.makedirs(folder)
        shutil.copy(PELMORA, self.app)
        self.log = os.path.join(self.logs, 'rename.log')

    def win(self, name=''):
        return kvtest.c_path(os.path.join(self.files, name)).rstrip('\\')

    def put(self, names):
        for name in names:
            with open(os.path.join(self.files, name), 'w', encoding='utf-8') as f:
                f.write('was ' + name)

    def write_log(self, lines, encoding):
        """Lines are texts, or (outcome, old, new [, encoding of this line]): a rename line of
        files/old to new."""
        def line_bytes(line):
            if isinstance(line, tuple):
                text = '%-8s%s -> %s' % (line[0], self.win(line[1]), line[2])
                return text.encode(line[3] if len(line) > 3 else encoding)
            return line.encode(encoding)
        with open(self.log, 'wb') as f:
            f.write(b''.join(line_bytes(line) + b'\r\n' for line in lines))

    def write_ini(self, move_log, encoding='latin-1'):
        """The settings in ANSI, or in UTF-16 with its byte-order mark (which holds a log path
        that the ANSI code page cannot say)."""
        text = '[Settings]\r\nTextFile= %s \r\nMoveLogFile=%s\r\n' % (kvtest.c_path(self.log), move_log)
        with open(os.path.join(self.app, 'Pelmora.ini'), 'wb') as f:
            f.write(b'\xff\xfe' + text.encode('utf-16-le') if encoding == 'utf-16' else text.encode(encoding))

    def contents(self):
        """{name: content} of the renamed files' folder."""
        out = {}
        for name in os.listdir(self.files):
            with open(os.path.join(self.files, name), encoding='utf-8') as f:
                out[name] = f.read()
        return out


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def ok(old, new):
    return ('OK', old, new)


def failed(old, new):
    return ('FAILED', old, new)


def skipped(old, new):
    return ('SKIPPED', old, new)


def header(when, text='Multi-Rename'):
    return ';%s - %s' % (when, text)


def back(s, new, old):
    return '-- SUCCESS -- %s   Renamed Back To   %s' % (s.win(new), s.win(old))


def missing(s, new):
    return '-- ERROR -- %s Is Missing ' % s.win(new)


def exists(s, old):
    return '-- ERROR -- %s Already Exists In This Folder - Rename Not Performed' % s.win(old)


def not_renamed(s, new, old):
    return '** ERROR ** %s   Was NOT Renamed Back To   %s' % (s.win(new), s.win(old))


def not_undone(s, outcome, old, new):
    return '-- NOT UNDONE -- %s -> %s   (%s In That Session)' % (s.win(old), new, outcome)


# An older session, with a rename that failed in it, before the last session's header.
OLDER_BLOCK = [header('28.04.2024 09:12:03'), ok('keep.txt', 'kept.txt'), failed('keep2.txt', 'kept.txt'),
               header('01.05.2024 13:45:10')]

# name, files before, log lines, MoveLogFile, expected title, expected list lines (given the
# session), files after as {name: content}. A case with `box` expects that message box instead
# of the list; `ini=False` writes no Pelmora.ini, `log=False` no log; `encoding` is the log's
# (UTF-8 unless given), `ini_encoding` Pelmora.ini's (ANSI unless given); `app` and `logs` name
# the program's and the log's folders.
CASES = [
    dict(name='three_lines_after_an_older_block_newest_first',
         files=['kept.txt', 'b1.txt', 'b2.txt', 'b3.txt'],
         log=OLDER_BLOCK + [ok('a1.txt', 'b1.txt'), ok('a2.txt', 'b2.txt'), ok('a3.txt', 'b3.txt')],
         title=TITLE,
         lines=lambda s: [back(s, 'b3.txt', 'a3.txt'), back(s, 'b2.txt', 'a2.txt'), back(s, 'b1.txt', 'a1.txt')],
         after={'kept.txt': 'was kept.txt', 'a1.txt': 'was b1.txt', 'a2.txt': 'was b2.txt',
                'a3.txt': 'was b3.txt'}),
    # a2 -> b2 -> b3 in one batch: only walking backwards gets b3 back to a2.
    dict(name='a_chain_of_renames_unwinds_from_its_end',
         files=['b3.txt'],
         log=[header('01.05.2024 13:45:10'), ok('a2.txt', 'b2.txt'), ok('b2.txt', 'b3.txt')],
         title=TITLE,
         lines=lambda s: [back(s, 'b3.txt', 'b2.txt'), back(s, 'b2.txt', 'a2.txt')],
         after={'a2.txt': 'was b3.txt'}),
    # Names outside the ANSI code page (Greek, CJK, a character beyond the 16-bit range) on
    # either side of the arrow, and an accented one, come back exactly.
    dict(name='names_outside_the_ansi_code_page_come_back_exactly',
         files=['athens.txt', 'tokyo.txt', 'cafe.jpg', 'Ωμέγα 😀.jpg'],
         log=OLDER_BLOCK + [ok('Αθήνα.txt', 'athens.txt'), ok('東京 2024.txt', 'tokyo.txt'),
                            ok('Café.jpg', 'cafe.jpg'), ok('photo.jpg', 'Ωμέγα 😀.jpg')],
         title=TITLE,
         lines=lambda s: [back(s, 'Ωμέγα 😀.jpg', 'photo.jpg'), back(s, 'cafe.jpg', 'Café.jpg'),
                          back(s, 'tokyo.txt', '東京 2024.txt'), back(s, 'athens.txt', 'Αθήνα.txt')],
         after={'Αθήνα.txt': 'was athens.txt', '東京 2024.txt': 'was tokyo.txt', 'Café.jpg': 'was cafe.jpg',
                'photo.jpg': 'was Ωμέγα 😀.jpg'}),
    # The tool swapped two names through a temporary name in the same folder.
    dict(name='a_swap_through_a_temporary_name_is_unwound',
         files=['α.txt', 'β.txt'],
         log=[header('01.05.2024 13:45:10'), ok('α.txt', '~MR0001.tmp'), ok('β.txt', 'α.txt'),
              ok('~MR0001.tmp', 'β.txt')],
         title=TITLE,
         lines=lambda s: [back(s, 'β.txt', '~MR0001.tmp'), back(s, 'α.txt', 'β.txt'), back(s, '~MR0001.tmp', 'α.txt')],
         after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt'}),
    # Failed and skipped renames changed nothing: listed, passed over, and the walk goes on to
    # the header; the title counts them apart from the failures of the undo.
    dict(name='failed_and_skipped_lines_are_passed_over',
         files=['kept.txt', 'b1.txt', 'a2.txt', 'a3.txt', 'b4.txt'],
         log=OLDER_BLOCK + [ok('a1.txt', 'b1.txt'), failed('a2.txt', 'b2.txt'), skipped('a3.txt', 'a3.txt'),
                            ok('a4.txt', 'b4.txt'), ok('a5.txt', 'b5.txt')],
         title=TITLE + ' (1 of 5 entries failed, 2 of 5 entries not renamed in that session)',
         lines=lambda s: [missing(s, 'b5.txt'), back(s, 'b4.txt', 'a4.txt'), not_undone(s, 'SKIPPED', 'a3.txt', 'a3.txt'),
                          not_undone(s, 'FAILED', 'a2.txt', 'b2.txt'), back(s, 'b1.txt', 'a1.txt')],
         after={'kept.txt': 'was kept.txt', 'a1.txt': 'was b1.txt', 'a2.txt': 'was a2.txt',
                'a3.txt': 'was a3.txt', 'a4.txt': 'was b4.txt'}),
    dict(name='a_session_of_failed_lines_only_renames_nothing',
         files=['a1.txt'],
         log=[header('01.05.2024 13:45:10'), failed('a1.txt', 'b1.txt')],
         title=TITLE + ' (1 of 1 entries not renamed in that session)',
         lines=lambda s: [not_undone(s, 'FAILED', 'a1.txt', 'b1.txt')],
         after={'a1.txt': 'was a1.txt'}),
    # A log that is not valid UTF-8 is ANSI text.
    dict(name='a_log_that_is_not_utf8_is_read_as_ansi',
         files=['cafe.jpg', 'aerger.txt'],
         log=[header('01.05.2024 13:45:10'), ok('Café.jpg', 'cafe.jpg'), ok('Ärger.txt', 'aerger.txt')],
         encoding='cp1252',
         title=TITLE,
         lines=lambda s: [back(s, 'aerger.txt', 'Ärger.txt'), back(s, 'cafe.jpg', 'Café.jpg')],
         after={'Café.jpg': 'was cafe.jpg', 'Ärger.txt': 'was aerger.txt'}),
    # The last session decides: an older one in ANSI does not make its UTF-8 names ANSI.
    dict(name='the_last_session_alone_decides_the_encoding',
         files=['kept.txt', 'cafe.jpg'],
         log=[header('28.04.2024 09:12:03'), ok('keep.txt', 'kept.txt'),
              ok('Été.txt', 'ete.txt') + ('cp1252',), header('01.05.2024 13:45:10'),
              ok('Café.jpg', 'cafe.jpg')],
         title=TITLE,
         lines=lambda s: [back(s, 'cafe.jpg', 'Café.jpg')],
         after={'kept.txt': 'was kept.txt', 'Café.jpg': 'was cafe.jpg'}),
    dict(name='a_file_renamed_again_meanwhile_is_missing_and_the_rest_runs',
         files=['b1.txt', 'b2 later.txt', 'b3.txt'],
         log=[ok('a1.txt', 'b1.txt'), ok('a2.txt', 'b2.txt'), ok('a3.txt', 'b3.txt')],
         title=TITLE + ' (1 of 3 entries failed)',
         lines=lambda s: [back(s, 'b3.txt', 'a3.txt'), missing(s, 'b2.txt'), back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt', 'b2 later.txt': 'was b2 later.txt', 'a3.txt': 'was b3.txt'}),
    dict(name='an_existing_target_is_left_alone',
         files=['b1.txt', 'b2.txt', 'a2.txt'],
         log=[ok('a1.txt', 'b1.txt'), ok('a2.txt', 'b2.txt')],
         title=TITLE + ' (1 of 2 entries failed)',
         lines=lambda s: [exists(s, 'a2.txt'), back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt', 'b2.txt': 'was b2.txt', 'a2.txt': 'was a2.txt'}),
    dict(name='one_line_can_fail_twice',
         files=['a1.txt', 'b2.txt'],
         log=[ok('a1.txt', 'b1.txt'), ok('a2.txt', 'b2.txt')],
         title=TITLE + ' (2 of 3 entries failed)',
         lines=lambda s: [back(s, 'b2.txt', 'a2.txt'), missing(s, 'b1.txt'), exists(s, 'a1.txt')],
         after={'a1.txt': 'was a1.txt', 'a2.txt': 'was b2.txt'}),
    # The old name holds a character that no file name may hold: the rename itself fails.
    dict(name='a_failed_rename_is_reported_and_the_walk_goes_on',
         files=['b1.txt', 'b2.txt'],
         log=[ok('a1.txt', 'b1.txt'), ok('a|2.txt', 'b2.txt')],
         title=TITLE + ' (1 of 2 entries failed)',
         lines=lambda s: [not_renamed(s, 'b2.txt', 'a|2.txt'), back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt', 'b2.txt': 'was b2.txt'}),
    # A rename that changed only the case: the "existing" old name is the file itself.
    dict(name='a_case_only_rename_is_undone',
         files=['photo.jpg'],
         log=[ok('PHOTO.JPG', 'photo.jpg')],
         title=TITLE,
         lines=lambda s: [back(s, 'photo.jpg', 'PHOTO.JPG')],
         after=None),
    # Long names: the line is read whole, however far past its 256th character the new name ends.
    dict(name='a_line_longer_than_256_characters_is_read_whole',
         files=['new ' + 'n' * 116 + '.txt'],
         log=[header('01.05.2024 13:45:10'), ok('old ' + 'o' * 116 + '.txt', 'new ' + 'n' * 116 + '.txt')],
         title=TITLE,
         lines=lambda s: [back(s, 'new ' + 'n' * 116 + '.txt', 'old ' + 'o' * 116 + '.txt')],
         after={'old ' + 'o' * 116 + '.txt': 'was new ' + 'n' * 116 + '.txt'}),
    # "OK" without the arrow names no file to rename back: reported, nothing renamed.
    dict(name='an_ok_line_without_the_arrow_renames_nothing',
         files=['b1.txt', 'b2.txt'],
         log=[ok('a1.txt', 'b1.txt'), 'OK     ' + 'b2.txt'],
         title=TITLE + ' (1 of 2 entries failed)',
         lines=lambda s: ['-- ERROR -- txt Is Missing ', back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt', 'b2.txt': 'was b2.txt'}),
    dict(name='a_last_line_that_is_no_rename_undoes_nothing',
         files=['b1.txt'],
         log=[ok('a1.txt', 'b1.txt'), 'Rename session ended: 1 file'],
         title=TITLE + ' (nothing to undo)',
         lines=lambda s: [],
         after={'b1.txt': 'was b1.txt'}),
    dict(name='an_empty_log_undoes_nothing',
         files=['b1.txt'],
         log=[],
         title=TITLE + ' (nothing to undo)',
         lines=lambda s: [],
         after={'b1.txt': 'was b1.txt'}),
    dict(name='the_log_is_archived_when_asked',
         files=['b1.txt'],
         log=OLDER_BLOCK[-1:] + [ok('a1.txt', 'b1.txt')],
         move=' True ',
         title=TITLE_ARCHIVED,
         lines=lambda s: [back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt'}),
    dict(name='archiving_and_a_failure_show_both',
         files=[],
         log=[ok('a1.txt', 'b1.txt')],
         move='True',
         title=TITLE_ARCHIVED + ' (1 of 1 entries failed)',
         lines=lambda s: [missing(s, 'b1.txt')],
         after={}),
    # The program copied alone into folders that the ANSI code page cannot name finds its
    # Pelmora.ini beside it; a log in such a folder is named in a Unicode Pelmora.ini.
    dict(name='started_from_a_folder_named_outside_the_ansi_code_page',
         app='\u041f\u0440\u0438\u0432\u0435\u0442 \u65e5\u672c\u8a9e',
         files=['b1.txt'],
         log=[header('01.05.2024 13:45:10'), ok('a1.txt', 'b1.txt')],
         title=TITLE,
         lines=lambda s: [back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt'}),
    dict(name='a_log_in_a_folder_named_outside_the_ansi_code_page_is_archived',
         app='\u03a9mega dir', logs='\u65e5\u672c\u8a9e \u041b\u043e\u0433',
         files=['b1.txt'],
         log=[header('01.05.2024 13:45:10'), ok('a1.txt', 'b1.txt')],
         ini_encoding='utf-16', move='True',
         title=TITLE_ARCHIVED,
         lines=lambda s: [back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt'}),
    dict(name='without_pelmora_ini_the_program_stops',
         files=['b1.txt'],
         log=[ok('a1.txt', 'b1.txt')],
         ini=False,
         box=lambda s: NO_INI,
         after={'b1.txt': 'was b1.txt'}),
    dict(name='a_missing_log_asks_to_check_the_configuration',
         files=['b1.txt'],
         log=False,
         box=lambda s: (NO_LOG_TITLE, no_log_text(kvtest.c_path(s.log))),
         after={'b1.txt': 'was b1.txt'}),
]


class PelmoraTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        kvtest.require_env()
        if not os.path.exists(PELMORA):
            raise unittest.SkipTest('Pelmora.exe has not been built')
        cls.probe = kvtest.Probe(BIN, timeout=20000)
        cls.base = os.path.join(kvtest.drive_c(), 'pelmora-e2e-%d' % os.getpid())

    def setUp(self):
        self.process = None

    def tearDown(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.base, ignore_errors=True)

    def test_the_program_carries_the_launcher_the_engine_and_the_script(self):
        records = read_directory(PELMORA)
        self.assertEqual([(r[0], r[4]) for r in records],
                         [('Pelmora.exe', 1), ('KVDYC64I.DLL', 2), ('Pelmora.zal', 11), ('STOP', 4)])
        self.assertEqual(records[0][6], read(os.path.join(BIN, 'kvcmp64i.exe')))
        self.assertEqual(records[1][6], read(os.path.join(BIN, 'KVDYC64I.dll')))
        source = os.path.join(os.path.dirname(__file__), '..', '..', 'resources', 'pelmora', 'Pelmora.zal')
        header, _, script = zlib.decompress(records[2][6]).partition(b'\n')
        self.assertTrue(header.startswith(b';\x0bA@@@@A') and header.endswith(b'Pelmora.zal'), header)
        # The packer marks the source line after each directive (the functions the script defines).
        lines = script.split(b'\n')
        self.assertEqual(b'\n'.join(l for l in lines if not l.startswith(b';\x0b')), read(source))

    def run_case(self, case):
        session = Session(os.path.join(self.base, case['name']), case.get('app', 'app'), case.get('logs', 'logs'))
        session.put(case['files'])
        if case['log'] is not False:
            session.write_log(case['log'], case.get('encoding', 'utf-8'))
        if case.get('ini', True):
            session.write_ini(case.get('move', 'False'), case.get('ini_encoding', 'latin-1'))
        log_before = read(session.log) if os.path.exists(session.log) else None
        started = time.time()
        self.process = subprocess.Popen(['wine', os.path.join(session.app, 'Pelmora.exe')], cwd=session.app,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        main = self.probe.wait(cls=MAIN_CLASS, title_exact='KVT - Pelmora.exe', hidden=True)
        box = self.probe.wait(cls='#32770', pid=main['pid'])

        if box['text'].startswith('Error:'):                 # an engine error: show it
            self.fail(self.probe.texts(hwnd=box.hwnd))
        if 'box' in case:
            title, text = case['box'](session)
            self.assertEqual(box['text'], title)
            self.assertIn(text, self.probe.texts(hwnd=box.hwnd))
        else:
            self.assertEqual(box['text'], case['title'])
            self.assertEqual(box['rect'], PLACED, 'the list takes the placement the script asks for')
            self.assertEqual(self.probe.items(hwnd=box.hwnd, id=LIST_ID), case['lines'](session))
        self.probe.click(hwnd=box.hwnd, button='OK')
        self.assertEqual(self.process.wait(30), 0)
        ended = time.time()

        if case['after'] is not None:
            self.assertEqual(session.contents(), case['after'])
        else:                                      # the platform may keep the old case
            self.assertEqual([n.lower() for n in session.contents()], [case['files'][0].lower()])
        self.check_log(case, session, log_before, started, ended)

    def check_log(self, case, session, log_before, started, ended):
        archive = os.path.join(session.logs, 'Log_Archive')
        if 'box' in case:
            self.assertFalse(os.path.exists(archive), 'nothing is made before the settings are right')
            return
        archived = os.listdir(archive)
        if case.get('move', 'False').strip() != 'True':
            self.assertEqual(archived, [])
            self.assertEqual(read(session.log), log_before)
            return
        self.assertFalse(os.path.exists(session.log))
        self.assertEqual(len(archived), 1, archived)
        match = re.fullmatch(r'multirename_(\d{4})_(\d\d)_(\d\d)_(\d\d)_(\d\d)_(\d\d)\.log', archived[0])
        self.assertTrue(match, archived[0])
        stamp = time.mktime(tuple(int(g) for g in match.groups()) + (0, 0, -1))
        self.assertTrue(int(started) - 1 <= stamp <= ended + 1, (archived[0], started, ended))
        self.assertEqual(read(os.path.join(archive, archived[0])), log_before)


def _case_test(case):
    return lambda self: self.run_case(case)


for _case in CASES:
    setattr(PelmoraTest, 'test_' + _case['name'], _case_test(_case))


if __name__ == '__main__':
    unittest.main()
