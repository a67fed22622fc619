"""A private desktop for one scenario: an X server (Xvfb), a D-Bus session
bus and the accessibility (AT-SPI) bus, plus every process a scenario starts.

Nothing here touches the user's own display or buses: each scenario gets its
own, and every process started here is ended again by its process id (its
process group, so that helpers it spawned go with it)."""

import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import zlib

AT_SPI_BUS_LAUNCHER_PATHS = (
    "/usr/libexec/at-spi-bus-launcher",
    "/usr/lib/at-spi2-core/at-spi-bus-launcher",
)


def missing_tools():
    """What the suite needs and this machine lacks, as readable names."""
    missing = []
    for program in ("Xvfb", "dbus-daemon", "dbus-send"):
        if shutil.which(program) is None:
            missing.append(program)
    if bus_launcher() is None:
        missing.append("at-spi-bus-launcher (at-spi2-core)")
    try:
        import pyatspi  # noqa: F401  (only checks that it is there)
    except ImportError:
        missing.append("pyatspi (python3-pyatspi)")
    return missing


def bus_launcher():
    for path in AT_SPI_BUS_LAUNCHER_PATHS:
        if os.access(path, os.X_OK):
            return path
    return None


class Processes:
    """Every process a scenario starts, each in a process group of its own."""

    def __init__(self, log_folder):
        self.log_folder = log_folder
        self.started = []  # (name, Popen), in starting order

    def start(self, name, argv, env, **kwargs):
        log = open(os.path.join(self.log_folder, name + ".log"), "ab")
        kwargs.setdefault("stdout", log)
        kwargs.setdefault("stderr", log)
        process = subprocess.Popen(argv, env=env, start_new_session=True,
                                   stdin=subprocess.DEVNULL, **kwargs)
        log.close()
        self.started.append((name, process))
        return process

    def end(self, process, grace=3.0):
        """Ends one started process and its group: TERM, then KILL."""
        for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 2.0)):
            try:
                os.killpg(process.pid, sig)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout=wait)
                break
            except subprocess.TimeoutExpired:
                continue
        # Helpers left in the group after its leader went.
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    def end_all(self):
        for _, process in reversed(self.started):
            self.end(process)
        self.started.clear()


class Desktop:
    """Xvfb, a session bus and the AT-SPI bus, started in that order."""

    WIDTH, HEIGHT = 1024, 768

    def __init__(self, folder):
        self.folder = folder
        self.logs = os.path.join(folder, "logs")
        self.screen_folder = os.path.join(folder, "screen")
        os.makedirs(self.logs, exist_ok=True)
        os.makedirs(self.screen_folder, exist_ok=True)
        self.processes = Processes(self.logs)
        self.display = None
        self.bus_address = None

    def __enter__(self):
        try:
            self._start_x()
            self._start_session_bus()
            self._start_accessibility_bus()
        except BaseException:
            self.processes.end_all()
            raise
        return self

    def __exit__(self, *exc):
        self.processes.end_all()
        return False

    def env(self, **extra):
        """The environment for a process on this desktop."""
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("DBUS_", "AT_SPI_", "XDG_", "QT_", "WAYLAND_"))}
        if self.display:
            env["DISPLAY"] = self.display
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        env.update(extra)
        return env

    def _start_x(self):
        read_end, write_end = os.pipe()
        # -noreset: without it the server resets when its last client leaves
        # (the bus launcher, early on), and a program connecting just then
        # finds no display.
        try:
            self.x_server = self.processes.start(
                "Xvfb",
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 "%dx%dx24" % (self.WIDTH, self.HEIGHT), "-nolisten", "tcp", "-noreset",
                 "-fbdir", self.screen_folder],
                env=os.environ.copy(), pass_fds=(write_end,))
            os.close(write_end)
            write_end = None
            number = b""
            deadline = time.monotonic() + 20
            while not number.endswith(b"\n"):
                if time.monotonic() > deadline or self.x_server.poll() is not None:
                    raise RuntimeError("Xvfb did not start (see logs/Xvfb.log)")
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise RuntimeError("Xvfb did not report its display")
                number += chunk
            self.display = ":" + number.decode().strip()
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)

    def _start_session_bus(self):
        bus = self.processes.start(
            "dbus-daemon",
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            env=self.env(), stdout=subprocess.PIPE)
        line = bus.stdout.readline().decode().strip()
        bus.stdout.close()
        if not line:
            raise RuntimeError("dbus-daemon did not start (see logs/dbus-daemon.log)")
        self.bus_address = line

    def _start_accessibility_bus(self):
        # The launcher starts the accessibility bus and, through it, the
        # registry; QT_LINUX_ACCESSIBILITY_ALWAYS_ON makes the program talk
        # to it whatever the desktop's settings say.
        self.processes.start(
            "at-spi-bus-launcher", [bus_launcher(), "--launch-immediately", "--a11y=1"],
            env=self.env())
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            probe = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                 "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                env=self.env(), capture_output=True)
            if probe.returncode == 0 and b"unix:" in probe.stdout:
                return
            time.sleep(0.1)
        raise RuntimeError("the AT-SPI bus did not start (see logs/at-spi-bus-launcher.log)")

    def screenshot(self, png_path):
        """Saves the screen as PNG; Xvfb keeps it as an XWD file."""
        with open(os.path.join(self.screen_folder, "Xvfb_screen0"), "rb") as f:
            data = f.read()
        write_png(png_path, *xwd_to_rgb(data))


def xwd_to_rgb(data):
    """Width, height and RGB rows of a ZPixmap XWD image of 24 or 32 bits."""
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    colours = fields[19]
    offset = header_size + colours * 12
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [(mask, shift(mask)) for mask in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        row = bytearray(width * 3)
        if step == 4 and order == "little" and [s for _, s in shifts] == [16, 8, 0]:
            # Xvfb's usual layout, B G R X: slices instead of a loop per pixel.
            row[0::3], row[1::3], row[2::3] = line[2::4], line[1::4], line[0::4]
            rows.append(bytes(row))
            continue
        for x in range(width):
            pixel = int.from_bytes(line[x * step: x * step + step], order)
            for c, (mask, s) in enumerate(shifts):
                row[x * 3 + c] = (pixel & mask) >> s
        rows.append(bytes(row))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def fresh_folder(parent, name):
    path = os.path.join(parent, name)
    os.makedirs(path, mode=0o700, exist_ok=False)
    return path


def temporary_root():
    return tempfile.mkdtemp(prefix="velotan-e2e-")
