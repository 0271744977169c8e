"""The real program's start, single copy and installer flag."""
import os
import time
import unittest

from harness import DisplayTestCase, ProgramFolder, Tray, visible_windows, wait_until


class Life(DisplayTestCase):
    def setUp(self):
        # Only the program itself, as in an empty folder it was copied into.
        self.folder = ProgramFolder(copy_data=False)
        self.folder.write_settings("[General]\nEmail=me@example.org\n[Servers]\nSMTP=127.0.0.1\n")

    def tearDown(self):
        self.folder.cleanup()

    def test_start_logs_and_joins_the_parameters(self):
        proc = self.folder.start(self.x.display, "/s", "a b", "c")
        self.assertTrue(self.folder.wait_log("Cmd:/sa bc\r\n"), self.folder.log())
        log = self.folder.log()
        self.assertRegex(log, r"^\S+ \S+: Started Tolvar\r\n")
        self.assertIn(": Tolvar Version ", log)
        self.assertIsNone(proc.poll())

    def test_second_start_ends_at_once_and_the_first_runs_on(self):
        first = self.folder.start(self.x.display)
        self.assertTrue(self.folder.wait_log("Cmd:"))
        started = time.monotonic()
        second = self.folder.start(self.x.display, "again")
        second.wait(timeout=2)
        self.assertLess(time.monotonic() - started, 2.0)
        self.assertEqual(second.returncode, 0)
        self.assertNotIn("Cmd:again", self.folder.log())
        time.sleep(0.3)
        self.assertIsNone(first.poll())

    def test_without_a_tray_the_window_shows_and_the_icon_comes_with_a_tray(self):
        self.folder.start(self.x.display)
        self.assertTrue(wait_until(lambda: visible_windows(self.x.display, "Tolvar"), 10), self.folder.log())
        self.assertIn("No system tray", self.folder.log())
        tray = Tray(self.x.display)
        try:
            self.assertTrue(self.folder.wait_log("System tray found: icon added", 10), self.folder.log())
        finally:
            tray.stop()
        self.assertEqual(self.folder.log().count("No system tray"), 1, self.folder.log())

    def test_second_start_brings_a_hidden_window_forward(self):
        tray = Tray(self.x.display)
        try:
            self.folder.start(self.x.display)
            self.assertTrue(self.folder.wait_log("Cmd:"))
            time.sleep(1)
            self.assertFalse(visible_windows(self.x.display, "Tolvar"), "hidden behind the tray icon")
            second = self.folder.start(self.x.display, "/p")
            second.wait(timeout=5)
            self.assertTrue(wait_until(lambda: visible_windows(self.x.display, "Tolvar"), 3))
        finally:
            tray.stop()

    def test_restart_flag_lets_a_second_copy_run_and_is_removed(self):
        first = self.folder.start(self.x.display)
        self.assertTrue(self.folder.wait_log("Cmd:"))
        with open(self.folder.path("AllowDuplicateInstance.Flg"), "w") as f:
            f.write("\r")
        second = self.folder.start(self.x.display, "second")
        self.assertTrue(self.folder.wait_log("Cmd:second"))
        self.assertFalse(os.path.exists(self.folder.path("AllowDuplicateInstance.Flg")))
        self.assertIsNone(second.poll())
        self.assertIsNone(first.poll())

    def test_installer_flag_ends_the_program(self):
        proc = self.folder.start(self.x.display)
        self.assertTrue(self.folder.wait_log("Cmd:"))
        with open(self.folder.path("Installer.Flg"), "w") as f:
            f.write("")
        proc.wait(timeout=8)
        self.assertEqual(proc.returncode, 0)
        self.assertFalse(os.path.exists(self.folder.path("Installer.Flg")))


if __name__ == "__main__":
    unittest.main()
