"""Support for the launcher's end-to-end tests: packing programs with the native packing
tool, running them under Wine and looking at their windows through kvprobe.

The environment (set by ctest) names the build outputs: KVPACK, KV_LAUNCHER, KV_ENGINE,
KV_FAKE_ENGINE, KV_FAKE_ENGINE_NO16, KV_PROBE. Wine's prefix and display come from
tools/test.sh."""
import os
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
import zlib

KVPACK = os.environ.get('KVPACK', '')
LAUNCHER = os.environ.get('KV_LAUNCHER', '')
ENGINE = os.environ.get('KV_ENGINE', '')
FAKE_ENGINE = os.environ.get('KV_FAKE_ENGINE', '')
FAKE_ENGINE_NO16 = os.environ.get('KV_FAKE_ENGINE_NO16', '')
PROBE = os.environ.get('KV_PROBE', '')

RECORD = 276


class Window:
    def __init__(self, line):
        hwnd, self.cls, visible, iconic, self.title = line.split('\t', 4)
        self.hwnd = int(hwnd)
        self.visible = visible == '1'
        self.iconic = iconic == '1'
        self.texts = []

    def text(self):
        return '\n'.join(t.split(':', 1)[1].replace('~', '\n') for t in self.texts if t.startswith('Static:'))

    def __repr__(self):
        return f'<{self.cls} {self.title!r} {self.texts}>'


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


def wine(program, *args, cwd=None, timeout=60):
    """Runs a Windows program to its end; answers its exit code (modulo 256)."""
    return subprocess.run(['wine', program, *args], cwd=cwd or os.path.dirname(program),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout).returncode


def start(program, *args, cwd=None):
    return subprocess.Popen(['wine', program, *args], cwd=cwd or os.path.dirname(program),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def probe(*args, check=True):
    result = subprocess.run(['wine', PROBE, *[str(a) for a in args]], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30)
    if check and result.returncode != 0:
        raise AssertionError(f'kvprobe {args} failed with {result.returncode}')
    return result.stdout.decode('latin-1').replace('\r\n', '\n')


def windows(exe_name):
    found = []
    for line in probe('windows', exe_name).splitlines():
        if line.startswith('\t'):
            found[-1].texts.append(line[1:])
        elif line:
            found.append(Window(line))
    return found


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


def wait_box(exe_name, text, timeout=20):
    """The message box of the program whose texts contain `text`."""
    def find():
        for w in windows(exe_name):
            if w.cls == '#32770' and text in w.text():
                return w
        return None
    return wait_for(find, timeout)


def answer_box(exe_name, text, button='OK', timeout=20):
    box = wait_box(exe_name, text, timeout)
    probe('click', box.hwnd, button)
    return box


def finish(process, timeout=30):
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        raise


def fake_log(directory):
    path = os.path.join(directory, 'fake_engine.log')
    if not os.path.exists(path):
        return []
    with open(path, encoding='utf-8') as f:
        return f.read().splitlines()


def read_directory(path):
    """An independent reader of a packed program's directory: (name, dos_time, full,
    compressed, type, tag, payload) tuples in order, STOP excluded."""
    data = open(path, 'rb').read()
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
    """Gives each test a fresh folder and a program name of its own, so tests can run side by
    side in one Wine prefix and find their own windows."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='kvl-', dir=os.environ.get('KV_BUILD'))
        self.name = f'p{os.getpid()}{self._testMethodName[-12:]}.exe'.replace('_', '')
        self.processes = []

    def tearDown(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
            if process.stdout:
                process.stdout.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def pack(self, script, **options):
        options.setdefault('name', self.name)
        return pack(self.dir, script, **options)

    def start(self, program, *args):
        process = start(program, *args)
        self.processes.append(process)
        return process

    def log(self):
        return fake_log(self.dir)

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
