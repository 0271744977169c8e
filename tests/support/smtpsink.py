"""A real SMTP server for Tolvar's tests and benchmarks.

Runs Debian's aiosmtpd on a loopback port and stores every mail it accepts in
a folder: NNNN.data holds the data exactly as received (dot-stuffing undone,
without the terminating "."), NNNN.env the envelope ("HELO name", "FROM addr",
one "TO addr" per recipient). The .env file appears last, renamed into place,
so a reader never sees half a mail. The port actually bound is printed on
standard output as the first line. SIGTERM stops the server.
"""
import argparse
import asyncio
import os
import signal

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%04d" % self.count)
        if self.folder:
            with open(base + ".data", "wb") as f:
                f.write(envelope.original_content)
            with open(base + ".env.tmp", "w", encoding="utf-8", errors="surrogateescape") as f:
                f.write("HELO %s\n" % session.host_name)
                f.write("FROM %s\n" % envelope.mail_from)
                for rcpt in envelope.rcpt_tos:
                    f.write("TO %s\n" % rcpt)
            os.rename(base + ".env.tmp", base + ".env")
        return "250 OK"


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--folder", default="", help="where mails go; empty stores nothing")
    args = parser.parse_args()

    loop = asyncio.get_running_loop()
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_signal_handler(signal.SIGINT, stop.set)
    store = Store(args.folder)
    server = await loop.create_server(
        lambda: SMTP(store, hostname="sink.test"), host=args.host, port=args.port)
    print(server.sockets[0].getsockname()[1], flush=True)
    await stop.wait()
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
