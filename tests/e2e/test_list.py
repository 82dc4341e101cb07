"""The file list as a person meets it: a song given on the command line is selected and plays
with the play button, names sort as the user's language sorts them, and the hourglass shows
while a slow folder is still being read."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import pyatspi
from Xlib import display as xdisplay

from test_play import make_mp3, samples
from varnex_session import Varnex, wait_for, xdotool

HERE = os.path.dirname(os.path.abspath(__file__))


def temporary_folder(test):
    folder = tempfile.mkdtemp(prefix="varnex-e2e-")
    test.addCleanup(shutil.rmtree, folder, ignore_errors=True)
    return folder


def touch(folder, *names):
    for name in names:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"not really music")


def has_locale(name):
    """Whether the C library knows the locale, generating it when this user may."""
    def known():
        listed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower()
        return name.lower().replace("utf-8", "utf8") in listed.split()
    if not known() and os.geteuid() == 0 and shutil.which("localedef"):
        language, charset = name.split(".")
        subprocess.run(["localedef", "-i", language, "-f", charset, name], capture_output=True)
    return known()


class CursorWatch:
    """The cursor the X server shows, as an image, read through the XFIXES extension."""

    def __init__(self):
        self.display = xdisplay.Display()
        self.display.xfixes_query_version()
        self.root = self.display.screen().root

    def image(self):
        cursor = self.display.xfixes_get_cursor_image(self.root)
        return (cursor.width, cursor.height, cursor.xhot, cursor.yhot, tuple(cursor.cursor_image))


class SlowFolder:
    """`source` seen through a FUSE file system whose listing takes `delay` seconds per entry."""

    def __init__(self, test, source, delay):
        if not os.access("/dev/fuse", os.R_OK | os.W_OK):
            test.skipTest("/dev/fuse is missing or not usable here")
        self.mountpoint = temporary_folder(test)
        self.log = os.path.join(temporary_folder(test), "listings.log")
        self.process = subprocess.Popen([sys.executable, os.path.join(HERE, "slowfs.py"), source,
                                         self.mountpoint, self.log, str(delay)],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        test.addCleanup(self.unmount)
        deadline = time.monotonic() + 10
        while not os.path.ismount(self.mountpoint):
            if self.process.poll() is not None or time.monotonic() > deadline:
                reason = self.process.stderr.read().decode(errors="replace") if self.process.poll() \
                    is not None else "timed out"
                test.skipTest("this machine does not let the test mount a FUSE folder: " + reason)
            time.sleep(0.05)

    def listing_ends(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as log:
            return [float(line.split()[1]) for line in log if line.startswith("end ")]

    def unmount(self):
        subprocess.run(["fusermount", "-u", self.mountpoint], capture_output=True)
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class ListTest(unittest.TestCase):
    def test_song_on_the_command_line_is_selected_and_plays(self):
        folder = temporary_folder(self)
        album = os.path.join(folder, "album")
        os.mkdir(album)
        make_mp3(os.path.join(album, "song.mp3"), 3)
        touch(album, "another.mp3", "zz.mp3", "cover.jpg")
        wav = os.path.join(folder, "captured.wav")
        sink = ("audioconvert ! audio/x-raw,format=S16LE,rate=44100,channels=1 ! wavenc ! "
                f"filesink sync=true location={wav}")
        with Varnex(os.path.join(album, "song.mp3"),
                    env={"VARNEX_AUDIO_SINK": sink}) as program:
            program.wait_for_list(["another.mp3", "song.mp3", "zz.mp3"], "the song's folder")
            self.assertTrue(program.list_item("song.mp3").getState().contains(
                pyatspi.STATE_SELECTED))
            # The play button, by its place in the window's design.
            x, y, _, _ = program.client_geometry()
            xdotool("mousemove", "--sync", str(x + 131), str(y + 251))
            xdotool("click", "1")
            wait_for(lambda: os.path.exists(wav) and len(samples(wav)) > 44100,
                     "a second of the song")
            program.click(program.button("Quit"))
            self.assertEqual(program.wait_until_closed(), 0)

    def test_names_sort_as_the_users_language_sorts_them(self):
        for locale in ("fr_FR.UTF-8", "en_US.UTF-8"):
            with self.subTest(locale):
                if not has_locale(locale):
                    self.skipTest(f"the locale {locale} is not installed and cannot be made here")
                folder = temporary_folder(self)
                touch(folder, "Zoo.mp3", "Été.mp3", "eau.mp3", "Fa.mp3", "éa.mp3")
                with Varnex(folder, env={"LC_ALL": locale, "LANG": locale}) as program:
                    program.wait_for_list(["éa.mp3", "eau.mp3", "Été.mp3", "Fa.mp3", "Zoo.mp3"],
                                          "the names in the order of " + locale)

    def test_hourglass_shows_while_a_slow_folder_is_read(self):
        source = temporary_folder(self)
        # Long names, so that a read from the folder brings a few of them at a time.
        padding = "-" * 190
        touch(source, *[f"tune {n:03} {padding}.iad" for n in range(150)])
        touch(source, *[f"song {n:03} {padding}.mp3" for n in range(300)])
        slow = SlowFolder(self, source, 0.003)
        cursor = CursorWatch()
        with Varnex(slow.mountpoint) as program:
            wait_for(lambda: program.find("list").childCount == 300, "the songs", timeout=60)
            iad = program.find("radio button", "iad ")
            box = iad.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            xdotool("mousemove", "--sync", str(box.x + box.width // 2),
                    str(box.y + box.height // 2))
            time.sleep(0.3)
            idle = cursor.image()
            reads = len(slow.listing_ends())
            xdotool("click", "1")  # the other extension: the folder is read again
            seen = []
            deadline = time.monotonic() + 30
            while time.monotonic() < deadline:
                seen.append((time.monotonic(), cursor.image() != idle))
                if len(slow.listing_ends()) > reads and time.monotonic() > slow.listing_ends()[-1] + 1:
                    break
                time.sleep(0.01)
            read_end = slow.listing_ends()[reads]
            busy = [t for t, is_busy in seen if is_busy]
            self.assertTrue(busy, "the hourglass never showed")
            # 150 names at 3 ms each come before the songs: the hourglass comes with the 101st,
            # long before the last of the 450 entries, and stays until the list is filled.
            self.assertLess(busy[0], read_end - 0.3, "the hourglass came only after the read")
            self.assertTrue(all(is_busy for t, is_busy in seen if busy[0] <= t <= read_end),
                            "the hourglass went away during the read")
            self.assertFalse(seen[-1][1], "the cursor did not come back")
            wait_for(lambda: program.find("list").childCount == 150, "the tunes")


if __name__ == "__main__":
    unittest.main(verbosity=2)
