"""The program on a Wayland session, natively (weston, headless): it starts, lists, converts, shows
the about panel and closes as it does on X11; the folder is stored, and the stored position stays
exactly as it was, since Wayland never tells a window where it is."""

import os
import shutil
import signal
import subprocess
import tempfile
import unittest

from varnex_session import Varnex, start_weston, wait_for

KEY = b"[HKEY_CURRENT_USER\\Software\\Varnex]\r\n"
POSITION = b'"Top"=dword:00000064\r\n"Left"=dword:000000c8\r\n'


def press(node):
    """A button's action, as a screen reader presses it (there is no pointer on the headless
    compositor). A press that closes the program may end before its answer comes back."""
    try:
        node.queryAction().doAction(0)
    except Exception:  # the program ended before it answered
        pass


def size(program):
    extents = program.application().getChildAtIndex(0).queryComponent().getExtents(0)
    return extents.width, extents.height


@unittest.skipUnless(shutil.which("weston"), "weston is not installed (./test installs it)")
class WaylandTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.socket = start_weston()

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="varnex-e2e-")
        self.addCleanup(shutil.rmtree, self.scratch, ignore_errors=True)
        self.folder = os.path.join(self.scratch, "music")
        os.mkdir(self.folder)
        for name in ["a.mp3", "B.MP3", "c.iad"]:
            open(os.path.join(self.folder, name), "w").close()
        self.config = os.path.join(self.scratch, "config")
        os.makedirs(os.path.join(self.config, "Varnex"))
        self.settings = os.path.join(self.config, "Varnex", "registry.reg")

    def store(self, text):
        with open(self.settings, "wb") as f:
            f.write(b"REGEDIT4\r\n\r\n" + KEY + text)

    def stored(self):
        with open(self.settings, "rb") as f:
            return f.read()

    def screenshot(self, name):
        """For a person to look at: what the compositor shows."""
        if os.environ.get("VARNEX_SCREENSHOT_DIR"):
            shots = tempfile.mkdtemp(dir=self.scratch)
            subprocess.run(["weston-screenshooter"], cwd=shots, check=True,
                           env=dict(os.environ, WAYLAND_DISPLAY=self.socket))
            shutil.move(os.path.join(shots, os.listdir(shots)[0]),
                        os.path.join(os.environ["VARNEX_SCREENSHOT_DIR"], name))

    def test_list_convert_about_and_quit_keep_the_position(self):
        self.store(b'"Dossier"="/elsewhere"\r\n' + POSITION)
        on_disk = lambda: sorted(os.listdir(self.folder))
        with Varnex(self.folder, config_home=self.config, wayland=self.socket) as program:
            program.wait_for_list(["a.mp3", "B.MP3"], "the mp3 files")
            self.assertEqual(size(program), (472, 352))
            press(program.button("mp3 => iad"))
            wait_for(lambda: on_disk() == ["B.iad", "a.iad", "c.iad"], "the folder renamed on disk")
            program.wait_for_list(["a.iad", "B.iad", "c.iad"], "the renamed files")
            self.screenshot("wayland-window.png")
            press(program.button("About..."))
            wait_for(lambda: size(program) == (305, 443), "the about panel's size")
            self.screenshot("wayland-about.png")
            press(program.button("Close"))
            wait_for(lambda: size(program) == (472, 352), "the window's own size again")
            press(program.button("Quit"))
            self.assertEqual(program.wait_until_closed(), 0)
        text = self.stored()
        self.assertIn(b'"Dossier"="' + self.folder.encode() + b'"', text)
        self.assertIn(POSITION, text)

    def test_sigterm_stores_the_folder_and_no_position(self):
        self.store(b"")
        with Varnex(self.folder, config_home=self.config, wayland=self.socket) as program:
            program.wait_for_list(["a.mp3", "B.MP3"], "the mp3 files")
            program.process.send_signal(signal.SIGTERM)
            self.assertEqual(program.wait_until_closed(), 0)
        text = self.stored()
        self.assertIn(b'"Dossier"="' + self.folder.encode() + b'"', text)
        self.assertNotIn(b'"Top"', text)
        self.assertNotIn(b'"Left"', text)


if __name__ == "__main__":
    unittest.main(verbosity=2)
