"""Runs the real tolvar under Xvfb for end-to-end tests.

Every process started here is stopped by its process id, and every wait is
bounded, so a failing program never hangs the test run.
"""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

TOLVAR_EXE = os.environ.get("TOLVAR_EXE", "")
TOLVAR_DATA = os.environ.get("TOLVAR_DATA", "")


def stop_process(proc, grace=3.0):
    """SIGTERM, then SIGKILL after grace seconds; always reaps."""
    if proc is None or proc.poll() is not None:
        return
    try:
        os.kill(proc.pid, signal.SIGTERM)
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        os.kill(proc.pid, signal.SIGKILL)
        proc.wait(timeout=5)
    except ProcessLookupError:
        pass


def wait_until(predicate, timeout, step=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


class Xvfb:
    """A private X display; -displayfd tells us which number it took."""

    def __init__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(r, 16)
            if not chunk:
                break
            number += chunk
        os.close(r)
        if not number.strip():
            stop_process(self.proc)
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def stop(self):
        stop_process(self.proc)


class ProgramFolder:
    """A fresh program folder with tolvar and its data, plus its own settings
    and runtime folders, as a user who copied the program would have."""

    def __init__(self, copy_data=True):
        self.extra_env = {}
        self.tmp = tempfile.mkdtemp(prefix="tolvar-e2e-")
        self.root = os.path.join(self.tmp, "prog") + "/"
        os.makedirs(self.root)
        shutil.copy2(TOLVAR_EXE, self.root + "tolvar")
        if copy_data and TOLVAR_DATA and os.path.isdir(TOLVAR_DATA):
            shutil.copytree(TOLVAR_DATA, self.root, dirs_exist_ok=True)
        self.config = os.path.join(self.tmp, "config")
        self.runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(os.path.join(self.config, "tolvar"))
        os.makedirs(self.runtime, mode=0o700)
        self.procs = []
        self.write_settings("")

    def path(self, name):
        return self.root + name

    def write_settings(self, text):
        # The tip of the day would open over everything at start; tests that
        # want it say TipEnabled themselves.
        if "TipEnabled" not in text:
            if "[General]\n" in text:
                text = text.replace("[General]\n", "[General]\nTipEnabled=0\n", 1)
            else:
                text = "[General]\nTipEnabled=0\n" + text
        with open(os.path.join(self.config, "tolvar", "TOLVAR.INI"), "w", newline="") as f:
            f.write(text.replace("\n", "\r\n"))

    def env(self, display):
        env = dict(os.environ)
        env.update({"DISPLAY": display, "XDG_CONFIG_HOME": self.config,
                    "XDG_RUNTIME_DIR": self.runtime, "QT_QPA_PLATFORM": "xcb",
                    "LC_ALL": "C", "TOLVAR_HELP": "builtin"})
        # No desktop bus: a tray is there only when a test starts one.
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        env.update(self.extra_env)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def start(self, display, *args):
        # Qt's own warnings go to a file: an unread pipe could fill and stall it.
        with open(os.path.join(self.tmp, "stderr.txt"), "ab") as err:
            proc = subprocess.Popen([self.root + "tolvar", *args], cwd=self.root,
                                    env=self.env(display), stdout=subprocess.DEVNULL, stderr=err)
        self.procs.append(proc)
        return proc

    def log(self):
        try:
            with open(self.path("DebugLog.Txt"), "rb") as f:
                return f.read().decode("latin-1")
        except FileNotFoundError:
            return ""

    def wait_log(self, text, timeout=10):
        return wait_until(lambda: text in self.log(), timeout)

    def cleanup(self):
        for proc in self.procs:
            stop_process(proc)
        shutil.rmtree(self.tmp, ignore_errors=True)


STAMP = {
    b"Date": re.compile(rb"Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] "
                        rb"(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} "
                        rb"[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [-+][0-9]{4}\r\n"),
    b"Message-ID": re.compile(rb"Message-ID: <[0-9a-f]+\.[0-9a-f]+\.[0-9a-f]{16}@[A-Za-z0-9.-]+>\r\n"),
}


def without_stamp(mail):
    """The mail without its Date: and Message-ID: lines, which differ from
    mail to mail. Each must be in the header once and in its proper form; if
    not, "!bad <name>" is added to the header so comparisons fail."""
    head, sep, rest = mail.partition(b"\r\n\r\n")
    head = b"\n" + head + b"\r\n"
    for name, pattern in STAMP.items():
        start = b"\n" + name + b": "
        at = head.find(start)
        match = pattern.match(head, at + 1) if at >= 0 and head.count(start) == 1 else None
        if match:
            head = head[:at + 1] + head[match.end():]
        else:
            head += b"!bad " + name + b"\r\n"
    return head[1:-2] + sep + rest


class SmtpSink:
    """Debian's aiosmtpd storing each mail in a folder (tests/support/smtpsink.py)."""

    SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "smtpsink.py")

    def __init__(self, port=0, options=()):
        self.folder = tempfile.mkdtemp(prefix="tolvar-sink-")
        self.proc = None
        self.options = list(options)
        self.start(port)

    def start(self, port=0):
        self.proc = subprocess.Popen(
            ["/usr/bin/python3", self.SCRIPT, "--host", "127.0.0.1", "--port", str(port),
             "--folder", self.folder] + self.options, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = b""
        deadline = time.monotonic() + 15
        import select
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([self.proc.stdout], [], [], 0.2)
            if ready:
                chunk = os.read(self.proc.stdout.fileno(), 64)
                if not chunk:
                    break
                line += chunk
        if not line.strip():
            stop_process(self.proc)
            raise RuntimeError("aiosmtpd did not start")
        self.port = int(line.strip())

    def stop(self):
        stop_process(self.proc)
        if self.proc and self.proc.stdout:
            self.proc.stdout.close()

    def events(self):
        """What the server saw: "MAIL addr", "AUTH user MECHANISM ok|refused"."""
        try:
            with open(os.path.join(self.folder, "events.log"), encoding="utf-8") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def mails(self):
        """[(envelope dict, data bytes)] in order of arrival; the data without
        its Date: and Message-ID: lines (see without_stamp)."""
        out = []
        for name in sorted(os.listdir(self.folder)):
            if not name.endswith(".env"):
                continue
            base = os.path.join(self.folder, name[:-4])
            env = {"to": []}
            with open(base + ".env", encoding="utf-8", errors="surrogateescape") as f:
                for line in f.read().splitlines():
                    key, _, value = line.partition(" ")
                    if key == "TO":
                        env["to"].append(value)
                    else:
                        env[key.lower()] = value
            with open(base + ".data", "rb") as f:
                out.append((env, without_stamp(f.read())))
        return out

    def wait_mails(self, count, timeout=10):
        wait_until(lambda: len(self.mails()) >= count, timeout)
        return self.mails()

    def cleanup(self):
        self.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


class Tray:
    """A notification area on the display (Debian's trayer, a real XEmbed
    tray), as a desktop panel would hold it."""

    def __init__(self, display):
        # On a loaded machine trayer now and then ends at start-up before its
        # window shows; a panel would be started again, and so is it.
        for _ in range(3):
            self.proc = subprocess.Popen(["trayer"], env=dict(os.environ, DISPLAY=display),
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if wait_until(lambda: self.proc.poll() is not None
                          or xdotool(display, "search", "--class", "trayer").stdout.strip(), 10) \
                    and self.proc.poll() is None:
                return
            stop_process(self.proc)
        raise RuntimeError("trayer did not start")

    def stop(self):
        stop_process(self.proc)


def set_clipboard(display, text):
    """Another program copies text: xclip owns the CLIPBOARD selection until
    the next copy, as a real program would."""
    env = dict(os.environ, DISPLAY=display)
    proc = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=subprocess.PIPE,
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    proc.stdin.write(text.encode("latin-1"))
    proc.stdin.close()
    return proc


def xdotool(display, *args, timeout=10):
    env = dict(os.environ, DISPLAY=display)
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                          timeout=timeout)


def visible_windows(display, title):
    """Ids of the shown windows whose title is exactly title."""
    return xdotool(display, "search", "--onlyvisible", "--name", "^%s$" % title).stdout.split()


def focus_window(display, title, timeout=10):
    """Waits for a shown window with the title and gives it the keyboard."""
    found = []

    def find():
        found[:] = visible_windows(display, title)
        return bool(found)
    if not wait_until(find, timeout):
        return False
    xdotool(display, "windowfocus", "--sync", found[0])
    return True


class DisplayTestCase(unittest.TestCase):
    """Tests that share one private X display for the whole class."""

    @classmethod
    def setUpClass(cls):
        cls.x = Xvfb()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()
