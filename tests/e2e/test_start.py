"""The program starts, shows its window and lists the folder it was given."""

import os
import subprocess
import tempfile
import unittest

import varnex_session
from varnex_session import TITLE, Varnex

SCREEN = (1280, 1024)
MAXIMIZE_FUNCTION, MAXIMIZE_DECORATION = 0x10, 0x40


def maximizable(window):
    """Whether the window asks the window manager for a maximise function or button."""
    out = subprocess.run(["xprop", "-id", window, "_MOTIF_WM_HINTS"], check=True, capture_output=True,
                         text=True).stdout
    _, functions, decorations = [int(n, 16) for n in out.split("=")[1].split(",")[:3]]
    return bool(functions & MAXIMIZE_FUNCTION or decorations & MAXIMIZE_DECORATION)


def make_folder(names, folders=()):
    root = tempfile.mkdtemp(prefix="varnex-e2e-")
    for name in folders:
        os.mkdir(os.path.join(root, name))
    for name in names:
        with open(os.path.join(root, name), "wb") as f:
            f.write(b"not really music")
    return root


class StartTest(unittest.TestCase):
    def test_lists_the_folder_given(self):
        folder = make_folder(["b.mp3", "A.MP3", "c.mp3", "x.iad", ".h.mp3", "a.mp3x"],
                             folders=["sub.mp3"])
        with Varnex(folder) as program:
            x, y, width, height = program.client_geometry()
            self.assertEqual((width, height), (472, 352))
            self.assertEqual(program.folder_text(), folder)
            program.wait_for_list(["A.MP3", "b.mp3", "c.mp3"],
                                  "the folder's mp3 files in case-ignoring order")
            program.click(program.button("Quit"))
            self.assertEqual(program.wait_until_closed(), 0)

    def test_second_argument_brings_the_warning_first(self):
        first = make_folder(["one.mp3"])
        second = make_folder(["two.mp3"])
        with Varnex(first, second) as program:
            box = program.window("Warning")
            self.assertTrue(program.find("label", "Only one folder, please"))
            self.assertEqual(program.visible_windows(TITLE), [])
            x, y, width, height = program.client_geometry(box)  # no frame: no window manager
            self.assertLessEqual(abs(2 * x + width - SCREEN[0]), 1)
            self.assertLessEqual(abs(2 * y + height - SCREEN[1]), 1)
            self.assertFalse(maximizable(box))
            program.press("Return", window=box)
            self.assertFalse(maximizable(program.window()))
            program.wait_for_list(["one.mp3"], "the first folder listed")

    def test_twice_the_scale_keeps_the_layout(self):
        folder = make_folder(["one.mp3"])
        with Varnex(folder, env={"QT_SCALE_FACTOR": "2"}) as program:
            self.assertEqual(program.client_geometry()[2:], (944, 704))
            program.wait_for_list(["one.mp3"], "the file listed")

    def test_folders_named_like_options(self):
        parent = make_folder([])
        for arguments in (["-style"], ["--", "--help"]):
            folder = os.path.join(parent, arguments[-1])
            os.mkdir(folder)
            open(os.path.join(folder, "song.mp3"), "wb").close()
            with Varnex(*arguments, cwd=parent) as program:
                program.wait_for_list(["song.mp3"], "the folder " + folder)
                self.assertEqual(program.folder_text(), folder)

    def test_help_and_version_print_without_a_window(self):
        config = tempfile.mkdtemp(prefix="varnex-e2e-config-")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(XDG_CONFIG_HOME=config, XDG_STATE_HOME=config, QT_QPA_PLATFORM="xcb")
        for argument, expected in (("--help", r"Usage: varnex \[--\] \[FOLDER \| SONG\]\n"),
                                   ("--version", r"varnex \d+(\.\d+)+\n$")):
            result = subprocess.run([varnex_session.BINARY, argument, "a folder"], env=env,
                                    capture_output=True, text=True, timeout=15)
            self.assertEqual((result.returncode, result.stderr), (0, ""), argument)
            self.assertRegex(result.stdout, "^" + expected)
        self.assertEqual(os.listdir(config), [])
        with open("/dev/full", "w") as full:  # a print that fails is no success
            failed = subprocess.run([varnex_session.BINARY, "--version"], env=env, stdout=full)
        self.assertEqual(failed.returncode, 1)
        closed = subprocess.run([varnex_session.BINARY, "--version"], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                preexec_fn=lambda: os.close(1))
        self.assertEqual(closed.returncode, 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
