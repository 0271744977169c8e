"""A real SMTP server for Tolvar's tests and benchmarks.

Runs Debian's aiosmtpd on a loopback port and stores every mail it accepts in
a folder: NNNN.data holds the data exactly as received (dot-stuffing undone,
without the terminating "."), NNNN.env the envelope ("HELO name", "FROM addr",
one "TO addr" per recipient). The .env file appears last, renamed into place,
so a reader never sees half a mail. The port actually bound is printed on
standard output as the first line. SIGTERM stops the server.

With --cert/--key it speaks TLS: --tls starttls offers STARTTLS, --tls
implicit speaks TLS from the first byte. --login USER:PASSWORD asks for a
login (only over TLS, as providers do); --no-plain offers AUTH LOGIN alone.
events.log in the folder gets a line per MAIL FROM ("MAIL addr") and per
login ("AUTH user ok" or "AUTH user refused"), so tests can tell what the
server saw even when no mail was stored. --inject LINE sends LINE in plain
text right behind the "220" to STARTTLS, as an attacker on the path would.
"""
import argparse
import asyncio
import logging
import os
import signal
import ssl
import warnings

from aiosmtpd.smtp import SMTP, AuthResult


class Store:
    def __init__(self, folder, login=None):
        self.folder = folder
        self.count = 0
        self.login = login

    def event(self, text):
        if self.folder:
            with open(os.path.join(self.folder, "events.log"), "a", encoding="utf-8") as f:
                f.write(text + "\n")

    async def handle_MAIL(self, server, session, envelope, address, options):
        self.event("MAIL %s" % address)
        envelope.mail_from = address
        envelope.mail_options.extend(options)
        return "250 OK"

    def authenticate(self, server, session, envelope, mechanism, data):
        user = data.login.decode("utf-8", "replace")
        ok = (data.login, data.password) == self.login
        self.event("AUTH %s %s %s" % (user, mechanism, "ok" if ok else "refused"))
        return AuthResult(success=ok, handled=False)

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


class InjectingSMTP(SMTP):
    """Puts a line behind the STARTTLS go-ahead, in the same write."""

    def __init__(self, *args, inject, **kwargs):
        super().__init__(*args, **kwargs)
        self.inject = inject

    async def push(self, status):
        if status == "220 Ready to start TLS":
            status += "\r\n" + self.inject
        await super().push(status)


async def main():
    # Refused handshakes and logins are what the tests provoke; their
    # tracebacks would only bury the tests' own output.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--folder", default="", help="where mails go; empty stores nothing")
    parser.add_argument("--cert", default="")
    parser.add_argument("--key", default="")
    parser.add_argument("--tls", choices=["none", "starttls", "implicit"], default="none")
    parser.add_argument("--login", default="", help="USER:PASSWORD the server asks for")
    parser.add_argument("--no-plain", action="store_true")
    parser.add_argument("--inject", default="")
    args = parser.parse_args()

    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
    login = None
    if args.login:
        user, _, password = args.login.partition(":")
        login = (user.encode(), password.encode())

    loop = asyncio.get_running_loop()
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_signal_handler(signal.SIGINT, stop.set)
    store = Store(args.folder, login)
    options = {"hostname": "sink.test"}
    if args.tls == "starttls":
        options["tls_context"] = context
    if login:
        options.update(auth_required=True, authenticator=store.authenticate)
        # Over TLS from the first byte the connection is encrypted all along.
        options["auth_require_tls"] = args.tls != "implicit"
        if args.no_plain:
            options["auth_exclude_mechanism"] = ["PLAIN"]
    server = await loop.create_server(
        lambda: InjectingSMTP(store, inject=args.inject, **options) if args.inject else SMTP(store, **options),
        host=args.host, port=args.port,
        ssl=context if args.tls == "implicit" else None)
    print(server.sockets[0].getsockname()[1], flush=True)
    await stop.wait()
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
