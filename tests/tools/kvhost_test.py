"""The test host against the stand-in engine: binding by ordinal, the set-up sequence with
the memory the host owns, the mismatch box, missing exports and exit codes; and against the
engine, the private settings folder of a run."""
import configparser
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "lib"))
from kvtest import Probe, require_env, run, start, wait_for_file, windows_path  # noqa: E402

BIN = os.environ.get("KVTEST_BIN", "")
KVHOST = os.path.join(BIN, "kvhost.exe")
FAKE = windows_path(os.path.join(BIN, "fake", "fake_engine.dll"))
PARTIAL = windows_path(os.path.join(BIN, "fake", "fake_partial.dll"))


def kvhost(*args):
    code, out, err = run(KVHOST, *args, timeout=60)
    return code, out.decode("utf-8").splitlines(), err.decode("utf-8")


class Init(unittest.TestCase):
    def test_binds_by_ordinal_and_runs_every_operation(self):
        code, lines, err = kvhost("init", "--dll", FAKE)
        self.assertEqual(code, 0, err)
        binds = [l for l in lines if l.startswith("BIND")]
        self.assertEqual(binds[:3], ["BIND 15 DoDllAbout missing", "BIND 23 DoDuRavInit present",
                                     "BIND 24 ProcessViRuvBuffer present"])
        self.assertEqual(binds[-1], "BIND 30 DLLServices present")
        ops = [l for l in lines if l.startswith("OP")]
        self.assertEqual([o.split()[1] for o in ops], ["0", "1", "2", "3", "99"])
        # The stand-in answers 0 to an operation whose memory or arguments are not right.
        self.assertTrue(all(int(o.split()[2]) > 0 for o in ops), ops)
        self.assertEqual(ops[1], "OP 1 96")

    def test_small_limits_still_give_a_whole_page_and_ten_variables(self):
        code, lines, err = kvhost("init", "--dll", FAKE, "--maxvars", "0", "--string-space", "100")
        self.assertEqual(code, 0, err)
        # The stand-in answers operation 2 with the variable capacity and 3 with the bytes committed.
        self.assertIn("OP 2 10", lines)
        self.assertIn("OP 3 4096", lines)

    def test_interface_mismatch_shows_the_engine_box_and_fails(self):
        with tempfile.TemporaryDirectory() as tmp:
            pid_file = os.path.join(tmp, "pid")
            proc = start(KVHOST, "init", "--pid-file", windows_path(pid_file), "--dll", FAKE,
                         "--interface", "0x30001205")
            pid = int(wait_for_file(pid_file))
        probe = Probe(BIN)
        box = probe.wait(title_exact="DLL mismatch", cls="#32770", pid=pid)
        self.assertIn("Version Interface Incompatible", probe.texts(hwnd=box.hwnd))
        probe.click(hwnd=box.hwnd, button="OK")
        out, err = proc.communicate(timeout=30)
        self.assertEqual(proc.returncode, 4)
        self.assertIn("step 35", err.decode())
        self.assertIn("OP 0 0", out.decode().splitlines())


class Failures(unittest.TestCase):
    def test_missing_exports_are_named_and_count_as_skipped(self):
        with tempfile.NamedTemporaryFile("w", suffix=".zal", delete=False) as f:
            f.write("print x\n")
        self.addCleanup(os.unlink, f.name)
        code, lines, err = kvhost("run", "--dll", PARTIAL, windows_path(f.name))
        self.assertEqual(code, 77)
        self.assertIn("export 24 (ProcessViRuvBuffer) is missing", err)
        self.assertIn("export 30 (DLLServices) is missing", err)
        code, lines, err = kvhost("init", "--dll", PARTIAL)
        self.assertEqual(code, 0, err)

    def test_bad_command_lines_and_files(self):
        for args in [(), ("frobnicate",), ("run",), ("init", "--maxvars"), ("init", "--bogus"),
                     ("init", "--settings-root"),
                     ("run", "--dll", FAKE, "Z:\\no\\such\\script.zal")]:
            code, _, err = kvhost(*args)
            self.assertEqual(code, 3, (args, err))
        code, _, err = kvhost("init", "--dll", "Z:\\no\\such\\engine.dll")
        self.assertEqual(code, 4)
        self.assertIn("could not be loaded", err)


class DesktopGuard(unittest.TestCase):
    def test_a_run_without_the_desktop_lock_fails_when_it_activates_a_window(self):
        with tempfile.TemporaryDirectory() as tmp:
            script = os.path.join(tmp, "box.zal")
            with open(script, "w") as f:
                f.write("box Guarded\n")
            for desktop, want in (("0", 6), ("1", 0)):
                with self.subTest(KVTEST_DESKTOP=desktop):
                    pid_file = os.path.join(tmp, "pid" + desktop)
                    proc = start(KVHOST, "run", "--dll", FAKE, "--pid-file", windows_path(pid_file),
                                 windows_path(script), env=dict(os.environ, KVTEST_DESKTOP=desktop))
                    pid = int(wait_for_file(pid_file))
                    probe = Probe(BIN)
                    box = probe.wait(title_exact="Guarded", cls="#32770", pid=pid)
                    probe.click(hwnd=box.hwnd, button="OK")
                    out, err = proc.communicate(timeout=30)
                    self.assertEqual(proc.returncode, want, err.decode())
                    self.assertEqual('"Guarded" (class #32770)' in err.decode(), want == 6, err.decode())


class SettingsRoot(unittest.TestCase):
    def test_engine_settings_land_in_the_given_folder_and_the_keys_go_after(self):
        with tempfile.TemporaryDirectory() as tmp:
            script = os.path.join(tmp, "uninitialised.zal")
            with open(script, "w") as f:
                f.write("y = neverset\n")
            root = os.path.join(tmp, "appdata", "deeper")   # missing levels are made
            pid_file = os.path.join(tmp, "pid")
            code, lines, err = kvhost("run", "--settings-root", windows_path(root), "--pid-file",
                                      windows_path(pid_file), windows_path(script))
            self.assertEqual(code, 1, err)
            self.assertIn("ERROR 3052", "\n".join(lines))
            ini = configparser.ConfigParser()
            ini.read(os.path.join(root, "Kelvoran", "Settings", "TRIMVALE.INI"))
            self.assertEqual(ini.get("Error Reporting", "3052", fallback=None), "neverset")
            pid = int(open(pid_file).read())
        # Other runs may hold keys of their own there now; this run's are gone.
        keys = subprocess.run(["wine", "reg", "query", r"HKCU\Software\KvTestSettings"], capture_output=True,
                              stdin=subprocess.DEVNULL).stdout.decode("latin-1")
        self.assertNotIn("KvTestSettings\\%d_" % pid, keys)

    def test_a_folder_that_cannot_be_made_is_refused(self):
        with tempfile.NamedTemporaryFile("w", suffix=".zal", delete=False) as f:
            f.write("x = 1\n")
        self.addCleanup(os.unlink, f.name)
        code, _, err = kvhost("run", "--settings-root", windows_path(f.name) + "\\sub", windows_path(f.name))
        self.assertEqual(code, 3)
        self.assertIn("--settings-root", err)


if __name__ == "__main__":
    require_env()
    unittest.main(verbosity=2)
