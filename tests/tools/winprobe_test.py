"""The window probe against a window whose controls are known (probe_target.exe)."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "lib"))
from kvtest import Probe, require_env, start  # noqa: E402

BIN = os.environ.get("KVTEST_BIN", "")
TARGET = os.path.join(BIN, "probe_target.exe")


class Target:
    """probe_target.exe running; its report lines are read after it ends."""

    def __init__(self, *args):
        self.proc = start(TARGET, *args)
        assert self.proc.stdout.readline().strip() == b"READY"

    def finish(self, timeout=10):
        out, _ = self.proc.communicate(timeout=timeout)
        return self.proc.returncode, out.decode("utf-8").splitlines()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.communicate()


class WindowProbe(unittest.TestCase):
    def setUp(self):
        self.probe = Probe(BIN)
        self.target = Target()
        self.addCleanup(self.target.kill)
        self.window = self.probe.wait(title="Probe Target")

    def test_reads_window_controls_and_items(self):
        self.assertEqual(self.window["text"], "Probe Target \u00e9")
        self.assertEqual(self.window["class"], "KvProbeTarget")
        window, controls, items = self.probe.dump(hwnd=self.window.hwnd)
        by_id = {int(c["id"]): c for c in controls}
        self.assertEqual(by_id[100]["text"], "hello")
        self.assertEqual(by_id[103]["text"], "Line one\nLine two")
        self.assertEqual(by_id[1]["text"], "&OK")
        self.assertEqual([i["text"] for i in items if i["id"] == "101"], ["alpha", "beta", "g\u00e4mma"])
        self.assertEqual([i["text"] for i in items if i["id"] == "102"], ["one", "two", "three"])
        self.assertEqual(self.probe.items(title="Probe Target", id=102), ["one", "two", "three"])
        self.assertEqual(len(self.probe.list(title="Probe Target")), 1)
        self.assertEqual(self.probe.list(title="No Such Window Title"), [])

    def test_reports_styles_check_marks_and_metrics(self):
        window, controls, _ = self.probe.dump(hwnd=self.window.hwnd)
        self.assertEqual(int(window["style"], 16) & 0x00CF0000, 0x00CF0000)   # WS_OVERLAPPEDWINDOW
        by_id = {int(c["id"]): c for c in controls}
        self.assertEqual(by_id[1]["check"], "0")          # buttons tell their check state
        self.assertNotIn("check", by_id[100])             # other controls do not
        m = self.probe.metrics()
        self.assertGreater(m["basex"], 0)
        self.assertGreater(m["basey"], m["basex"] - 1)
        self.assertGreater(m["caption"], 0)
        self.assertEqual(len(m["screen"]), 2)

    def test_selects_sets_text_types_and_clicks(self):
        sel = {"pid": self.window["pid"], "title": "Probe Target"}
        self.probe.select(item="beta", id=101, **sel)
        self.probe.select(pos=2, id=102, **sel)
        selected = [l for l in self.probe.run("items", id=101, **sel) if l["selected"] == "1"]
        self.assertEqual([l["text"] for l in selected], ["beta"])
        self.probe.settext("typed", id=100, **sel)
        self.assertEqual(self.probe.text(id=100, **sel), "typed")
        self.probe.keys("{END} more", id=100, **sel)
        self.probe.click(button="ok", **sel)
        code, lines = self.target.finish()
        self.assertEqual(code, 10)
        self.assertEqual(lines, ["LIST SELECT 1", "COMBO SELECT 2", "EDIT typed more", "OK"])
        self.probe.gone(title="Probe Target", timeout=2000)

    def test_missing_window_or_control_is_reported(self):
        lines = self.probe.run("wait", check=False, title="No Such Window Title", timeout=150)
        self.assertEqual(self.probe.last_code, 1)
        self.assertEqual(lines[0].kind, "NOTFOUND")
        lines = self.probe.run("click", check=False, title="Probe Target", button="Nope", timeout=150)
        self.assertEqual((self.probe.last_code, lines[0].raw), (1, "NOTFOUND control"))
        self.probe.close(title="Probe Target")
        self.assertEqual(self.target.finish(), (30, ["CLOSE"]))


class MouseProbe(unittest.TestCase):
    def test_clicks_with_either_button_and_refuses_rows_outside_list_views(self):
        probe = Probe(BIN)
        target = Target("input")
        self.addCleanup(target.kill)
        sel = {"title": "Probe Target", "id": 101}
        probe.lclick(**sel)
        probe.rclick(**sel)
        probe.run("rclick", check=False, pos=0, timeout=150, **sel)   # a list box has no rows to aim at
        self.assertEqual(probe.last_code, 3)
        probe.close(title="Probe Target")
        code, lines = target.finish()
        buttons = [l.split()[0] for l in lines if "BUTTON" in l]
        self.assertEqual(buttons, ["LBUTTONDOWN", "LBUTTONUP", "RBUTTONDOWN", "RBUTTONUP"])


class MessageBoxProbe(unittest.TestCase):
    def test_reads_and_answers_a_message_box(self):
        probe = Probe(BIN)
        target = Target("msgbox")
        self.addCleanup(target.kill)
        box = probe.wait(cls="#32770", title_exact="Probe Box")
        self.assertIn("Box text", probe.texts(hwnd=box.hwnd))
        probe.click(hwnd=box.hwnd, button="Cancel")
        self.assertEqual(target.finish(), (2, ["ANSWER 2"]))


if __name__ == "__main__":
    require_env()
    unittest.main(verbosity=2)
