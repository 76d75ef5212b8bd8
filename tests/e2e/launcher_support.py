"""Support for the launcher's end-to-end tests: packing programs with the native packing
tool, running them under Wine, reading the stand-in engine's log, and finding their windows
with the window probe (tests/lib/kvtest.py).

Paths come from KVTEST_BIN (the build's bin folder): the launcher and engine there, the
native kvpack in ../native, the stand-in engines in ../fake_engine/<variant>."""
import configparser
import os
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import kvtest

BIN = os.environ.get('KVTEST_BIN', '')
BUILD = os.path.dirname(BIN)
KVPACK = os.path.join(BUILD, 'native', 'kvpack')
LAUNCHER = os.path.join(BIN, 'kvcmp64i.exe')
ENGINE = os.path.join(BIN, 'KVDYC64I.dll')
FAKE_ENGINE = os.path.join(BUILD, 'fake_engine', 'full', 'KVDYC64I.dll')
FAKE_ENGINE_NO16 = os.path.join(BUILD, 'fake_engine', 'no_menu_loader', 'KVDYC64I.dll')
KVMSG = os.path.join(BIN, 'kvmsg.exe')

MAIN_CLASS = 'Kelv6oran4'
RECORD = 276


def pack(directory, script, name='prog.exe', engine=None, extras=(), launcher=None):
    """Writes the script (text or bytes) and packs it; answers the program's path."""
    os.makedirs(directory, exist_ok=True)
    source = os.path.join(directory, 'script.zal')
    with open(source, 'wb') as f:
        f.write(script.encode('latin-1') if isinstance(script, str) else script)
    output = os.path.join(directory, name)
    command = [KVPACK, '-o', output, '-l', launcher or LAUNCHER, '-e', engine or FAKE_ENGINE]
    for extra in extras:
        command += ['-a', extra]
    subprocess.run(command + [source], check=True)
    return output


def wine(program, *args, timeout=60):
    """Runs a Windows program to its end; answers its exit code (modulo 256)."""
    return subprocess.run(['wine', program, *args], cwd=os.path.dirname(program), stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout).returncode


def kvmsg(*args):
    result = subprocess.run(['wine', KVMSG, *[str(a) for a in args]], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30)
    if result.returncode != 0:
        raise AssertionError(f'kvmsg {args} failed with {result.returncode}')
    return result.stdout.decode('latin-1')


def wait_for(what, timeout=20, interval=0.1):
    """Polls `what` until it answers something true; fails after the time-out."""
    end = time.time() + timeout
    while True:
        value = what()
        if value:
            return value
        if time.time() > end:
            raise AssertionError(f'timed out waiting for {what}')
        time.sleep(interval)


def finish(process, timeout=30):
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        raise


def read_directory(path):
    """An independent reader of a packed program's directory: (name, dos_time, full,
    compressed, type, tag, payload) tuples in order, STOP included last."""
    data = Path(path).read_bytes()
    marker = data.rfind(b'\x20\x11\x10\x20Quarrenvale Ostmerwick!\x20\x11\x10\x20')
    assert marker >= 0, 'no marker'
    count = data[marker + 31]
    assert data[marker + 32:marker + RECORD] == bytes(RECORD - 32)
    records = []
    offset = 0
    for i in range(count + 1):
        raw = data[marker + RECORD * (i + 1):marker + RECORD * (i + 2)]
        name = raw[:256].rstrip(b'\0').decode('latin-1')
        dos, full, packed, kind, tag = struct.unpack('>5I', raw[256:])
        size = packed or full
        records.append((name, dos, full, packed, kind, tag, data[offset:offset + size]))
        offset += size
    assert marker + RECORD * (count + 2) == len(data), 'bytes after the directory'
    assert offset == marker, 'payloads do not end at the marker'
    return records


def dos_time(seconds):
    t = time.localtime(seconds)
    return ((t.tm_year - 1980) << 25 | t.tm_mon << 21 | t.tm_mday << 16
            | t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec // 2)


class LauncherTestCase(unittest.TestCase):
    """A fresh folder and a program name of its own for each test; the probe; the stand-in
    engine's log."""

    @classmethod
    def setUpClass(cls):
        kvtest.require_env()
        cls.probe = kvtest.Probe(BIN, timeout=20000)

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='kvl-', dir=BUILD)
        self.name = f'p{os.getpid()}{self._testMethodName[-12:]}.exe'.replace('_', '')
        self.processes = []

    def tearDown(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
            for stream in (process.stdout, process.stderr):
                if stream:
                    stream.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def pack(self, script, **options):
        options.setdefault('name', self.name)
        return pack(self.dir, script, **options)

    def start(self, program, *args):
        process = subprocess.Popen(['wine', program, *args], cwd=os.path.dirname(program),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def start_parent(self, seconds):
        """A stand-in parent window that prints the 1111 messages it gets for `seconds`;
        answers the process and the window handle that a child's "!@#" prefix names."""
        parent = subprocess.Popen(['wine', KVMSG, 'parent', str(seconds)], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.processes.append(parent)
        return parent, int(parent.stdout.readline())

    def main_window(self, title=None, **selection):
        return self.probe.wait(cls=MAIN_CLASS, title_exact=title or 'KVT - ' + self.name, **selection)

    def answer_box(self, caption, text, button='OK'):
        """Waits for the message box with this caption, checks that one of its texts holds
        `text`, presses the button."""
        box = self.probe.wait(cls='#32770', title_exact=caption)
        texts = self.probe.texts(hwnd=box['hwnd'])
        self.assertTrue(any(text in t for t in texts), f'{text!r} not in {texts}')
        self.probe.click(hwnd=box['hwnd'], button=button)
        self.probe.gone(hwnd=box['hwnd'])

    def log(self):
        path = os.path.join(self.dir, 'fake_engine.log')
        if not os.path.exists(path):
            return []
        with open(path, encoding='utf-8') as f:
            return f.read().splitlines()

    def started(self):
        return wait_for(lambda: any(line.startswith('start') for line in self.log()))

    def menu(self):
        """The system menu as the stand-in engine logged it: {id: (state, text)}."""
        items = {}
        for line in self.log():
            if line.startswith('menu '):
                _, ident, state, text = line.split(' ', 3)
                items[int(ident)] = (int(state), text)
        return items

    def host_answers(self):
        return [line for line in self.log() if line.startswith('host ')]


class EngineScriptTestCase(LauncherTestCase):
    """Programs packed with the real engine and a ZAL script that reports through an INI
    file beside the program: each script starts with SCRIPT_HEADER, which names it f."""

    SCRIPT_HEADER = 'f = DirScript() : "out.ini"\n'

    def pack(self, script, **options):
        options.setdefault('engine', ENGINE)
        if isinstance(script, str):
            script = self.SCRIPT_HEADER + script
        return super().pack(script, **options)

    def section(self, name='r'):
        """The keys and values of a section of the script's INI file."""
        parser = configparser.ConfigParser(interpolation=None)
        parser.read(os.path.join(self.dir, 'out.ini'), encoding='latin-1')
        return dict(parser[name]) if parser.has_section(name) else {}

    def results(self):
        return self.section('r')
