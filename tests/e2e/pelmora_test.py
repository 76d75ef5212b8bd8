"""Pelmora.exe as a user runs it: a folder whose files the multi-rename tool renamed, its
rename log and Pelmora.ini beside the program. Each case checks the box that comes up (the
result list's title and lines, or a message), and the files on disk afterwards.

Every case is one row of CASES; `Session` builds the rename session on drive C:, with the log
in the form the tool writes: UTF-8 without a byte-order mark, CR LF line ends, a header line
";<date> <time> - <text>" before each session and one line per rename, "OK      ",
"FAILED  " or "SKIPPED ", the old full path, " -> " and the new name. A case may go on with
further starts of the program (`then`), as a user starts it again after the file manager
appended a session, after the renames made by the tool, or on the same log."""
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
    log's folders otherwise), and a folder "other" beside them. Names in a case are relative
    to "files"; `win(name)` gives the Windows path the program sees."""

    def __init__(self, root, app='app', logs='logs'):
        self.root = root
        self.files = os.path.join(root, 'files')
        self.logs = os.path.join(root, logs)
        self.app = os.path.join(root, app)
        self.other = os.path.join(root, 'other')
        for folder in (self.files, self.logs, self.app, self.other):
            os.makedirs(folder)
        shutil.copy(PELMORA, self.app)
        self.log = os.path.join(self.logs, 'rename.log')
        self.ini = os.path.join(self.app, 'Pelmora.ini')
        self.archive = os.path.join(self.logs, 'Log_Archive')

    def win(self, name=''):
        return kvtest.c_path(os.path.join(self.files, name)).rstrip('\\')

    @property
    def log_win(self):
        return kvtest.c_path(self.log)

    def put(self, names, folder=None):
        for name in names:
            with open(os.path.join(folder or self.files, name), 'w', encoding='utf-8') as f:
                f.write('was ' + name)

    def log_bytes(self, lines, encoding, ends='\r\n'):
        """Lines are texts, functions of the session giving a text, or (outcome, old, new
        [, encoding of this line]): a rename line of files/old to new. `ends` is the line
        end, or a list of them taken in turn. UTF-16 and UTF-8 with a signature get their
        byte-order mark once, at the top."""
        mark, per_line = {'utf-16': (b'\xff\xfe', 'utf-16-le'),
                          'utf-8-sig': (b'\xef\xbb\xbf', 'utf-8')}.get(encoding, (b'', encoding))
        ends = [ends] if isinstance(ends, str) else ends
        out = []
        for n, line in enumerate(lines):
            code = per_line
            if callable(line):
                line = line(self)
            elif isinstance(line, tuple):
                code = line[3] if len(line) > 3 else per_line
                line = '%-8s%s -> %s' % (line[0], self.win(line[1]), line[2])
            out.append((line + ends[n % len(ends)]).encode(code))
        return mark + b''.join(out)

    def write_log(self, lines, encoding, ends='\r\n', mode='wb'):
        with open(self.log, mode) as f:
            f.write(self.log_bytes(lines, encoding, ends))

    def write_ini(self, move_log, encoding='latin-1'):
        """The settings in ANSI, or in UTF-16 with its byte-order mark (which holds a log path
        that the ANSI code page cannot say)."""
        text = '[Settings]\r\nTextFile= %s \r\nMoveLogFile=%s\r\n' % (self.log_win, move_log)
        with open(self.ini, 'wb') as f:
            f.write(b'\xff\xfe' + text.encode('utf-16-le') if encoding == 'utf-16' else text.encode(encoding))

    def contents(self, folder=None):
        """{name: content} of the renamed files' folder; a folder's content is None."""
        out = {}
        folder = folder or self.files
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            if os.path.isdir(path):
                out[name] = None
                continue
            with open(path, encoding='utf-8') as f:
                out[name] = f.read()
        return out


class Holder:
    """Another program that holds a file open while Pelmora runs: a test host running a
    script that opens it in the given mode ("READ" shares reading only, "APPEND" nothing)
    and keeps it open until told to stop."""

    SCRIPT = ('h = FileOpen("%s", "%s")\r\nFilePut(".\\held.flag", "1")\r\n'
              'While !FileExist(".\\stop.flag")\r\n   TimeDelay(0.05)\r\nEndWhile\r\nFileClose(h)\r\n')

    def __init__(self, root, path, mode):
        self.folder = os.path.join(root, 'holder')
        os.makedirs(self.folder, exist_ok=True)
        for flag in ('held.flag', 'stop.flag'):
            if os.path.exists(os.path.join(self.folder, flag)):
                os.remove(os.path.join(self.folder, flag))
        script = os.path.join(self.folder, 'holder.zal')
        with open(script, 'w', encoding='latin-1') as f:
            f.write(self.SCRIPT % (kvtest.c_path(path), mode))
        # No pipes: a process of Wine's that the holder may start would keep them open.
        self.process = subprocess.Popen(['wine', os.path.join(BIN, 'kvhost.exe'), 'run', kvtest.c_path(script)],
                                        cwd=self.folder, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        kvtest.wait_for_file(os.path.join(self.folder, 'held.flag'), timeout=30)

    def stop(self):
        with open(os.path.join(self.folder, 'stop.flag'), 'w') as f:
            f.write('1')
        assert self.process.wait(60) == 0, self.process.returncode


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


def folder(s, new):
    return '-- ERROR -- %s Is A Folder, Not A File - Rename Not Performed' % s.win(new)


def refused(s, number, what):
    """The entry of a log line that Pelmora refuses; `what` says why."""
    return '-- ERROR -- Line %d Of %s%s - Rename Not Performed' % (number, s.log_win, what)


def bad_name(name, why):
    return ': New Name "%s" %s' % (name, why)


def bad_path(path, why):
    return ': Old Path "%s" %s' % (path, why)


PATH = 'Is Not A Bare Name: It Holds A Path'
CHARACTER = 'Holds A Character That No Windows Name May Hold'
STAMP = r'\d{4}:\d\d:\d\d:\d\d:\d\d:\d\d'


def already_undone(move=False):
    """The title of a second start on a session that was undone."""
    return re.compile(re.escape(TITLE) + r' \(already undone on ' + STAMP + ', nothing renamed now'
                      + (', the log was not archived' if move else '') + r'\)')


def undone_entry(s, first, last):
    return re.compile(re.escape('-- ALREADY UNDONE -- Lines %d To %d Of %s Were Undone On ' % (first, last, s.log_win))
                      + STAMP + re.escape(' - Nothing Renamed Again'))


# The tool swaps two names through a temporary name: its lines, and the same renames on disk.
SWAP = [ok('α.txt', '~MR0001.tmp'), ok('β.txt', 'α.txt'), ok('~MR0001.tmp', 'β.txt')]
SWAP_ON_DISK = [(line[1], line[2]) for line in SWAP]


# An older session, with a rename that failed in it, before the last session's header.
OLDER_BLOCK = [header('28.04.2024 09:12:03'), ok('keep.txt', 'kept.txt'), failed('keep2.txt', 'kept.txt'),
               header('01.05.2024 13:45:10')]

# name, files before, log lines, MoveLogFile, expected title (a text, or a pattern), expected
# list lines (given the session), files after as {name: content}. A case with `box` expects
# that message box instead of the list; `ini=False` writes no Pelmora.ini, `log=False` no log;
# `encoding` is the log's (UTF-8 unless given), `ends` its line ends, `ini_encoding`
# Pelmora.ini's (ANSI unless given); `app` and `logs` name the program's and the log's
# folders. Further: `dirs` (folders made in "files"), `others` and `other` (files in "other"
# before and after), `hold` (what a Holder keeps open, and how, during the start), `archives`
# (older archives of every second around the start), `archived=False` (the log stays, though
# MoveLogFile asks to archive it), `lang` (the program's locale), and `then`: further starts,
# each with the files it `put`s, the `renames` that the tool made before it and the lines it
# `append`ed to the log.
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
    # Another program holds the renamed file open: the rename itself fails.
    dict(name='a_failed_rename_is_reported_and_the_walk_goes_on',
         files=['b1.txt', 'b2.txt'],
         log=[ok('a1.txt', 'b1.txt'), ok('a2.txt', 'b2.txt')],
         hold=('b2.txt', 'READ'),
         title=TITLE + ' (1 of 2 entries failed)',
         lines=lambda s: [not_renamed(s, 'b2.txt', 'a2.txt'), back(s, 'b1.txt', 'a1.txt')],
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
         lines=lambda s: [refused(s, 2, ' Holds No " -> " Between An Old Path And A New Name'),
                          back(s, 'b1.txt', 'a1.txt')],
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
    # The record of an undone session names such a log too: a second start renames nothing.
    dict(name='a_log_named_outside_the_ansi_code_page_is_undone_once',
         app='\u03a9mega dir', logs='\u041f\u0440\u0438\u0432\u0435\u0442 \u65e5\u672c\u8a9e',
         files=['α.txt', 'β.txt'],
         log=[header('01.05.2024 13:45:10')] + SWAP,
         ini_encoding='utf-16',
         title=TITLE,
         lines=lambda s: [back(s, 'β.txt', '~MR0001.tmp'), back(s, 'α.txt', 'β.txt'), back(s, '~MR0001.tmp', 'α.txt')],
         after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt'},
         then=[dict(title=already_undone(),
                    lines=lambda s: [undone_entry(s, 2, 4)],
                    after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt'})]),
    # A new name is a bare name in the old path's folder: anything else is refused, line by
    # line, and the rest of the session runs. "..\other\x.txt" would move a file in from
    # another folder, "w?.txt" would take w2.txt, which the log never named.
    dict(name='new_names_that_are_no_bare_names_are_refused',
         files=['w2.txt', 'b9.txt'],
         others=['x.txt'],
         log=[header('01.05.2024 13:45:10'), ok('a1.txt', '..\\other\\x.txt'), ok('a2.txt', '../other/x.txt'),
              ok('a3.txt', 'C:x.txt'), ok('a4.txt', '.'), ok('a5.txt', '..'), ok('w.txt', 'w?.txt'),
              ok('a7.txt', 'w*.txt'), ok('a8.txt', 'b8 |.txt'), ok('a9.txt', 'b9.txt')],
         title=TITLE + ' (8 of 9 entries failed)',
         lines=lambda s: [back(s, 'b9.txt', 'a9.txt'), refused(s, 9, bad_name('b8 |.txt', CHARACTER)),
                          refused(s, 8, bad_name('w*.txt', CHARACTER)), refused(s, 7, bad_name('w?.txt', CHARACTER)),
                          refused(s, 6, bad_name('..', 'Names A Folder, Not A File')),
                          refused(s, 5, bad_name('.', 'Names A Folder, Not A File')),
                          refused(s, 4, bad_name('C:x.txt', 'Is Not A Bare Name: It Names A Drive')),
                          refused(s, 3, bad_name('../other/x.txt', PATH)),
                          refused(s, 2, bad_name('..\\other\\x.txt', PATH))],
         after={'w2.txt': 'was w2.txt', 'a9.txt': 'was b9.txt'},
         other={'x.txt': 'was x.txt'}),
    # An old path is a full path of a file: wildcards and other characters that no Windows
    # name may hold, a path without its drive or share, a path that names no file.
    dict(name='old_paths_that_name_no_file_are_refused',
         files=['w.txt', 'w2.txt', 'b2.txt', 'b9.txt'],
         log=[header('01.05.2024 13:45:10'), ok('w?.txt', 'w.txt'), ok('a*.txt', 'w2.txt'),
              ok('a|2.txt', 'b2.txt'), 'OK      a4.txt -> b2.txt', lambda s: 'OK      ' + s.win('..') + '\\ -> w.txt',
              'OK      \\\\.\\C:\\a6.txt -> w.txt', ok('a9.txt', 'b9.txt')],
         title=TITLE + ' (6 of 7 entries failed)',
         lines=lambda s: [back(s, 'b9.txt', 'a9.txt'), refused(s, 7, bad_path('\\\\.\\C:\\a6.txt', 'Is A Device, Not A File')),
                          refused(s, 6, bad_path(s.win('..') + '\\', 'Names No File')),
                          refused(s, 5, bad_path('a4.txt', 'Is Not A Full Path')),
                          refused(s, 4, bad_path(s.win('a|2.txt'), CHARACTER)),
                          refused(s, 3, bad_path(s.win('a*.txt'), CHARACTER)),
                          refused(s, 2, bad_path(s.win('w?.txt'), CHARACTER))],
         after={'w.txt': 'was w.txt', 'w2.txt': 'was w2.txt', 'b2.txt': 'was b2.txt', 'a9.txt': 'was b9.txt'}),
    # A folder is told as a folder: as the new name it is no file to rename back; in the old
    # name's place it would take the file in.
    dict(name='folders_are_told_as_folders',
         files=['b2.txt'],
         dirs=['sub', 'sub2'],
         log=[ok('a1.txt', 'sub'), ok('sub2', 'b2.txt')],
         title=TITLE + ' (2 of 2 entries failed)',
         lines=lambda s: [exists(s, 'sub2'), folder(s, 'sub')],
         after={'b2.txt': 'was b2.txt', 'sub': None, 'sub2': None}),
    # The tool may end lines with CR LF, LF or CR alone: all of them end a line.
    dict(name='cr_lf_and_cr_alone_all_end_lines',
         files=['kept.txt', 'b1.txt', 'b2.txt', 'b3.txt'],
         log=OLDER_BLOCK + [ok('a1.txt', 'b1.txt'), ok('a2.txt', 'b2.txt'), ok('a3.txt', 'b3.txt')],
         ends=['\r', '\n', '\r\n'],
         title=TITLE,
         lines=lambda s: [back(s, 'b3.txt', 'a3.txt'), back(s, 'b2.txt', 'a2.txt'), back(s, 'b1.txt', 'a1.txt')],
         after={'kept.txt': 'was kept.txt', 'a1.txt': 'was b1.txt', 'a2.txt': 'was b2.txt',
                'a3.txt': 'was b3.txt'}),
    # A line of 100,000 characters: in an older session it is passed over; in the last one it
    # is an entry that names the log and the line, and the rest is undone.
    dict(name='an_over_long_line_is_told_and_the_rest_is_undone',
         files=['kept.txt', 'b1.txt', 'b3.txt'],
         log=[header('28.04.2024 09:12:03'), ok('keep.txt', 'kept.txt'), failed('keep2.txt', 'k' * 100000),
              header('01.05.2024 13:45:10'), ok('a1.txt', 'b1.txt'), ok('a2.txt', 'n' * 100000), ok('a3.txt', 'b3.txt')],
         title=TITLE + ' (1 of 3 entries failed)',
         lines=lambda s: [back(s, 'b3.txt', 'a3.txt'),
                          refused(s, 6, ' Is Longer Than Any Rename (%d Characters)' % (8 + len(s.win('a2.txt')) + 4 + 100000)),
                          back(s, 'b1.txt', 'a1.txt')],
         after={'kept.txt': 'was kept.txt', 'a1.txt': 'was b1.txt', 'a3.txt': 'was b3.txt'}),
    # On a double-byte system (code page 932) a UTF-8 line may end in a byte that the system
    # takes for the first half of a character ("あ" ends in 0x82): the line still ends there.
    dict(name='line_ends_are_found_on_a_double_byte_system',
         files=['newあ', 'new2あ'],
         log=[header('01.05.2024 13:45:10'), ok('oldあ', 'newあ'), ok('old2あ', 'new2あ')],
         lang='ja_JP.UTF-8',
         title=TITLE,
         lines=lambda s: [back(s, 'new2あ', 'old2あ'), back(s, 'newあ', 'oldあ')],
         after={'oldあ': 'was newあ', 'old2あ': 'was new2あ'}),
    # UTF-16 (as an editor may save the log) and UTF-8 with a signature read as the tool's own
    # form; the signature is no part of the first line.
    dict(name='a_utf16_log_is_read_exactly',
         files=['athens.txt', 'cafe.jpg'],
         log=OLDER_BLOCK + [ok('Αθήνα.txt', 'athens.txt'), ok('Café.jpg', 'cafe.jpg')],
         encoding='utf-16',
         title=TITLE,
         lines=lambda s: [back(s, 'cafe.jpg', 'Café.jpg'), back(s, 'athens.txt', 'Αθήνα.txt')],
         after={'Αθήνα.txt': 'was athens.txt', 'Café.jpg': 'was cafe.jpg'}),
    dict(name='a_signature_is_no_part_of_the_first_line',
         files=['b1.txt', 'b2.txt'],
         log=[ok('a1.txt', 'b1.txt'), ok('a2.txt', 'b2.txt')],
         encoding='utf-8-sig',
         title=TITLE,
         lines=lambda s: [back(s, 'b2.txt', 'a2.txt'), back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt', 'a2.txt': 'was b2.txt'}),
    # A second start on the same log touches nothing and says so: a swap undone twice would be
    # swapped back. The session that the tool appends after it (the same swap, made again in
    # the same second, under the same header) is undone as usual.
    dict(name='a_session_is_undone_once_and_a_new_one_again',
         files=['α.txt', 'β.txt'],
         log=[header('01.05.2024 13:45:10')] + SWAP,
         title=TITLE,
         lines=lambda s: [back(s, 'β.txt', '~MR0001.tmp'), back(s, 'α.txt', 'β.txt'), back(s, '~MR0001.tmp', 'α.txt')],
         after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt'},
         then=[dict(title=already_undone(),
                    lines=lambda s: [undone_entry(s, 2, 4)],
                    after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt'}),
               dict(renames=SWAP_ON_DISK,
                    append=[header('01.05.2024 13:45:10')] + SWAP,
                    title=TITLE,
                    lines=lambda s: [back(s, 'β.txt', '~MR0001.tmp'), back(s, 'α.txt', 'β.txt'),
                                     back(s, '~MR0001.tmp', 'α.txt')],
                    after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt'}),
               dict(title=already_undone(),
                    lines=lambda s: [undone_entry(s, 6, 8)],
                    after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt'})]),
    # Without header lines, the renames appended after an undone session run on from it:
    # only they are undone, and the first swap is not swapped back.
    dict(name='a_log_without_headers_undoes_only_what_was_appended',
         files=['α.txt', 'β.txt'],
         log=SWAP,
         title=TITLE,
         lines=lambda s: [back(s, 'β.txt', '~MR0001.tmp'), back(s, 'α.txt', 'β.txt'), back(s, '~MR0001.tmp', 'α.txt')],
         after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt'},
         then=[dict(renames=SWAP_ON_DISK + [('a4.txt', 'b4.txt')],
                    put=['a4.txt'],
                    append=SWAP + [ok('a4.txt', 'b4.txt')],
                    title=TITLE,
                    lines=lambda s: [back(s, 'b4.txt', 'a4.txt'), back(s, 'β.txt', '~MR0001.tmp'),
                                     back(s, 'α.txt', 'β.txt'), back(s, '~MR0001.tmp', 'α.txt')],
                    after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt', 'a4.txt': 'was a4.txt'}),
               dict(title=already_undone(),
                    lines=lambda s: [undone_entry(s, 1, 7)],
                    after={'α.txt': 'was β.txt', 'β.txt': 'was α.txt', 'a4.txt': 'was a4.txt'})]),
    # Another program holds the log open: it cannot be archived, but the renames are listed,
    # the title says why, and the session counts as undone.
    dict(name='a_log_held_open_is_not_archived_and_the_undo_is_listed',
         files=['b1.txt'],
         log=[header('01.05.2024 13:45:10'), ok('a1.txt', 'b1.txt')],
         move='True',
         hold=('log', 'READ'),
         archived=False,
         title=TITLE + ' (the log could not be archived: another program is using it)',
         lines=lambda s: [back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt'},
         then=[dict(title=already_undone(move=True),
                    lines=lambda s: [undone_entry(s, 2, 2)],
                    archived=False,
                    after={'a1.txt': 'was b1.txt'})]),
    # An archive of the same name (two runs in one second, a clock set back) stays as it is:
    # the log takes a free name.
    dict(name='an_archive_is_never_replaced',
         files=['b1.txt'],
         log=[ok('a1.txt', 'b1.txt')],
         move='True',
         archives=True,
         title=re.compile(re.escape(TITLE_ARCHIVED) + r' \(archived as multirename_[\d_]+_2\.log, as '
                          r'multirename_[\d_]+\.log was taken\)'),
         lines=lambda s: [back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt'}),
    # Pelmora.ini cannot be written: the undo is listed, and the title says that it was not
    # recorded.
    dict(name='an_undo_that_cannot_be_recorded_is_told',
         files=['b1.txt'],
         log=[ok('a1.txt', 'b1.txt')],
         hold=('ini', 'READ'),
         title=TITLE + ' (the undo could not be recorded in Pelmora.ini, so a second start would undo it again)',
         lines=lambda s: [back(s, 'b1.txt', 'a1.txt')],
         after={'a1.txt': 'was b1.txt'}),
    # A log that another program holds without sharing cannot be read: nothing is renamed.
    dict(name='a_log_that_cannot_be_read_is_told',
         files=['b1.txt'],
         log=[ok('a1.txt', 'b1.txt')],
         hold=('log', 'APPEND'),
         box=lambda s: ('DC Multirename Log File Could Not Be Read',
                        'The DC multirename log file could not be read:\r\n%s\r\n\r\nReason: another program '
                        'is using it.\r\n\r\nNothing was renamed.' % s.log_win),
         after={'b1.txt': 'was b1.txt'}),
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
        # Wine starts the virtual desktop's own process for the first program that needs it,
        # and that process keeps the streams it inherits open while it lives: were it the
        # probe's, the probe's answer would never end. So a program without streams brings
        # the desktop up first, and a second one keeps it up while the cases run.
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        winprobe = os.path.join(BIN, 'winprobe.exe')
        cls.desktop = subprocess.Popen(['wine', winprobe, 'wait', '--title-exact', 'no such window',
                                        '--timeout', '3600000'], **quiet)
        subprocess.run(['wine', winprobe, 'list'], timeout=60, **quiet)

    def setUp(self):
        self.process = None

    def tearDown(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.kill()
        cls.desktop.wait()
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
        session.put(case.get('others', []), session.other)
        for name in case.get('dirs', []):
            os.makedirs(os.path.join(session.files, name))
        if case['log'] is not False:
            session.write_log(case['log'], case.get('encoding', 'utf-8'), case.get('ends', '\r\n'))
        if case.get('ini', True):
            session.write_ini(case.get('move', 'False'), case.get('ini_encoding', 'latin-1'))
        older = self.older_archives(session) if case.get('archives') else {}
        self.run_once(case, case, session, older)
        for step in case.get('then', []):
            session.put(step.get('put', []))
            for old, new in step.get('renames', []):
                os.rename(os.path.join(session.files, old), os.path.join(session.files, new))
            if 'append' in step:
                session.write_log(step['append'], case.get('encoding', 'utf-8'), case.get('ends', '\r\n'), 'ab')
            self.run_once(case, step, session, older)

    def older_archives(self, session):
        """Archives of every second from a little before now to two minutes on, so that the
        program's own time finds its name taken: {name: content}."""
        os.makedirs(session.archive)
        now = int(time.time())
        made = {}
        for second in range(now - 5, now + 120):
            name = time.strftime('multirename_%Y_%m_%d_%H_%M_%S.log', time.localtime(second))
            made[name] = 'older archive %d' % second
            with open(os.path.join(session.archive, name), 'w') as f:
                f.write(made[name])
        return made

    def run_once(self, case, run, session, older):
        """One start of the program, as `run` (the case or one of its further starts) expects it."""
        log_before = read(session.log) if os.path.exists(session.log) else None
        holder = None
        if run.get('hold'):
            what, mode = run['hold']
            path = {'log': session.log, 'ini': session.ini}.get(what, os.path.join(session.files, what))
            holder = Holder(session.root, path, mode)
        try:
            started = time.time()
            env = dict(os.environ, LC_ALL=case['lang']) if 'lang' in case else None
            self.process = subprocess.Popen(['wine', os.path.join(session.app, 'Pelmora.exe')], cwd=session.app,
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL, env=env)
            main = self.probe.wait(cls=MAIN_CLASS, title_exact='KVT - Pelmora.exe', hidden=True)
            box = self.probe.wait(cls='#32770', pid=main['pid'])

            if box['text'].startswith('Error:'):                 # an engine error: show it
                self.fail(self.probe.texts(hwnd=box.hwnd))
            if 'box' in run:
                title, text = run['box'](session)
                self.assertEqual(box['text'], title)
                self.assertIn(text, self.probe.texts(hwnd=box.hwnd))
            else:
                self.assert_text(box['text'], run['title'])
                self.assertEqual(box['rect'], PLACED, 'the list takes the placement the script asks for')
                items = self.probe.items(hwnd=box.hwnd, id=LIST_ID)
                expected = run['lines'](session)
                self.assertEqual(len(items), len(expected), items)
                for item, want in zip(items, expected):
                    self.assert_text(item, want)
            self.probe.click(hwnd=box.hwnd, button='OK')
            self.assertEqual(self.process.wait(30), 0)
            ended = time.time()
        finally:
            if holder:
                holder.stop()

        if run['after'] is not None:
            self.assertEqual(session.contents(), run['after'])
        else:                                      # the platform may keep the old case
            self.assertEqual([n.lower() for n in session.contents()], [case['files'][0].lower()])
        if 'other' in case:
            self.assertEqual(session.contents(session.other), case['other'])
        self.check_log(case, run, session, log_before, older, started, ended)

    def assert_text(self, text, expected):
        if isinstance(expected, re.Pattern):
            self.assertTrue(expected.fullmatch(text), (text, expected.pattern))
        else:
            self.assertEqual(text, expected)

    def check_log(self, case, run, session, log_before, older, started, ended):
        """The log stays as it was, or it moved into the archive folder under a name of its
        own; archives that were there stay as they were."""
        if 'box' in run and not run.get('hold'):
            self.assertFalse(os.path.exists(session.archive), 'nothing is made before the settings are right')
            return
        self.assertEqual({name: read(os.path.join(session.archive, name)).decode() for name in older}, older)
        archived = [name for name in os.listdir(session.archive) if name not in older]
        moves = case.get('move', 'False').strip() == 'True' and 'box' not in run
        if not run.get('archived', case.get('archived', moves)):
            self.assertEqual(archived, [])
            self.assertEqual(read(session.log), log_before)
            return
        self.assertFalse(os.path.exists(session.log))
        self.assertEqual(len(archived), 1, archived)
        match = re.fullmatch(r'multirename_(\d{4})_(\d\d)_(\d\d)_(\d\d)_(\d\d)_(\d\d)(_\d+)?\.log', archived[0])
        self.assertTrue(match, archived[0])
        stamp = time.mktime(tuple(int(g) for g in match.groups()[:6]) + (0, 0, -1))
        self.assertTrue(int(started) - 1 <= stamp <= ended + 1, (archived[0], started, ended))
        self.assertEqual(match.group(7) is not None, bool(older), archived[0])
        self.assertEqual(read(os.path.join(session.archive, archived[0])), log_before)


def _case_test(case):
    return lambda self: self.run_case(case)


for _case in CASES:
    setattr(PelmoraTest, 'test_' + _case['name'], _case_test(_case))


if __name__ == '__main__':
    unittest.main()
