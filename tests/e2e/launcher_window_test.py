"""The main window while a script runs: class, title, system menu, Terminate, the parent and
child protocol of message 1111, and the command line (driven by the stand-in engine)."""
import os
import unittest

from launcher_support import LauncherTestCase, finish, kvmsg, wait_for

SC_CLOSE = 0xF060
MF_GRAYED = 0x1


class MainWindowTest(LauncherTestCase):

    def test_window_menu_and_terminate(self):
        process = self.start(self.pack('sysmenu\nloop\n'))
        window = self.main_window()
        self.started()
        menu = wait_for(self.menu)
        self.assertEqual(menu[1344][1], 'Terminate\tCtrl+Break')
        self.assertTrue(menu[SC_CLOSE][0] & MF_GRAYED)

        # Close is greyed: the close request does nothing.
        kvmsg('post', window.hwnd, 0x0010, 0, 0)
        kvmsg('post', window.hwnd, 0x0112, 1344, 0)       # WM_SYSCOMMAND Terminate
        self.answer_box('Fake engine', 'Execution terminated by user request')
        self.assertEqual(finish(process), 0)
        self.assertIn('stopped', self.log())

    def test_text_mode_and_an_allowed_close(self):
        process = self.start(self.pack('host 28 1008|1\nhost 4 Box Title|Some text\nsysmenu\nloop\n'))
        window = self.main_window(title='Box Title')
        self.assertEqual(window['visible'], '1')
        menu = wait_for(self.menu)
        self.assertFalse(menu[SC_CLOSE][0] & MF_GRAYED)
        kvmsg('post', window.hwnd, 0x0010, 0, 0)          # WM_CLOSE now terminates
        self.answer_box('Fake engine', 'Execution terminated by user request')
        self.assertEqual(finish(process), 0)

    def test_parent_stop_request_stops_without_a_box(self):
        process = self.start(self.pack('loop\nlog after\n'))
        window = self.main_window()
        self.started()
        kvmsg('send', window.hwnd, 1111, 1332, 0)
        self.assertEqual(finish(process), 0)
        self.assertEqual(self.log()[-2:], ['stopped', 'end'])

    def test_child_tells_its_parent_how_the_run_ended(self):
        for script, outcome in (('log done\n', 1333), ('fail\n', 1332)):
            with self.subTest(outcome=outcome):
                parent, handle = self.start_parent(8)
                program = self.pack(script)
                process = self.start(program, '!@#%012d' % handle, 'x')
                self.assertEqual(finish(process), 0)
                self.assertEqual(parent.stdout.readline().split(), ['1111', str(outcome), '0'])
                parent.kill()

    def test_command_line_parameters(self):
        cases = [
            (['!@#000000001234', 'a', 'b'], '[ a b]'),
            (['a', 'b'], '[a b]'),
            (['!@#12x', 'y'], '[x y]'),
        ]
        for args, params in cases:
            with self.subTest(args=args):
                program = self.pack('params\n')
                self.assertEqual(finish(self.start(program, *args)), 0)
                self.assertIn('params=' + params, self.log())
                os.remove(os.path.join(self.dir, 'fake_engine.log'))


if __name__ == '__main__':
    unittest.main()
