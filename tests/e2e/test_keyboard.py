"""Everything from the keyboard, and no key reaches what cannot be seen: Enter at start opens the
about panel instead of renaming the folder; over the panel, Tab and Space stay inside it; its links
open with Enter or Space; Tab into the choice lands on the checked entry; the slider's keys move
the volume by whole decibels."""

import os
import stat
import tempfile
import time
import unittest

import pyatspi

from varnex_session import Varnex, descendants, wait_for


def make_folder(*names):
    folder = tempfile.mkdtemp(prefix="varnex-e2e-")
    for name in names:
        open(os.path.join(folder, name), "w").close()
    return folder


def recording_opener():
    """A folder with an xdg-open that writes each link it is given to a file, one a line."""
    bin_dir = tempfile.mkdtemp(prefix="varnex-e2e-bin-")
    opened = os.path.join(bin_dir, "opened")
    script = os.path.join(bin_dir, "xdg-open")
    with open(script, "w") as f:
        f.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{opened}"\n')
    os.chmod(script, stat.S_IRWXU)
    return bin_dir, opened


def read_lines(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return f.read().splitlines()


class KeyboardTest(unittest.TestCase):
    def focused(self, program):
        for node in descendants(program.application()):
            if node.getState().contains(pyatspi.STATE_FOCUSED):
                return node
        return None

    def wait_focus(self, program, role, name):
        return wait_for(lambda: (lambda n: n is not None and (n.getRoleName(), n.name) == (role, name))(
            self.focused(program)), f"the focus on the {role} {name!r}")

    def test_enter_at_start_opens_the_panel_whose_keys_stay_inside_it(self):
        folder = make_folder("a.mp3", "b.mp3")
        on_disk = lambda: sorted(os.listdir(folder))
        bin_dir, opened = recording_opener()
        env = {"PATH": bin_dir + os.pathsep + os.environ["PATH"]}
        with Varnex(folder, env=env) as program:
            program.wait_for_list(["a.mp3", "b.mp3"], "the files")
            program.press("Return")
            wait_for(lambda: program.client_geometry()[2:] == (305, 443), "the about panel")
            self.wait_focus(program, "text", "About Varnex")
            self.assertEqual(on_disk(), ["a.mp3", "b.mp3"])

            # Round the panel twice each way; Space on each stop but Close, Enter on the links.
            cycle = [("link", "Homepage of Tomvik"), ("link", "e-mail of Tomvik"),
                     ("push button", "Close"), ("text", "About Varnex")]
            for key, stops in (("Tab", cycle), ("shift+Tab", cycle[-2::-1] + cycle[-1:])):
                for role, name in stops * 2:
                    program.press(key)
                    self.wait_focus(program, role, name)
                    if role != "push button":
                        program.press("space")
                    if role == "link":
                        program.press("Return")
            time.sleep(0.5)  # time for a covered control to act, had a key reached one
            self.assertEqual(on_disk(), ["a.mp3", "b.mp3"])
            self.assertIsNone(program.process.poll())
            self.assertEqual(program.client_geometry()[2:], (305, 443))
            wait_for(lambda: len(read_lines(opened)) == 16, "each link opened by Space and Enter")
            self.assertEqual(set(read_lines(opened)), {
                "https://example.org/tomvik/",
                "mailto:tomvik@example.org?Subject=About Varnex version 1.1en "})

            program.press("Escape")
            wait_for(lambda: program.client_geometry()[2:] == (472, 352), "the size from before")
            self.wait_focus(program, "push button", "About...")
            program.press("Tab")  # the panel hidden again: past it, to Quit
            self.wait_focus(program, "push button", "Quit")

    def test_only_a_plain_enter_converts_and_tab_lands_on_the_checked_entry(self):
        folder = make_folder("a.mp3")
        on_disk = lambda: sorted(os.listdir(folder))
        with Varnex(folder) as program:
            files = program.find("list")
            program.click(program.list_item("a.mp3"))
            wait_for(lambda: files.getState().contains(pyatspi.STATE_FOCUSED), "the list focused")
            for key in ("ctrl+Return", "shift+Return", "alt+Return", "ctrl+KP_Enter"):
                program.press(key)
            time.sleep(0.5)
            self.assertEqual(on_disk(), ["a.mp3"])
            program.press("KP_Enter")
            wait_for(lambda: on_disk() == ["a.iad"], "the folder converted")
            wait_for(lambda: program.find("radio button", "iad ").getState().contains(
                pyatspi.STATE_CHECKED), "the choice flipped")

            # From the slider back into the choice, and from the field forward: the checked one.
            program.click(program.find("slider"))
            program.press("shift+Tab")
            self.wait_focus(program, "radio button", "iad ")
            program.press("shift+Tab")
            self.wait_focus(program, "text", "Folder")
            program.press("Tab")
            self.wait_focus(program, "radio button", "iad ")
            program.press("Up")  # the arrow keys move the choice
            program.wait_for_list([], "the mp3 files, none left")
            self.wait_focus(program, "radio button", "mp3 ")

    def test_slider_keys_move_whole_decibels_and_read_as_a_volume(self):
        with Varnex(make_folder()) as program:
            slider = program.find("slider", "Volume")
            volume = lambda: slider.queryValue().currentValue
            self.assertEqual((volume(), slider.queryValue().minimumValue,
                              slider.queryValue().maximumValue), (0, -100, 0))
            program.click(program.find("radio button", "mp3 "))  # a click on the slider moves it
            program.press("Tab")
            self.wait_focus(program, "slider", "Volume")
            for key, expected in (("Left", -1), ("Left", -2), ("Next", -12), ("Right", -11),
                                  ("Prior", -1), ("Home", -100), ("End", 0)):
                program.press(key)
                wait_for(lambda: volume() == expected, f"{expected} dB after {key}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
