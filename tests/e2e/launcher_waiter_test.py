"""The shutdown waiter and the notification-area icon with the real engine. kvmsg sends the
end-of-session messages to the waiter's window alone (a real end of the session would reach
every test's windows); the icon is seen at the right end of the taskbar."""
import os
import subprocess
import time
import unittest

from launcher_support import KVMSG, EngineScriptTestCase, finish, kvmsg, wait_for

WM_QUERYENDSESSION, WM_ENDSESSION, WM_CLOSE, WM_LBUTTONDOWN = 0x11, 0x16, 0x10, 0x201
TRAY_MESSAGE = 2025


class WaiterTest(EngineScriptTestCase):



    def send_in_background(self, hwnd, message, wparam=0, lparam=0):
        """kvmsg send, which waits for the answer while the test answers the box it shows."""
        process = subprocess.Popen(['wine', KVMSG, 'send', str(hwnd), str(message), str(wparam), str(lparam)],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   text=True)
        self.processes.append(process)
        return process

    def icon_shown(self):
        """Whether an icon shows in the screen's bottom-right corner, where the taskbar puts
        the only icon: an empty corner (taskbar or desktop) has a single colour."""
        shot = subprocess.run(['import', '-window', 'root', 'png:-'], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, check=True).stdout
        out = subprocess.run(['convert', '-', '-gravity', 'SouthEast', '-crop', '24x18+0+1', 'txt:-'], input=shot,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True).stdout.decode()
        return len({line.split()[2] for line in out.splitlines()[1:]}) > 2

    def test_session_end_runs_the_script_again_unless_cancelled(self):
        process = self.start(self.pack(
            'n = IniReadPvt("r", "runs", 0, f) + 1\n'
            'IniWritePvt("r", "runs", n, f)\n'
            'If n == 1 Then x = IntControl(1005, 1, 0, 0, 0)\n'
            'IniWritePvt("r", "second", "ran", f)\n'))
        waiter = self.probe.wait(cls='KVShutdownWaiter', title_exact='KvtShutdownRun - ' + self.name, hidden=True)
        self.assertEqual(self.results(), {'runs': '1'})

        asking = self.send_in_background(waiter.hwnd, WM_QUERYENDSESSION)
        self.answer_box('Kelvoran Shutdown Notification', 'Please close all other open windows', button='Cancel')
        self.assertEqual(asking.communicate(timeout=30)[0].strip(), '0')
        kvmsg('send', waiter.hwnd, WM_ENDSESSION, 0, 0)          # the session goes on: nothing runs
        time.sleep(1)
        self.assertEqual(self.results(), {'runs': '1'})

        asking = self.send_in_background(waiter.hwnd, WM_QUERYENDSESSION)
        self.answer_box('Kelvoran Shutdown Notification', 'or select Cancel to stop the shutdown process.')
        self.assertEqual(asking.communicate(timeout=30)[0].strip(), '1')
        kvmsg('post', waiter.hwnd, WM_ENDSESSION, 1, 0)
        wait_for(lambda: self.results().get('second'), timeout=30)
        self.assertEqual(self.results(), {'runs': '2', 'second': 'ran'})
        kvmsg('post', waiter.hwnd, WM_CLOSE, 0, 0)
        self.assertEqual(finish(process), 0)

    def test_tray_icon_modes_and_waits(self):
        self.assertFalse(self.icon_shown())
        process = self.start(self.pack(
            'IniWritePvt("r", "added", IntControl(1007, 1, 0, "tip", "0") != 0, f)\n'
            'IniWritePvt("r", "again", IntControl(1007, 1, 0, "tip", "0"), f)\n'
            't = GetTickCount()\n'
            'IniWritePvt("r", "timeout", IntControl(1007, 3, 2000, "", ""), f)\n'
            'IniWritePvt("r", "waited", GetTickCount() - t, f)\n'
            'IniWritePvt("r", "removed", IntControl(1007, 2, 0, "", ""), f)\n'
            'IniWritePvt("r", "removed again", IntControl(1007, 2, 0, "", ""), f)\n'
            'IniWritePvt("r", "waiting", 1, f)\n'
            'IniWritePvt("r", "click", IntControl(1007, 1, 2, "tip", "0"), f)\n'
            'IniWritePvt("r", "kept", IntControl(1007, 0, 0, "", ""), f)\n'
            'IniWritePvt("r", "cleared", IntControl(1007, 0, 0, "", ""), f)\n'
            'IniWritePvt("r", "shown", 1, f)\n'
            'While !FileExist(DirScript() : "go.txt")\n'
            'EndWhile\n'
            'x = IntControl(1005, 1, 0, 0, 0)\n'))
        wait_for(lambda: self.results().get('waiting'))
        main = self.main_window(hidden=True)
        kvmsg('post', main.hwnd, TRAY_MESSAGE, 0, 0x200)             # a mouse move is no click
        kvmsg('post', main.hwnd, TRAY_MESSAGE, 0, WM_LBUTTONDOWN)
        wait_for(lambda: self.results().get('shown'))
        self.assertTrue(self.icon_shown())                           # the icon of mode 1
        # The run ends without mode 2: the icon goes with the main window, although the
        # program lives on in the shutdown waiter.
        with open(os.path.join(self.dir, 'go.txt'), 'w') as f:
            f.write('go')
        waiter = self.probe.wait(cls='KVShutdownWaiter', hidden=True, title_exact='KvtShutdownRun - ' + self.name)
        wait_for(lambda: not self.icon_shown(), timeout=10)
        kvmsg('post', waiter.hwnd, WM_CLOSE, 0, 0)
        self.assertEqual(finish(process), 0)
        results = self.results()
        self.assertTrue(1800 <= int(results.pop('waited')) < 4000, results)
        self.assertEqual(results, {'added': '1', 'again': '0', 'timeout': '0', 'removed': '1',
                                   'removed again': '0', 'waiting': '1', 'click': '1', 'kept': '1',
                                   'cleared': '0', 'shown': '1'})


if __name__ == '__main__':
    unittest.main()
