"""Alt+Down in the folder field opens the folder dialog; a folder typed and confirmed is listed."""

import os
import tempfile
import unittest

from varnex_session import Varnex, wait_for, xdotool

DIALOG_TEXT = "Select a directory with songs to convert"


class BrowseTest(unittest.TestCase):
    def test_alt_down_picks_a_folder(self):
        start = tempfile.mkdtemp(prefix="varnex-e2e-")
        chosen = tempfile.mkdtemp(prefix="varnex-e2e-")
        for name in ["one.mp3", "two.mp3"]:
            open(os.path.join(chosen, name), "w").close()

        with Varnex(start) as program:
            program.click(program.find("text"))
            program.press("alt+Down")
            dialog = program.window(DIALOG_TEXT)
            ok = program.button("OK")
            self.assertTrue(ok.getState().contains(pyatspi_state("enabled")))

            xdotool("type", "--delay", "20", os.path.join(start, "missing"))
            wait_for(lambda: not ok.getState().contains(pyatspi_state("enabled")),
                     "OK disabled for a folder that does not exist")
            program.press("ctrl+a", window=dialog)
            xdotool("type", "--delay", "20", chosen)
            wait_for(lambda: ok.getState().contains(pyatspi_state("enabled")), "OK enabled again")
            program.press("Return", window=dialog)

            program.wait_for_list(["one.mp3", "two.mp3"], "the chosen folder listed")
            self.assertEqual(program.folder_text(), chosen)
            self.assertEqual(program.visible_windows(DIALOG_TEXT), [])


def pyatspi_state(name):
    import pyatspi
    return {"enabled": pyatspi.STATE_ENABLED}[name]


if __name__ == "__main__":
    unittest.main(verbosity=2)
