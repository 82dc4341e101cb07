"""Starts the built program on the test's display and looks at it as a person would: its window
through the X server, its controls through the accessibility tree, its input through xdotool."""

import atexit
import os
import re
import shutil
import subprocess
import tempfile
import time

import pyatspi

BINARY = os.environ["VARNEX_BINARY"]
TITLE = "Varnex by Tomvik"


# Whatever this run makes in the temporary folder (the tests' folders, the runtime folder of the
# program and the accessibility bus) goes into one folder of its own, removed at the end, so that
# nothing is left behind, also when a test fails.
_scratch = tempfile.mkdtemp(prefix="varnex-e2e-")
tempfile.tempdir = _scratch
os.environ["TMPDIR"] = _scratch
os.environ["XDG_RUNTIME_DIR"] = os.path.join(_scratch, "runtime")
os.mkdir(os.environ["XDG_RUNTIME_DIR"], 0o700)
_services = []
# The X server puts its socket in this folder and makes it when it is missing; made by this run,
# it is removed again at the end unless another server still has its socket there.
_X_SOCKETS = "/tmp/.X11-unix"
_made_x_sockets = not os.path.exists(_X_SOCKETS)


def _clean_up():
    # Asked to end rather than killed, so that the X server removes its lock file and socket.
    for service in reversed(_services):
        service.terminate()
        try:
            service.wait(10)
        except subprocess.TimeoutExpired:
            service.kill()
            service.wait()
    shutil.rmtree(_scratch, ignore_errors=True)
    if _made_x_sockets:
        try:
            os.rmdir(_X_SOCKETS)
        except OSError:  # gone already, or in use by another server
            pass


atexit.register(_clean_up)


def _start_display():
    """A virtual screen on a display number the server picks itself, so that runs side by side
    or one right after another never meet on the same display."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-noreset",
                               "-nolisten", "tcp"], pass_fds=[write_end],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _services.append(server)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        os.environ["DISPLAY"] = ":" + numbers.readline().strip()


_start_display()
_services.append(subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))


def start_weston():
    """A Wayland compositor of this run's own: weston's headless backend, drawing into memory with
    its software renderer (so that weston-screenshooter, which --debug allows, shows what a person
    would see). It has no seat, so no keyboard and no mouse: tests act through the accessibility
    tree. Returns the name of its socket."""
    socket = "wayland-varnex"
    _services.append(subprocess.Popen(
        ["weston", "--backend=headless-backend.so", "--use-pixman", "--width=1280", "--height=1024",
         "--socket=" + socket, "--idle-time=0", "--no-config", "--debug"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    wait_for(lambda: os.path.exists(os.path.join(os.environ["XDG_RUNTIME_DIR"], socket)),
             "the Wayland compositor")
    return socket


def wait_for(probe, what, timeout=15):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            result = probe()
        except Exception:  # the tree changes under us while the program starts
            result = None
        if result:
            return result
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True,
                          text=True).stdout.split()


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:  # an empty table view reports cells it does not have
            continue
        yield child
        yield from descendants(child)


class Varnex:
    """One running program. Settings go to a folder of the test's own."""

    def __init__(self, *args, cwd=None, config_home=None, env=None, binary=None, wayland=None):
        """With `wayland` (a socket from start_weston) the program runs natively on that compositor
        instead of the X server."""
        self.config_home = config_home or tempfile.mkdtemp(prefix="varnex-e2e-config-")
        full = {k: v for k, v in os.environ.items() if k != "QT_SCALE_FACTOR"}
        # Journals of conversions go beside the settings, never to the user's own state folder.
        full.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_CONFIG_HOME=self.config_home,
                    XDG_STATE_HOME=os.path.join(self.config_home, "state"), QT_QPA_PLATFORM="xcb")
        if wayland:
            del full["DISPLAY"]
            # Without a seat, the toolkit's Wayland text input fails on a focused text field (it
            # asks a keyboard that is not there); a desktop always has one. Compose input does not ask.
            full.update(QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY=wayland, QT_IM_MODULE="compose")
        full.update(env or {})
        self.process = subprocess.Popen([binary or BINARY, *args], cwd=cwd, env=full)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()

    # The accessibility tree.
    def application(self):
        def find():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.get_process_id() == self.process.pid:
                    return app
            return None
        return wait_for(find, "the program in the accessibility tree")

    def find(self, role, name=None, timeout=15):
        def probe():
            for node in descendants(self.application()):
                if node.getRoleName() == role and (name is None or node.name == name):
                    return node
            return None
        return wait_for(probe, f"a {role} {name or ''}", timeout)

    def list_items(self):
        files = self.find("list")
        return [files.getChildAtIndex(i).name for i in range(files.childCount)]

    def wait_for_list(self, expected, what):
        """Waits until the list shows `expected`; a timeout says what it showed last."""
        shown = None

        def probe():
            nonlocal shown
            shown = self.list_items()
            return shown == expected
        try:
            wait_for(probe, what)
        except AssertionError as error:
            raise AssertionError(f"{error}; the list showed {shown!r}") from None

    def folder_text(self):
        field = self.find("text")
        return field.queryText().getText(0, -1)

    def button(self, name):
        return self.find("push button", name)

    # The X window.
    def window(self, title=TITLE):
        ids = wait_for(lambda: xdotool("search", "--all", "--onlyvisible", "--pid", str(self.process.pid),
                                       "--name", "^" + re.escape(title) + "$"),
                       f"a visible window titled {title!r}")
        return ids[0]

    def visible_windows(self, title):
        try:
            return xdotool("search", "--all", "--onlyvisible", "--pid", str(self.process.pid), "--name",
                           "^" + re.escape(title) + "$")
        except subprocess.CalledProcessError:
            return []

    def client_geometry(self, window=None):
        info = subprocess.run(["xwininfo", "-id", window or self.window()], check=True,
                              capture_output=True, text=True).stdout
        value = lambda key: int(re.search(key + r":\s+(-?\d+)", info).group(1))
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                value("Height"))

    def press(self, *keys, window=None):
        target = window or self.window()
        xdotool("windowfocus", "--sync", target)
        xdotool("key", *keys)

    def click(self, node, times=1):
        """Clicks the middle of an accessible control with the mouse."""
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        x, y = str(box.x + box.width // 2), str(box.y + box.height // 2)
        # A synchronous move to where the pointer already is waits for a motion that never comes.
        if xdotool("getmouselocation")[:2] != ["x:" + x, "y:" + y]:
            xdotool("mousemove", "--sync", x, y)
        xdotool("click", "--repeat", str(times), "--delay", "80", "1")

    def list_item(self, name):
        return self.find("list item", name)

    def wait_until_closed(self, timeout=15):
        return self.process.wait(timeout)
