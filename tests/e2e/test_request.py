"""`tolvar request URL...` from a script: through the running copy, or on its
own (no display) when none runs, with honest exit codes."""
import os
import socket
import subprocess
import time
import unittest

from harness import DisplayTestCase, ProgramFolder, SmtpSink, stop_process, wait_until
from test_capture import saildocs_mail


class Request(DisplayTestCase):
    def setUp(self):
        self.sink = SmtpSink()
        self.folder = ProgramFolder()
        self.settings(self.sink.port)

    def tearDown(self):
        self.folder.cleanup()
        self.sink.cleanup()

    def settings(self, port):
        self.folder.write_settings("[General]\nEmail=me@example.org\n[Servers]\nSMTP=127.0.0.1:%d\n" % port)

    def env(self):
        env = self.folder.env("")
        env.pop("DISPLAY")   # a script's shell need not have one
        return env

    def request(self, *urls):
        done = subprocess.run([self.folder.path("tolvar"), "request", *urls], cwd=self.folder.tmp, env=self.env(),
                              capture_output=True, timeout=60)
        return done.returncode, done.stdout.decode("latin-1")

    def requests(self, count):
        robots = lambda: [(e, d) for e, d in self.sink.mails() if e["to"] != ["me@example.org"]]
        wait_until(lambda: len(robots()) >= count, 10)
        return robots()

    def test_through_the_running_copy(self):
        self.folder.start(self.x.display)
        self.assertTrue(self.folder.wait_log("SMTP: 127.0.0.1"), self.folder.log())
        code, out = self.request("https://host1/page.html\n", "mailto:x@host1")
        self.assertEqual(out, "sent https://host1/page.html\n"
                              "refused mailto:x@host1 (mailto: URLs are not supported)\n")
        self.assertEqual(code, 1)
        self.assertEqual([d for _, d in self.requests(1)], [saildocs_mail("https://host1/page.html")])
        code, out = self.request("HTTPS://HOST1/PAGE.HTML")
        self.assertEqual((code, out), (1, "duplicate HTTPS://HOST1/PAGE.HTML (already requested or queued)\n"))
        code, out = self.request("http://host1/two.html")
        self.assertEqual((code, out), (0, "sent http://host1/two.html\n"))
        self.assertEqual(len(self.requests(2)), 2)
        self.assertNotIn("without a window", self.folder.log())

    def test_on_its_own_when_no_copy_runs(self):
        code, out = self.request("https://host1/alone.html")
        self.assertEqual((code, out), (0, "sent https://host1/alone.html\n"))
        self.assertEqual([d for _, d in self.requests(1)], [saildocs_mail("https://host1/alone.html")])
        with open(self.folder.path("History.Dat"), "rb") as f:
            history = f.read()
        self.assertTrue(history.startswith(b"https://host1/alone.html via query@saildocs.com on "), history)

        self.sink.stop()
        code, out = self.request("http://host1/later.html")
        self.assertEqual((code, out), (0, "queued http://host1/later.html (sending failed)\n"))
        with open(self.folder.path("Queue.Dat"), "rb") as f:
            self.assertEqual(f.read(), b"http://host1/later.html\r\n")

        # While it waits on a server that never greets, it holds the lock: a
        # copy started meanwhile waits for it instead of writing the queue
        # beside it, and starts once the request is over.
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen()
        self.settings(silent.getsockname()[1])
        waiting = subprocess.Popen([self.folder.path("tolvar"), "request", "http://host1/slow.html"],
                                   cwd=self.folder.tmp, env=self.env(), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(wait_until(lambda: self.folder.log().endswith("Openning\r\n"), 10), self.folder.log())
            second = self.folder.start(self.x.display)
            time.sleep(1.5)
            self.assertIsNone(second.poll(), "the copy started meanwhile gave up")
            self.assertNotIn(": Started Tolvar\r\n", self.folder.log())
            loads = self.folder.log().count("Loaded Server File")
        finally:
            stop_process(waiting)
            silent.close()
        self.assertTrue(wait_until(lambda: self.folder.log().count("Loaded Server File") > loads, 10),
                        self.folder.log())
        self.assertIsNone(second.poll())


if __name__ == "__main__":
    unittest.main()
