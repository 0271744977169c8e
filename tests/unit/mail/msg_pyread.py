"""Reads a mail text the way a receiving SMTP server and mail reader would.

Usage: msg_pyread.py FILE

The file holds the text as Tolvar hands it to SMTP DATA. Each line that begins
with "." loses that period (SMTP transparency), then Python's email parser
reads the message. One line is printed per leaf part:
    PART <content type> <file name or -> <transfer encoding or -> <hex of the decoded bytes>
and, for a message that is not MIME, one line per UU block in the body:
    UU <file name> <hex of the decoded bytes>
A line that does not end with CR LF, or is longer than 998 bytes, gives
    BADLINE <line number>
"""
import binascii
import email
import sys


def unstuff(raw):
    lines = raw.split(b"\r\n")
    out = []
    for number, line in enumerate(lines[:-1], 1):
        if b"\r" in line or b"\n" in line or len(line) > 998:
            print("BADLINE", number)
        out.append(line[1:] if line.startswith(b".") else line)
    if lines[-1]:
        print("BADLINE", len(lines))
    out.append(lines[-1])
    return b"\r\n".join(out)


def uu_blocks(text):
    lines = text.split("\r\n")
    i = 0
    while i < len(lines):
        if lines[i].startswith("begin "):
            name = lines[i].split(" ", 2)[2]
            data = b""
            i += 1
            while i < len(lines) and lines[i] not in ("`", "end"):
                if lines[i]:
                    data += binascii.a2b_uu(lines[i])
                i += 1
            print("UU", name, data.hex())
        i += 1


def main():
    sys.stdout.reconfigure(encoding="utf-8", errors="surrogateescape")
    with open(sys.argv[1], "rb") as f:
        message = email.message_from_bytes(unstuff(f.read()))
    if message.get("Mime-Version") is None:
        uu_blocks(message.get_payload())
        return
    for part in message.walk():
        if part.is_multipart():
            continue
        print("PART", part.get_content_type(), part.get_filename() or "-",
              (part.get("Content-Transfer-Encoding") or "-").lower(),
              part.get_payload(decode=True).hex())


main()
