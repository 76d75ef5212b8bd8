"""Service mode under Wine's service manager: a packed program named *.EXS registered with
`sc create`, started and stopped with `sc`, its states read with QueryServiceStatus (kvmsg
service); the script reports through an INI file beside it."""
import os
import subprocess
import time
import unittest

from launcher_support import EngineScriptTestCase, kvmsg, wait_for

START_PENDING, STOP_PENDING, RUNNING, STOPPED = 2, 3, 4, 1


def sc(*args):
    return subprocess.run(['wine', 'sc', *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=60).returncode


class ServiceTest(EngineScriptTestCase):

    def setUp(self):
        super().setUp()
        self.service = None

    def tearDown(self):
        if self.service:
            sc('stop', self.service)
            wait_for(lambda: self.status() is None or self.status()[0] == STOPPED, timeout=30)
            sc('delete', self.service)
        super().tearDown()

    def install(self, script):
        """Packs the script as <name>.EXS and registers it; answers the service name."""
        name = os.path.splitext(self.name)[0] + 'svc'
        program = self.pack(script, name=name + '.exs')
        self.assertEqual(sc('create', name, 'binPath=', 'Z:' + program.replace('/', '\\'),
                            'DisplayName=', 'Kelvoran test ' + name), 0)
        self.service = name
        return name

    def status(self):
        """(state, controls accepted, check point, wait hint), or None without the service."""
        try:
            fields = kvmsg('service', self.service).split()
        except AssertionError:
            return None
        return int(fields[0]), int(fields[1], 16), int(fields[2]), int(fields[3])


    def test_started_service_reports_and_takes_controls_after_accepting_them(self):
        name = self.install(
            'IniWritePvt("r", "status", RtStatus(), f)\n'
            'IniWritePvt("r", "name", IntControl(1009, 0, 0, 0, 0), f)\n'
            'IniWritePvt("r", "display", IntControl(1009, 1, 0, 0, 0), f)\n'
            'IniWritePvt("r", "params", param0 : " " : param1 : " " : param2, f)\n'
            'IniWritePvt("r", "now", SvcWaitForCmd(0), f)\n'
            't = GetTickCount()\n'
            'IniWritePvt("r", "second", SvcWaitForCmd(1000), f)\n'
            'IniWritePvt("r", "waited", GetTickCount() - t, f)\n'
            'IniWritePvt("r", "accept", SvcSetAccept(32773), f)\n'
            'IniWritePvt("r", "again", SvcSetAccept(32773), f)\n'
            'IniWritePvt("r", "ready", 1, f)\n'
            'IniWritePvt("r", "command", SvcWaitForCmd(-1), f)\n'
            'IniWritePvt("r", "ended", 1, f)\n')
        started = time.time()
        self.assertEqual(sc('start', name, 'alpha', 'beta'), 0)
        self.assertEqual(self.status()[0], START_PENDING)
        wait_for(lambda: self.status()[0] == RUNNING, timeout=20)
        self.assertGreater(time.time() - started, 2.5)          # the running report after 3 s
        wait_for(lambda: self.results().get('ready'), timeout=20)
        self.assertEqual(self.status()[1], 0x85)                # 0x8005: log-off on, session change in

        self.assertEqual(sc('stop', name), 0)
        wait_for(lambda: self.results().get('ended'), timeout=20)
        self.assertEqual(self.status()[0], STOP_PENDING)
        wait_for(lambda: self.status()[0] == STOPPED, timeout=30)   # five seconds after the body ended
        results = self.results()
        self.assertTrue(900 <= int(results.pop('waited')) < 3000, results)
        self.assertEqual(results, {
            'status': '5', 'name': name, 'display': 'Kelvoran test ' + name, 'params': '2 alpha beta',
            'now': '0', 'second': '0', 'accept': '1', 'again': str(0x8085), 'ready': '1', 'command': '1',
            'ended': '1'})

    def test_a_stop_before_accepting_controls_ends_the_script(self):
        name = self.install(
            'IniWritePvt("r", "ready", 1, f)\n'
            'While 1\n'
            'EndWhile\n'
            'IniWritePvt("r", "after", 1, f)\n')
        self.assertEqual(sc('start', name), 0)
        wait_for(lambda: self.results().get('ready'), timeout=20)
        self.assertEqual(sc('stop', name), 0)
        self.assertEqual(self.status()[0], STOP_PENDING)
        wait_for(lambda: self.status()[0] == STOPPED, timeout=30)
        self.assertEqual(self.results(), {'ready': '1'})

    def test_outside_service_mode_the_functions_answer_minus_one(self):
        program = self.pack('IniWritePvt("r", "all", SvcSetAccept(1) : SvcSetState(4) : SvcWaitForCmd(0), f)\n'
                            'IniWritePvt("r", "status", RtStatus(), f)\n')
        process = self.start(program)
        self.assertEqual(process.wait(60), 0)
        self.assertEqual(self.results(), {'all': '-1-1-1', 'status': '1'})


if __name__ == '__main__':
    unittest.main()
