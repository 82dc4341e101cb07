"""Ctrl+Z after a conversion gives back every name byte for byte, with the choice it had."""

import hashlib
import os
import shutil
import tempfile
import unittest

import pyatspi

from varnex_session import Varnex, wait_for

ODD = b"odd\n\xff name.mp3"  # a newline and a byte that is not UTF-8


def snapshot(folder):
    """Every name under the folder, as bytes, with a hash of each file's content."""
    found = {}
    for root, dirs, files in os.walk(os.fsencode(folder)):
        for name in dirs:
            found[os.path.relpath(os.path.join(root, name), os.fsencode(folder))] = "<dir>"
        for name in files:
            with open(os.path.join(root, name), "rb") as f:
                found[os.path.relpath(os.path.join(root, name), os.fsencode(folder))] = \
                    hashlib.sha256(f.read()).hexdigest()
    return found


class UndoTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="varnex-e2e-")
        self.addCleanup(shutil.rmtree, self.folder)
        for name in [b"Song.MP3", b"a.mp3", b".h.mp3", ODD, b"b.iad", b"c.mp3", b"c.iad"]:
            with open(os.path.join(os.fsencode(self.folder), name), "wb") as f:
                f.write(b"content of " + name)
        os.mkdir(os.path.join(self.folder, "d.mp3"))
        with open(os.path.join(self.folder, "d.mp3", "inside.mp3"), "wb") as f:
            f.write(b"inside")
        self.start = snapshot(self.folder)

    def names(self):
        return sorted(os.listdir(os.fsencode(self.folder)))

    def test_enter_then_ctrl_z_restores_exactly(self):
        with Varnex(self.folder) as program:
            wait_for(lambda: "Song.MP3" in program.list_items(), "the mp3 files")
            program.click(program.find("list"))  # Enter in the list reaches the convert button
            program.press("Return")
            wait_for(lambda: b"Song.iad" in self.names(), "the folder converted")
            self.assertIn(b"d.iad", self.names())
            self.assertIn(b".h.iad", self.names())
            self.assertIn(b"c.mp3", self.names())  # c.iad was there, so c.mp3 kept its name
            self.assertTrue(program.button("iad => mp3"))

            program.press("ctrl+z")
            wait_for(lambda: snapshot(self.folder) == self.start, "every name back as it was")
            self.assertTrue(program.button("mp3 => iad"))
            # Names in the user's collation, then the one that is not UTF-8.
            program.wait_for_list(["a.mp3", "c.mp3", "Song.MP3", "odd\n\ufffd name.mp3"],
                                  "the list showing the mp3 files again")
            choice = program.find("radio button", "mp3 ")
            self.assertTrue(choice.getState().contains(pyatspi.STATE_CHECKED))

    def test_round_trip_then_two_undos_give_the_start(self):
        with Varnex(self.folder) as program:
            wait_for(lambda: "Song.MP3" in program.list_items(), "the mp3 files")
            program.click(program.find("list"))
            program.press("Return")
            wait_for(lambda: b"Song.iad" in self.names(), "the folder converted")
            program.click(program.button("iad => mp3"))
            wait_for(lambda: b"b.mp3" in self.names(), "the folder converted back")
            self.assertIn(b"Song.mp3", self.names())  # converting back is not the way back

            program.press("ctrl+z")
            wait_for(lambda: b"b.iad" in self.names() and b"Song.iad" in self.names(),
                     "the second conversion undone")
            self.assertTrue(program.button("iad => mp3"))
            program.press("ctrl+z")
            wait_for(lambda: snapshot(self.folder) == self.start, "the start, exactly")
            self.assertTrue(program.button("mp3 => iad"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
