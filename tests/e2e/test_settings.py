"""A fresh system: the first start asks for the user's details and Ok
stores every setting in TOLVAR.INI."""
import os
import time
import unittest

from harness import DisplayTestCase, ProgramFolder, Tray, focus_window, visible_windows, wait_until, xdotool


class FirstStart(DisplayTestCase):
    def setUp(self):
        self.folder = ProgramFolder()

    def tearDown(self):
        self.folder.cleanup()

    def ini(self):
        path = os.path.join(self.folder.config, "tolvar", "TOLVAR.INI")
        with open(path, "rb") as f:
            return f.read().decode("latin-1")

    def test_fresh_start_asks_for_the_address_and_ok_stores_everything(self):
        # With a tray, Ok puts the window away behind the icon.
        tray = Tray(self.x.display)
        self.addCleanup(tray.stop)
        proc = self.folder.start(self.x.display)
        self.assertTrue(wait_until(lambda: visible_windows(self.x.display, "Error"), 15), self.folder.log())
        self.assertIn("Loaded Server File", self.folder.log())
        # The suggested servers were taken without a question.
        with open(self.folder.path("Suggest.Ini"), "rb") as f:
            self.assertRegex(f.read().decode("latin-1"), r"(?i)used=1")
        focus_window(self.x.display, "Error")
        xdotool(self.x.display, "key", "Return")
        self.assertTrue(focus_window(self.x.display, "Tolvar"))
        time.sleep(0.3)
        # The focus waits in the empty address field of " My Details ".
        xdotool(self.x.display, "type", "--delay", "15", "me@example.org")
        xdotool(self.x.display, "key", "alt+s")
        xdotool(self.x.display, "type", "--delay", "15", "127.0.0.1:2525")
        xdotool(self.x.display, "key", "alt+o")
        self.assertTrue(wait_until(lambda: "HTTPPages=" in self.ini(), 10), self.ini())
        ini = self.ini()
        self.assertIn("\r\n", ini)
        self.assertNotIn("\n\n", ini.replace("\r\n", ""))
        for key, value in [("Email", "me@example.org"), ("SMTP", "127.0.0.1:2525"), ("Confirm", "2"),
                           ("Enabled", "0"), ("prefBinaryFormat", "1"), ("CheckHistory", "1"),
                           ("chkOnFailure", "1"), ("chkNotEnabled", "0"), ("chkNever", "0"),
                           ("ChunkSize", "60"), ("Chunks", "0"), ("FTP", None), ("HTTPBinary", None),
                           ("HTTPPages", None), ("LocalRoot", self.folder.root)]:
            if value is None:
                self.assertRegex(ini, r"(?m)^%s=\S+@\S+\r$" % key)
            else:
                self.assertIn("%s=%s\r\n" % (key, value), ini)
        self.assertTrue(wait_until(lambda: not visible_windows(self.x.display, "Tolvar"), 5))
        self.assertIn("Email: me@example.org", self.folder.log())
        self.assertIsNone(proc.poll())

    def test_missing_catalogue_is_reported_and_the_program_runs_on(self):
        os.remove(self.folder.path("uservers.dat"))
        self.folder.write_settings("[General]\nEmail=me@example.org\n[Servers]\nSMTP=127.0.0.1\n")
        proc = self.folder.start(self.x.display)
        self.assertTrue(self.folder.wait_log("Error in TfrmProps.0 with UH File not found"), self.folder.log())
        self.assertTrue(wait_until(lambda: visible_windows(self.x.display, "Warning"), 10))
        self.assertIsNone(proc.poll())


if __name__ == "__main__":
    unittest.main()
