"""The main use, end to end: a URL copied anywhere on the desktop (or typed
into the General page) reaches a real SMTP server as the robot's request."""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from harness import (TOLVAR_DATA, DisplayTestCase, ProgramFolder, SmtpSink, focus_window, set_clipboard,
                     stop_process, wait_until, xdotool)

HEADER = ("From:      <me@example.org>\r\n"
          "To:        <{to}>\r\n"
          "Subject:  {subject}\r\n"
          "Mime-Version: 1.0\r\n"
          "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
          "Content-Transfer-Encoding: 7bit\r\n"
          "\r\n")


def request_mail(to, subject, body):
    # The client ends the data with an empty line before its final ".".
    return (HEADER.format(to=to, subject=subject) + body + "\r\n\r\n").encode("latin-1")


SUPPORT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support")


def saildocs_mail(url):
    """The shipped default page robot's request: the URL, then the dash line
    Saildocs stops reading at."""
    return request_mail("query@saildocs.com", "send", "send %s\r\n-----\r\n" % url)


def shipped(name):
    with open(os.path.join(TOLVAR_DATA, name), "rb") as f:
        return f.read().decode("latin-1")


class Capture(DisplayTestCase):
    def setUp(self):
        self.sink = SmtpSink()
        self.folder = ProgramFolder()
        self.clips = []

    def tearDown(self):
        for c in self.clips:
            stop_process(c)
        self.folder.cleanup()
        self.sink.cleanup()

    def start(self, extra_general="", *args, extra_servers=""):
        self.folder.write_settings("[General]\nEmail=me@example.org\n%s[Servers]\nSMTP=127.0.0.1:%d\n%s" %
                                   (extra_general, self.sink.port, extra_servers))
        proc = self.folder.start(self.x.display, *args)
        self.assertTrue(self.folder.wait_log("Loaded Server File"), self.folder.log())
        # Clipboard notices are joined right after the settings are read.
        self.assertTrue(self.folder.wait_log("SMTP: 127.0.0.1"))
        time.sleep(0.3)
        return proc

    def copy(self, text):
        changes = self.folder.log().count("CB change detected")
        self.clips.append(set_clipboard(self.x.display, text))
        self.assertTrue(wait_until(lambda: self.folder.log().count("CB change detected") > changes, 10),
                        "no clipboard notice for %r" % text)

    def requests(self, count):
        """The request mails (the one test message to the user left out)."""
        def robots():
            return [(env, data) for env, data in self.sink.mails() if env["to"] != ["me@example.org"]]
        wait_until(lambda: len(robots()) >= count, 10)
        return robots()

    def dismiss(self, title):
        """Answers the first box with the given title with Enter."""
        self.assertTrue(focus_window(self.x.display, title), "no %s box" % title)
        xdotool(self.x.display, "key", "--clearmodifiers", "Return")

    def test_page_binary_and_ftp_urls_deliver_the_exact_requests(self):
        self.start()
        # https as copied from a browser; the others with the line break a
        # terminal or an editor puts after them.
        self.copy("https://host1/index.html")
        self.requests(1)
        self.copy("http://host1/kit.zip\n")
        self.requests(2)
        self.copy("ftp://host1/pub/tools/kit.zip \r\n")
        mails = self.requests(3)
        binary_body = shipped("bymail-binary-mime.tpl").replace("\xfe", "http://host1/kit.zip").replace("\xfd", "")
        expected = [
            ("query@saildocs.com", saildocs_mail("https://host1/index.html")),
            ("example-files@bymail.example.net",
             request_mail("example-files@bymail.example.net", "File request", binary_body)),
            ("example-ftpmail@ftp.example.org", request_mail(
                "example-ftpmail@ftp.example.org", "ftp request",
                "open host1\r\nbinary\r\nmime\r\nchunksize 0\r\nchdir /pub/tools\r\nget kit.zip\r\nquit\r\n")),
        ]
        self.assertEqual([(env["to"][0], data) for env, data in mails], expected)
        for env, _ in mails:
            self.assertEqual(env["from"], "me@example.org")
        # The test message went once, after the first request, with the tag.
        tests = [data for env, data in self.sink.mails() if env["to"] == ["me@example.org"]]
        self.assertEqual(len(tests), 1)
        self.assertIn(b"Distribution: Tolvar standard distribution", tests[0])
        # The server stores the mail before Tolvar hears it accepted and writes the history.
        newest = b"ftp://host1/pub/tools/kit.zip via example-ftpmail@ftp.example.org on "

        def history():
            with open(self.folder.path("History.Dat"), "rb") as f:
                return f.read()
        self.assertTrue(wait_until(lambda: history().startswith(newest), 10), history())

    def test_https_capture_can_be_switched_off_and_other_schemes_are_logged_once(self):
        self.start("CaptureHttps=0\n")
        for text in ["https://host1/off.html", "mailto:someone@host1", "mailto:someone@host1"]:
            self.copy(text)
        self.copy("news:comp.os.linux.announce")
        self.requests(1)
        log = self.folder.log()
        self.assertIn("Not captured: https://host1/off.html (capturing https:// URLs is off)", log)
        self.assertEqual(log.count("Not captured: mailto:someone@host1 (mailto: URLs are not supported)"), 1)
        mails = self.requests(1)
        self.assertEqual(len(mails), 1)
        # Sent as copied: no slash after a scheme without a path.
        self.assertIn(b" news:comp.os.linux.announce\r\n", mails[0][1])
        self.assertNotIn(b"announce/", mails[0][1])

    def test_a_repeated_url_is_dropped(self):
        self.start()
        self.copy("http://host1/again.html")
        self.requests(1)
        self.copy("HTTP://HOST1/AGAIN.HTML")
        # The duplicate notice closes itself and records "Requesting".
        self.assertTrue(wait_until(lambda: self.folder.log().endswith("Requesting\r\n"), 10))
        time.sleep(0.5)
        self.assertEqual(len(self.requests(1)), 1)
        self.assertEqual(self.folder.log().count("To: query@saildocs.com"), 1)

    def test_disabled_queues_without_sending_and_survives_a_kill(self):
        proc = self.start("Enabled=1\nchkNotEnabled=1\n")
        self.copy("http://host1/later.html")
        queue = self.folder.path("Queue.Dat")
        self.assertTrue(wait_until(lambda: os.path.exists(queue) and b"later" in open(queue, "rb").read(), 10))
        os.kill(proc.pid, signal.SIGKILL)
        proc.wait(timeout=5)
        self.assertEqual(open(queue, "rb").read(), b"http://host1/later.html\r\n")
        self.assertEqual(self.sink.mails(), [])

    def test_failed_request_is_queued_and_sent_after_the_next_success(self):
        port = self.sink.port
        self.start()
        self.sink.stop()
        self.copy("http://host1/first.html")
        self.assertTrue(self.folder.wait_log("Error in Request Failed"), self.folder.log())
        self.assertIn("The last successful operation was <Openning>", self.folder.log())
        self.dismiss("Warning")
        queue = self.folder.path("Queue.Dat")
        self.assertTrue(wait_until(lambda: os.path.exists(queue) and b"first" in open(queue, "rb").read(), 10))
        self.sink.start(port)
        self.copy("http://host1/second.html")
        mails = self.requests(2)
        bodies = [data.split(b"\r\n\r\n", 1)[1] for _, data in mails]
        self.assertEqual(bodies, [saildocs_mail(url).split(b"\r\n\r\n", 1)[1]
                                  for url in ["http://host1/second.html", "http://host1/first.html"]])
        self.assertTrue(wait_until(lambda: open(queue, "rb").read() == b"", 10))

    def test_starttls_and_login_with_a_password_command(self):
        # A provider's way: STARTTLS, AUTH, a certificate checked against the
        # trust store (here a throw-away authority given as SSL_CERT_FILE).
        ca = tempfile.mkdtemp(prefix="tolvar-ca-")
        self.addCleanup(shutil.rmtree, ca, True)
        subprocess.run(["/usr/bin/python3", os.path.join(SUPPORT, "testca.py"), ca], check=True, timeout=60)
        self.sink.cleanup()
        self.sink = SmtpSink(options=["--tls", "starttls", "--cert", os.path.join(ca, "good.pem"),
                                      "--key", os.path.join(ca, "good.key"), "--login", "me:s3cret"])
        self.folder.extra_env["SSL_CERT_FILE"] = os.path.join(ca, "ca.pem")
        proc = self.start(extra_servers="SMTPSecurity=STARTTLS\nSMTPUser=me\nSMTPPasswordCommand=echo s3cret\n")
        self.copy("http://host1/secure.html")
        mails = self.requests(1)
        self.assertEqual(mails[0][1], saildocs_mail("http://host1/secure.html"))
        self.assertIn("AUTH me PLAIN ok", self.sink.events())
        # The password reaches neither log. SMTP.LOG is written as the
        # program ends, which Installer.Flg asks of it at the next tick.
        open(self.folder.path("Installer.Flg"), "w").close()
        proc.wait(timeout=20)
        with open(self.folder.path("SMTP.LOG"), "rb") as f:
            transcript = f.read()
        self.assertIn(b"AUTH PLAIN <hidden>\r\n", transcript)
        self.assertIn(b"STARTTLS\r\n220", transcript)
        for log in (transcript, self.folder.log().encode("latin-1")):
            self.assertNotIn(b"s3cret", log)
            self.assertNotIn(b"AG1lAHMzY3JldA", log)  # the AUTH PLAIN token

    def test_texts_that_are_not_urls_are_ignored(self):
        self.start()
        for text in [" http://host1/", "http://host1/a\r\nb", "http://host1/" + "a" * 500]:
            self.copy(text)
        self.copy("http://host1/" + "b" * 499)   # 512 characters: taken
        self.assertEqual(len(self.requests(1)), 1)
        self.assertEqual(self.folder.log().count("To: "), 1)

    def test_another_clipboard_watcher_keeps_seeing_every_change(self):
        other = ProgramFolder()
        try:
            other.write_settings("[General]\nEmail=me@example.org\nEnabled=1\n[Servers]\nSMTP=127.0.0.1:1\n")
            other.start(self.x.display)
            self.assertTrue(other.wait_log("SMTP: 127.0.0.1"))
            self.start()
            for n in range(3):
                self.copy("http://host1/%d.html" % n)
                self.requests(n + 1)
            self.assertTrue(wait_until(lambda: other.log().count("CB change detected") == 3, 10), other.log())
        finally:
            other.cleanup()

    def test_typed_url_confirmed_with_enter(self):
        self.start("", "/p")
        self.assertTrue(focus_window(self.x.display, "Tolvar", 15), "the window did not open at the first tick")
        time.sleep(0.3)
        xdotool(self.x.display, "type", "--delay", "20", "www.host1/page")
        xdotool(self.x.display, "key", "Return")
        mails = self.requests(1)
        self.assertEqual(mails[0][1], saildocs_mail("http://www.host1/page"))


if __name__ == "__main__":
    unittest.main()
