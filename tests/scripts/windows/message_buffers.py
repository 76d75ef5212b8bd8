"""Another program's edit control for the script: Wine's notepad holding 200 characters
(four lines of 40 and one of 32), its edit's handle written into targets.ini of the work
folder."""
import subprocess

import kvtest


def setup(t):
    # The first program that looks at the windows starts the virtual desktop's own process,
    # which keeps that program's output open: a probe whose output goes nowhere does it.
    subprocess.run(["wine", t.probe.exe, "list"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)
    t.programs.append(kvtest.start("notepad.exe"))
    notepad = t.probe.wait(cls="Notepad", timeout=20000)
    t.probe.settext(("N" * 40 + "\r\n") * 4 + "N" * 32, hwnd=notepad.hwnd, control_class="Edit")
    edit = [c for c in t.probe.dump(hwnd=notepad.hwnd)[1] if c.get("class") == "Edit"][0]
    t.write("targets.ini", "[targets]\r\nedit=%d\r\n" % edit.hwnd)
