"""Answers the one box that shows; then reads the log of the boxes that did not."""
import re
import time


def during(t):
    w = t.window(title_exact="Still shown", cls="#32770")
    t.probe.click(hwnd=w.hwnd, button="OK")


def check(t):
    log = t.read("quiet.log").decode("latin-1")
    # Month, day and two-digit year of today (both sides keep UTC), the time, the title of
    # the script's window.
    head = re.escape(time.strftime("%m/%d/%y")) + r"  \d\d:\d\d:\d\d  KVT - quiet_log\.zal\r\n\r\n"
    rule = r"\r\n<HR>\r\n\r\n"
    entries = [
        head + r"Engine box\r\n\r\nLogged, not shown\r\n" + rule,
        head + r"\r\nNo title\r\n" + rule,                      # no title line at all
        head + r"3062:  Attempt to divide by zero\r\n\r\nx = 1 / 0\r\n" + rule,
    ]
    assert re.fullmatch("".join(entries), log), repr(log)
