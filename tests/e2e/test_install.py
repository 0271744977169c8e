"""`cmake --install` makes a desktop program: an installed copy whose program
folder it may not write keeps its files in the XDG data folder."""
import os
import shutil
import subprocess
import tempfile
import unittest

from harness import DisplayTestCase, stop_process, wait_until

BUILD = os.environ.get("TOLVAR_BUILD", "")
NOBODY = 65534


class Installed(DisplayTestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tolvar-install-")
        os.chmod(self.tmp, 0o755)
        self.prefix = os.path.join(self.tmp, "prefix")
        self.proc = None
        done = subprocess.run(["cmake", "--install", BUILD, "--prefix", self.prefix],
                              capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def tearDown(self):
        stop_process(self.proc)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def user_folder(self, name):
        path = os.path.join(self.tmp, name)
        os.makedirs(path, mode=0o700)
        if os.geteuid() == 0:
            os.chown(path, NOBODY, NOBODY)
        return path

    def test_installed_tree_and_files_in_the_xdg_data_folder(self):
        share = os.path.join(self.prefix, "share")
        with open(os.path.join(share, "applications", "tolvar.desktop")) as f:
            entry = f.read()
        self.assertIn('Exec="%s/bin/tolvar"' % self.prefix, entry)
        self.assertIn("Icon=tolvar", entry)
        for name in ["icons/hicolor/scalable/apps/tolvar.svg", "tolvar/uservers.dat", "tolvar/help/index.html"]:
            self.assertTrue(os.path.isfile(os.path.join(share, name)), name)

        bin_dir = os.path.join(self.prefix, "bin")
        os.chmod(bin_dir, 0o555)
        home, config, runtime = self.user_folder("home"), self.user_folder("config"), self.user_folder("runtime")
        data = os.path.join(home, ".local", "share")
        # A file the user already has is theirs: never replaced.
        os.makedirs(os.path.join(data, "tolvar"))
        with open(os.path.join(data, "tolvar", "tips.dat"), "w") as f:
            f.write("0,My own tip\n")
        os.makedirs(os.path.join(config, "tolvar"))
        with open(os.path.join(config, "tolvar", "TOLVAR.INI"), "w") as f:
            f.write("[General]\r\nTipEnabled=0\r\nEmail=me@example.org\r\n[Servers]\r\nSMTP=127.0.0.1\r\n")
        if os.geteuid() == 0:
            subprocess.run(["chown", "-R", "%d:%d" % (NOBODY, NOBODY), home, config], check=True)
        env = dict(os.environ, DISPLAY=self.x.display, HOME=home, XDG_CONFIG_HOME=config,
                   XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb", LC_ALL="C", TOLVAR_HELP="builtin")
        for key in ("XDG_DATA_HOME", "DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY"):
            env.pop(key, None)
        # Root may write into any folder: run as an ordinary user, for whom
        # the installed program folder is read-only.
        as_user = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups"] \
            if os.geteuid() == 0 else []
        self.proc = subprocess.Popen(as_user + [os.path.join(bin_dir, "tolvar")], cwd=home, env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        folder = os.path.join(data, "tolvar")
        log = os.path.join(folder, "DebugLog.Txt")

        def logged():
            try:
                with open(log, "rb") as f:
                    return b"Loaded Server File" in f.read()
            except FileNotFoundError:
                return False
        self.assertTrue(wait_until(logged, 15), "no log in %s: %s" % (folder, os.listdir(folder)))
        self.assertIsNone(self.proc.poll())
        for name in ["uservers.dat", "Suggest.Ini", "downloads"]:
            self.assertTrue(os.path.exists(os.path.join(folder, name)), name)
        with open(os.path.join(folder, "tips.dat")) as f:
            self.assertEqual(f.read(), "0,My own tip\n")
        self.assertEqual(os.listdir(bin_dir), ["tolvar"])


if __name__ == "__main__":
    unittest.main()
