"""tolvar decode on saved replies: a mailbox whose parts are out of order and
one part missing is reported incomplete and writes nothing; with the missing
part added from a Maildir the file comes out whole, beside the older file of
the same name, which is kept. No display is needed."""
import binascii
import os
import random
import subprocess
import unittest

from harness import ProgramFolder


def uu_lines(data):
    lines = []
    for i in range(0, len(data), 45):
        # Old encoders write zeros as blanks; a mail server strips the
        # blanks at the ends of lines.
        lines.append(binascii.b2a_uu(data[i:i + 45]).decode("latin-1").rstrip("\n").rstrip(" "))
    return lines


def mail(subject, body_lines):
    return ("From: robot@bymail.example\n"
            "Subject: %s\n"
            "Date: Tue, 8 Dec 2026 07:00:00 +0000\n\n"
            "Here is your file.\n\n%s\n-- \nThe ByMail robot\n" % (subject, "\n".join(body_lines)))


class DecodeCommand(unittest.TestCase):
    def setUp(self):
        self.folder = ProgramFolder(copy_data=False)
        rnd = random.Random(16)
        data = bytearray(rnd.getrandbits(8) for _ in range(20000))
        # Lines whose data ends in zeros lose their trailing blanks in transit.
        for end in range(45, len(data), 45 * 3):
            data[end - 3:end] = b"\0\0\0"
        self.data = bytes(data)
        lines = uu_lines(self.data)
        per = (len(lines) + 4) // 5
        chunks = [lines[i * per:(i + 1) * per] for i in range(5)]
        chunks[0].insert(0, "begin 644 file.bin")
        chunks[4] += ["", "end", "size %d" % len(self.data)]
        subjects = ["file.bin (1/5)", "file.bin [2/5]", "file.bin part 3 of 5", "Re: file.bin 4/5", "file.bin (5/5)"]
        self.mails = [mail(s, c) for s, c in zip(subjects, chunks)]

    def tearDown(self):
        self.folder.cleanup()

    def run_decode(self, *args):
        return subprocess.run([self.folder.path("tolvar"), "decode", *args], capture_output=True, text=True,
                              timeout=60, env={"PATH": os.environ.get("PATH", "")})

    def test_parts_out_of_order_and_one_missing(self):
        mbox = os.path.join(self.folder.tmp, "replies.mbox")
        with open(mbox, "w", newline="") as f:
            for i in (4, 0, 3, 1):
                f.write("From robot@bymail.example Tue Dec  8 07:00:00 2026\n" + self.mails[i] + "\n")
        downloads = self.folder.path("downloads")
        result = self.run_decode(mbox)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertIn("file.bin: incomplete, missing part 3 of 5 (nothing written)", result.stdout)
        self.assertEqual(os.listdir(downloads) if os.path.isdir(downloads) else [], [])

        # The missing part as a single mail in a Maildir; an older file.bin
        # in downloads stays as it was.
        maildir = os.path.join(self.folder.tmp, "Mail")
        for sub in ("cur", "new", "tmp"):
            os.makedirs(os.path.join(maildir, sub))
        with open(os.path.join(maildir, "cur", "1700000000.part3:2,S"), "w", newline="") as f:
            f.write(self.mails[2].replace("\n", "\r\n"))
        os.makedirs(downloads, exist_ok=True)
        with open(os.path.join(downloads, "file.bin"), "wb") as f:
            f.write(b"older")
        result = self.run_decode(mbox, maildir)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        saved = os.path.join(downloads, "file (1).bin")
        self.assertEqual(result.stdout, "file.bin: complete, saved as %s\n" % saved)
        with open(saved, "rb") as f:
            self.assertEqual(f.read(), self.data)
        with open(os.path.join(downloads, "file.bin"), "rb") as f:
            self.assertEqual(f.read(), b"older")
        self.assertEqual(sorted(os.listdir(downloads)), ["file (1).bin", "file.bin"])

        self.assertEqual(self.run_decode("-o").returncode, 2)
        self.assertEqual(self.run_decode().returncode, 2)


if __name__ == "__main__":
    unittest.main()
