"""The real program's start, single copy and installer flag."""
import os
import time
import unittest

from harness import DisplayTestCase, ProgramFolder


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
