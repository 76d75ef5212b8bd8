"""The launcher's box windows, driven by packed scripts with the real engine: the box child
windows, the errors of the box functions (with their texts, the box left as it was), the
room of a box's command list, buttons and their clicks, and drawing that survives a
minimise and restore, seen on the screen. Results come back through an INI file."""
import os
import time
import unittest

from launcher_support import EngineScriptTestCase, finish, kvmsg, wait_for

import kvtest  # noqa: E402  (found through the path launcher_support sets)

# An error handler for the script: every error goes to section "e" under its count.
ERRORS = (
    '#DefineSubroutine onerror(e)\n'
    '   errors = errors + 1\n'
    '   IniWritePvt("e", errors, e[0] : " " : e[5], f)\n'
    '   return 1\n'
    '#EndSubroutine\n'
    'errors = 0\n'
    'IntControl(73, 3, 0, "onerror", "")\n'
)

# The script waits, pumping messages, until the test drops this file beside it.
WAIT_FOR_GO = 'While !FileExist(DirScript() : "go.txt")\nEndWhile\nFileDelete(DirScript() : "go.txt")\n'


class BoxTest(EngineScriptTestCase):



    def go(self):
        with open(os.path.join(self.dir, 'go.txt'), 'w') as f:
            f.write('go')
        wait_for(lambda: not os.path.exists(os.path.join(self.dir, 'go.txt')))

    def controls(self, window, **selection):
        return self.probe.dump(hwnd=window.hwnd, **selection)[1]

    def test_box_window_and_the_errors_that_leave_it_unchanged(self):
        process = self.start(self.pack(
            ERRORS +
            'IniWritePvt("r", "new", BoxNew(2, "100,100,500,500", 2), f)\n'
            'BoxCaption(2, "Kept")\n'
            'BoxNew(2, "0,0,1000,1000", 3)\n'
            'BoxNew(2, "1,,2,3", 2)\n'
            'BoxNew(2, "1,2,3", 2)\n'
            'BoxNew(2, "1234567,0,0,0", 2)\n'
            'BoxColor(2, "255,0,0", 8)\n'
            'BoxTextFont(2, "Arial", 0, 0, 0)\n'
            'BoxDataClear(2, "nosuchtag")\n'
            'BoxesUp("0,0,1000,1000", 5)\n'
            'BoxColor(9, "255,0,0", 0)\n'
            'BoxButtonKill(2, 4)\n'
            'BoxDrawRect(2, "1,2", 0)\n'
            'BoxPen(2, "1,2,3", 0)\n'
            'BoxUpdates(2, 4)\n'
            'BoxMapMode(2, 2)\n'
            'BoxNew(8, "", 2)\n'
            'IniWritePvt("r", "errors", errors, f)\n'
            'IniWritePvt("r", "open", BoxOpen("Opened", "drawn into box 1"), f)\n'
            'IniWritePvt("r", "ready", 1, f)\n' + WAIT_FOR_GO))
        wait_for(lambda: self.section('r').get('ready'))
        main = self.main_window('Opened')       # BoxOpen after BoxNew: box 1 shown with its caption
        self.assertEqual(main['visible'], '1')
        boxes = [c for c in self.controls(main) if c['class'] == 'KelvoranBoxWindow']
        # Box 2 as it was made: a captioned child that kept its caption; box 8 beside it.
        self.assertEqual(len(boxes), 2, boxes)
        box = next(b for b in boxes if b['text'] == 'Kept')
        self.assertTrue(int(box['style'], 16) & 0x00C00000, box)          # WS_CAPTION
        self.assertTrue(int(box['style'], 16) & 0x40000000, box)          # WS_CHILD
        self.go()
        self.assertEqual(finish(process), 0)
        self.assertEqual(self.section('r'), {'new': '1', 'errors': '14', 'open': '1', 'ready': '1'})
        self.assertEqual(self.section('e'), {
            '1': "10118 10118: BoxNew: Invalid 'style' flag",
            '2': "10117 10117: BoxNew: Invalid 'rect' string",
            '3': "10117 10117: BoxNew: Invalid 'rect' string",
            '4': "10117 10117: BoxNew: Invalid 'rect' string",
            '5': "10114 10114: BoxColor: Invalid 'wash' color",
            '6': '10123 10123: BoxTextFont: Invalid font size',
            '7': '10138 10138: BoxDataClear: Specified tag not found',
            '8': "10131 10131: BoxesUp: Invalid 'show' mode",
            '9': '10109 10109: Box functions: Invalid box ID',
            '10': '10137 10137: BoxButtonKill: Invalid button ID',
            '11': "10115 10115: BoxDrawRect: Invalid 'rect' string",
            '12': '10121 10121: BoxPen: Invalid pen width',
            '13': "10129 10129: BoxUpdates: Invalid 'update' flag",
            '14': '10132 10132: BoxMapMode: Invalid map mode',
        })

    def test_a_list_holds_145_records_behind_its_top(self):
        program = self.pack(
            ERRORS +
            'BoxNew(2, "0,0,500,500", 1)\n'
            'n = 0\n'
            'While n < 145\n'
            '   BoxColor(2, "1,2,3", 0)\n'
            '   n = n + 1\n'
            'EndWhile\n'
            'IniWritePvt("r", "before", errors, f)\n'
            'BoxColor(2, "1,2,3", 0)\n'
            'BoxDrawLine(2, "0,0,10,10")\n'
            'IniWritePvt("r", "full", errors, f)\n'
            'IniWritePvt("r", "cleared", BoxDataClear(2, "top"), f)\n'
            'BoxDataTag(2, "Mark")\n'
            'BoxColor(2, "1,2,3", 0)\n'
            'IniWritePvt("r", "again", BoxDataClear(2, "MARK"), f)\n'
            'BoxColor(2, "1,2,3", 0)\n'
            'IniWritePvt("r", "errors", errors, f)\n')
        process = self.start(program)
        self.assertEqual(finish(process), 0)
        self.assertEqual(self.section('r'), {'before': '0', 'full': '2', 'cleared': '1', 'again': '1',
                                             'errors': '2'})
        self.assertEqual(self.section('e'), {'1': '10108 10108: Box functions: Box command stack full',
                                             '2': '10108 10108: Box functions: Box command stack full'})

    def test_buttons_count_a_press_once_and_wait_for_one(self):
        # A button's control id is 100 + its index: button 1 is control 100, button 3 is 102.
        process = self.start(self.pack(
            'BoxesUp("100,100,600,600", 2)\n'
            'IniWritePvt("r", "draw", BoxButtonDraw(1, 1, "OK", "100,100,300,200"), f)\n'
            'IniWritePvt("r", "draw3", BoxButtonDraw(1, 3, "Third", "400,100,600,200"), f)\n'
            'IniWritePvt("r", "ready", 1, f)\n' + WAIT_FOR_GO +
            'IniWritePvt("r", "first", BoxButtonStat(1, 1), f)\n'
            'IniWritePvt("r", "second", BoxButtonStat(1, 1), f)\n'
            'IniWritePvt("r", "button3", BoxButtonStat(1, 3), f)\n'
            'IniWritePvt("r", "waiting", 1, f)\n'
            'IniWritePvt("r", "waited", BoxButtonWait(), f)\n'
            'IniWritePvt("r", "third", BoxButtonStat(1, 1), f)\n'))
        wait_for(lambda: self.section('r').get('ready'))
        main = self.main_window()
        buttons = {c['text']: c for c in self.controls(main) if c['class'] == 'Button'}
        self.assertEqual((buttons['OK']['id'], buttons['OK']['visible']), ('100', '1'))
        self.assertEqual((buttons['Third']['id'], buttons['Third']['visible']), ('102', '1'))
        self.probe.click(hwnd=main.hwnd, id=100)
        self.probe.click(hwnd=main.hwnd, id=100)
        self.probe.click(hwnd=main.hwnd, id=102)
        self.go()
        wait_for(lambda: self.section('r').get('waiting'))
        time.sleep(0.5)
        self.assertNotIn('waited', self.section('r'))
        self.probe.click(hwnd=main.hwnd, id=100)
        self.assertEqual(finish(process), 0)
        self.assertEqual(self.section('r'), {'draw': '1', 'draw3': '1', 'ready': '1', 'first': '1', 'second': '0',
                                             'button3': '1', 'waiting': '1', 'waited': '1', 'third': '1'})

    def test_drawing_fills_the_window_again_after_minimise_and_restore(self):
        process = self.start(self.pack(
            'BoxesUp("200,200,600,600", 2)\n'
            'BoxColor(1, "255,0,0", 0)\n'
            'BoxDrawRect(1, "", 2)\n'
            'IniWritePvt("r", "ready", 1, f)\n' + WAIT_FOR_GO))
        wait_for(lambda: self.section('r').get('ready'))
        main = self.main_window()
        left, top, right, bottom = (int(v) for v in main['rect'].split(','))
        centre = ((left + right) // 2, (top + bottom) // 2 + 10)
        wait_for(lambda: kvtest.screen_rgb(*centre) == (255, 0, 0), timeout=10)
        kvmsg('send', main.hwnd, 0x0112, 0xF020, 0)       # WM_SYSCOMMAND SC_MINIMIZE
        wait_for(lambda: kvtest.screen_rgb(*centre) != (255, 0, 0), timeout=10)
        kvmsg('send', main.hwnd, 0x0112, 0xF120, 0)       # SC_RESTORE
        wait_for(lambda: kvtest.screen_rgb(*centre) == (255, 0, 0), timeout=10)
        self.go()
        self.assertEqual(finish(process), 0)


if __name__ == '__main__':
    unittest.main()
