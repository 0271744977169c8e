"""An update mail copied to the clipboard refreshes the data files once the
user says yes, keeping the old ones, and the program restarts on them: a new
copy starts and the old one ends."""
import binascii
import os
import signal
import subprocess
import unittest

from harness import DisplayTestCase, ProgramFolder, focus_window, set_clipboard, stop_process, wait_until, xdotool


def uu_file(name, data):
    lines = ["begin 644 %s" % name]
    for i in range(0, len(data), 45):
        lines.append(binascii.b2a_uu(data[i:i + 45]).decode("latin-1").rstrip("\n"))
    lines += ["`", "end"]
    return "\r\n".join(lines) + "\r\n"


def pids_of(program):
    out = subprocess.run(["pgrep", "-f", "^" + program], capture_output=True, text=True).stdout
    return [int(p) for p in out.split()]


class UpdateFile(DisplayTestCase):
    def setUp(self):
        self.folder = ProgramFolder()
        self.clip = None

    def tearDown(self):
        stop_process(self.clip)
        # The restarted copy is not our child: stop it by its process id too.
        for pid in pids_of(self.folder.path("tolvar")):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.folder.cleanup()

    def test_update_mail_refreshes_the_catalogue_and_restarts(self):
        self.folder.write_settings("[General]\nEmail=me@example.org\n[Servers]\nSMTP=127.0.0.1:1\n")
        first = self.folder.start(self.x.display, "/s")
        self.assertTrue(self.folder.wait_log("SMTP: 127.0.0.1"))
        catalogue = b"; refreshed by mail\r\n[fresh@bymail.example.net]\r\nType=0\r\nSubject=s\r\nverbPagesHttp=GET\r\n"
        mail = ("From: updates@example.org\r\n\r\nNew servers below.\r\n---Begin Tolvar Update File---\r\n" +
                uu_file("uservers.dat", catalogue) + "---End Tolvar Update File---\r\n")
        with open(self.folder.path("uservers.dat"), "rb") as f:
            shipped = f.read()
        self.clip = set_clipboard(self.x.display, mail)
        # The user is asked first; nothing is written meanwhile.
        self.assertTrue(focus_window(self.x.display, "Confirm", 15), self.folder.log())
        with open(self.folder.path("uservers.dat"), "rb") as f:
            self.assertEqual(f.read(), shipped)
        xdotool(self.x.display, "key", "Return")
        first.wait(timeout=10)
        with open(self.folder.path("uservers.dat"), "rb") as f:
            self.assertEqual(f.read(), catalogue)
        backups = os.listdir(self.folder.path("backup"))
        self.assertEqual(len(backups), 1)
        with open(self.folder.path(os.path.join("backup", backups[0], "uservers.dat")), "rb") as f:
            self.assertEqual(f.read(), shipped)
        # The new copy starts with the same parameters and the flag lets it in.
        self.assertTrue(wait_until(lambda: self.folder.log().count("Cmd:/s") == 2, 15), self.folder.log())
        self.assertTrue(wait_until(lambda: self.folder.log().count("Loaded Server File") == 2, 10))
        self.assertFalse(os.path.exists(self.folder.path("AllowDuplicateInstance.Flg")))
        self.assertEqual(len(pids_of(self.folder.path("tolvar"))), 1)


if __name__ == "__main__":
    unittest.main()
