"""One scenario's world: a fresh copy of the installed program folder, fresh
HOME and XDG folders, a key store, a private desktop, and what is kept when
the scenario fails (a screenshot, the accessibility tree and the logs)."""

import os
import shutil
import subprocess
import time
import traceback

import desktop

SETTINGS_INI = "settings.ini"


def write_cp936(path, text):
    """Writes a text file as the program writes its own: code page 936, CR LF."""
    with open(path, "wb") as f:
        f.write(text.replace("\r\n", "\n").replace("\n", "\r\n").encode("gbk"))


def read_cp936(path):
    with open(path, "rb") as f:
        return f.read().decode("gbk")


class Case:
    def __init__(self, name, installed, artifacts, sanitized=False, version=None):
        self.name = name
        # The version the program was built as, "1.1.47".
        self.version = version
        self.installed = installed
        self.artifacts = os.path.join(artifacts, name)
        self.sanitized = sanitized
        self.root = desktop.temporary_root()
        self.program_folder = os.path.join(self.root, "program")
        shutil.copytree(installed, self.program_folder, symlinks=True)
        self.home = desktop.fresh_folder(self.root, "home")
        self.xdg = {
            "XDG_CONFIG_HOME": desktop.fresh_folder(self.home, ".config"),
            "XDG_DATA_HOME": desktop.fresh_folder(self.home, ".local-share"),
            "XDG_STATE_HOME": desktop.fresh_folder(self.home, ".local-state"),
            "XDG_CACHE_HOME": desktop.fresh_folder(self.home, ".cache"),
            "XDG_RUNTIME_DIR": desktop.fresh_folder(self.root, "runtime"),
        }
        # The key store: a folder named in settings.ini, as a user configures
        # one; the first start makes the keys there.
        self.store = desktop.fresh_folder(self.root, "store")
        write_cp936(self.path(SETTINGS_INI), "[set]\nKeyChar=%s\n" % self.store)
        self.desktop = desktop.Desktop(os.path.join(self.root, "desktop"))
        self.path_prefix = []

    # --- files ---------------------------------------------------------------

    def path(self, *parts):
        """A path in the program folder."""
        return os.path.join(self.program_folder, *parts)

    @property
    def data_folder(self):
        """Where the program keeps the files it writes: the program folder
        when it is the user's own (owned by them, and they are not root),
        otherwise the user's $XDG_DATA_HOME/velotan, seeded from it."""
        owner = os.stat(self.program_folder).st_uid
        if owner == os.geteuid() and owner != 0:
            return self.program_folder
        return os.path.join(self.xdg["XDG_DATA_HOME"], "velotan")

    def data_path(self, *parts):
        """A path in the data folder."""
        return os.path.join(self.data_folder, *parts)

    @property
    def key_file(self):
        return os.path.join(self.store, "mxsw", "encrypt", "chat.mx")

    def keys_on_disk(self):
        """The key pair in chat.mx, as (first, second)."""
        lines = [line for line in read_cp936(self.key_file).splitlines() if line.strip()]
        first, second = lines[-1].split("UGA")
        return int(first), int(second)

    def folder(self, name):
        return desktop.fresh_folder(self.root, name)

    # --- programs ------------------------------------------------------------

    def program_env(self):
        env = self.desktop.env(
            HOME=self.home,
            QT_QPA_PLATFORM="xcb",
            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
            LANG="C.UTF-8",
            LC_ALL="C.UTF-8",
            **self.xdg)
        if self.path_prefix:
            env["PATH"] = os.pathsep.join(self.path_prefix + [env.get("PATH", "")])
        if self.sanitized:
            # The sanitized build looks for memory errors here; leaks are the
            # in-process tests' business, and Qt's own would end every run.
            env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        return env

    def start_program(self):
        """Starts the installed velotan; returns its process."""
        return self.desktop.processes.start(
            "velotan", [self.path("velotan")], env=self.program_env(), cwd=self.home)

    def run_cli(self, args, stdin_text):
        """Runs velotan-cli of the installed folder to its end; returns stdout."""
        result = subprocess.run(
            [self.path("velotan-cli")] + args + ["--program-folder", self.program_folder],
            input=stdin_text.encode("utf-8"), capture_output=True,
            env=self.program_env(), timeout=60)
        if result.returncode != 0:
            raise AssertionError("velotan-cli %s failed: %s" % (
                " ".join(args), result.stderr.decode("utf-8", "replace")))
        return result.stdout.decode("utf-8")

    # --- the run ---------------------------------------------------------------

    def run(self, scenario):
        """Runs the scenario on a fresh desktop; True when it passed."""
        started = time.monotonic()
        try:
            with self.desktop:
                os.environ.update(self.desktop.env())
                try:
                    scenario(self)
                except BaseException:
                    self.keep_evidence(traceback.format_exc())
                    raise
            print("e2e %s: passed in %.1f s" % (self.name, time.monotonic() - started))
            return True
        finally:
            shutil.rmtree(self.root, ignore_errors=True)

    def keep_evidence(self, failure):
        """Screenshot, accessibility tree and logs, under the build folder."""
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        with open(os.path.join(self.artifacts, "failure.txt"), "w") as f:
            f.write(failure)
            f.write("\nprocesses started:\n")
            for name, process in self.desktop.processes.started:
                code = process.poll()
                f.write("  %s pid %d: %s\n" % (
                    name, process.pid, "running" if code is None else "ended with %d" % code))
        try:
            self.desktop.screenshot(os.path.join(self.artifacts, "screen.png"))
        except Exception as error:
            print("e2e %s: no screenshot: %s" % (self.name, error))
        try:
            import pyatspi
            import ui
            desktop_root = pyatspi.Registry.getDesktop(0)
            lines = ui.describe(desktop_root)
        except Exception as error:
            lines = ["accessibility tree unreadable: %s" % error]
        with open(os.path.join(self.artifacts, "tree.txt"), "w") as f:
            f.write("\n".join(lines) + "\n")
        shutil.copytree(self.desktop.logs, os.path.join(self.artifacts, "logs"),
                        dirs_exist_ok=True)
        print("e2e %s: FAILED; screenshot, accessibility tree and logs in %s" %
              (self.name, self.artifacts))
