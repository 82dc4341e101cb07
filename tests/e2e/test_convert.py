"""Enter, or a click on the convert button, renames the folder on disk and flips the choice."""

import os
import tempfile
import unittest

import pyatspi

from varnex_session import Varnex, wait_for


class ConvertTest(unittest.TestCase):
    def test_enter_then_click_converts_there_and_back(self):
        folder = tempfile.mkdtemp(prefix="varnex-e2e-")
        for name in ["a.mp3", "B.MP3", "notes.txt", "c.iad"]:
            with open(os.path.join(folder, name), "w") as f:
                f.write(name)
        on_disk = lambda: sorted(os.listdir(folder))

        with Varnex(folder) as program:
            program.wait_for_list(["a.mp3", "B.MP3"], "the mp3 files")
            files = program.find("list")
            program.click(files)  # the list takes the focus
            wait_for(lambda: files.getState().contains(pyatspi.STATE_FOCUSED), "the list focused")
            program.press("Return")
            wait_for(lambda: on_disk() == ["B.iad", "a.iad", "c.iad", "notes.txt"],
                     "the folder renamed on disk")
            self.assertTrue(program.button("iad => mp3"))
            program.wait_for_list(["a.iad", "B.iad", "c.iad"], "the renamed files")
            with open(os.path.join(folder, "B.iad")) as f:
                self.assertEqual(f.read(), "B.MP3")

            program.click(program.button("iad => mp3"))
            wait_for(lambda: on_disk() == ["B.mp3", "a.mp3", "c.mp3", "notes.txt"],
                     "the folder renamed back")
            self.assertTrue(program.button("mp3 => iad"))
            program.wait_for_list(["a.mp3", "B.mp3", "c.mp3"], "the mp3 files again")


if __name__ == "__main__":
    unittest.main(verbosity=2)
