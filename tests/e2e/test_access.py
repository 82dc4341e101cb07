"""A screen reader can tell every control: walked through the accessibility tree as one reads it,
every control on show has a name, and what cannot be seen is not reported as showing."""

import os
import tempfile
import unittest

import pyatspi

from test_keyboard import read_lines, recording_opener
from varnex_session import Varnex, wait_for

# The roles of what a person acts on or reads; fillers and other layout boxes need no name.
CONTROLS = {"push button", "toggle button", "radio button", "check box", "text", "list",
            "list item", "slider", "scroll bar", "link", "label", "image", "panel", "frame",
            "combo box", "spin button", "table", "table cell"}


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def walk(node, path=""):
    """Every node under node that is showing, with where it is in the tree."""
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None and showing(child):
            where = f"{path}/{child.getRoleName()} {child.name!r}"
            yield child, where
            yield from walk(child, where)


def actions(node):
    action = node.queryAction()
    return {action.getName(i).lower(): action.getKeyBinding(i) for i in range(action.nActions)}


class AccessTest(unittest.TestCase):
    def assert_every_control_named(self, program):
        shown = list(walk(program.application()))
        unnamed = [where for node, where in shown
                   if node.getRoleName() in CONTROLS and not node.name.strip()]
        self.assertEqual(unnamed, [])
        return {(node.getRoleName(), node.name): node for node, _ in shown}

    def test_every_control_has_a_name_and_the_hidden_panel_is_not_shown(self):
        folder = tempfile.mkdtemp(prefix="varnex-e2e-")
        open(os.path.join(folder, "song.mp3"), "w").close()
        bin_dir, opened = recording_opener()
        with Varnex(folder, env={"PATH": bin_dir + os.pathsep + os.environ["PATH"]}) as program:
            program.wait_for_list(["song.mp3"], "the file")
            window = self.assert_every_control_named(program)
            for control in [("text", "Folder"), ("push button", "Choose a folder"),
                            ("list", "Files"), ("push button", "Play"), ("push button", "Stop"),
                            ("slider", "Volume"), ("panel", "Extension"),
                            ("radio button", "mp3 "), ("push button", "mp3 => iad")]:
                self.assertIn(control, window)
            self.assertFalse(any(role == "link" or name == "About Varnex"
                                 for role, name in window), "the panel out of view is reported")
            # The hints are the descriptions; the browse button tells its key.
            self.assertEqual(window[("push button", "Play")].description,
                             "Play the selected file (if any)")
            self.assertIn("Alt+Down", window[("text", "Folder")].description)
            self.assertEqual(actions(window[("push button", "Choose a folder")]),
                             {"press": "Alt+Down"})
            self.assertEqual(window[("slider", "Volume")].queryValue().currentValue, 0)

            program.click(program.button("About..."))
            wait_for(lambda: program.client_geometry()[2:] == (305, 443), "the about panel")
            panel = self.assert_every_control_named(program)
            for control in [("frame", "About Varnex"), ("label", "Varnex version 1.1en "),
                            ("image", "A moon rising over waves of sound"),
                            ("image", "Varnex's icon, a note"), ("text", "About Varnex"),
                            ("push button", "Close")]:
                self.assertIn(control, panel)
            self.assertNotIn(("push button", "mp3 => iad"), panel, "a covered control is reported")
            links = {name: node for (role, name), node in panel.items() if role == "link"}
            self.assertEqual(sorted(links), ["Homepage of Tomvik", "e-mail of Tomvik"])
            homepage = links["Homepage of Tomvik"]
            self.assertIn("press", actions(homepage))
            action = homepage.queryAction()
            action.doAction([action.getName(i).lower() for i in range(action.nActions)].index("press"))
            wait_for(lambda: read_lines(opened) == ["https://example.org/tomvik/"], "the link opened")

            program.click(program.button("Close"))
            wait_for(lambda: program.client_geometry()[2:] == (472, 352), "the size from before")
            again = self.assert_every_control_named(program)
            self.assertNotIn(("frame", "About Varnex"), again, "the closed panel is reported")
            self.assertIn(("push button", "mp3 => iad"), again)


if __name__ == "__main__":
    unittest.main(verbosity=2)
