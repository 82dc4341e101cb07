"""About... brings the panel over the window; Escape gives the window its size back. The panel's
links look as they should on the real window and show no hints."""

import re
import subprocess
import tempfile
import time
import unittest

from varnex_session import Varnex, wait_for, xdotool


def text_blue(box):
    """The blue of the text drawn in box (x, y, width, height) on a grey background, for a text
    colour without red and green: black 0, navy 128, blue 255. Worked out from the pixel the text
    covers most, as edges blend the text into the background."""
    x, y, width, height = box
    text = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                           "-depth", "8", "txt:-"], check=True, capture_output=True, text=True).stdout
    pixels = [tuple(int(v) for v in re.search(r"\((\d+),(\d+),(\d+)", line).groups())
              for line in text.splitlines()[1:]]
    background = pixels[0]  # the label's corner holds no text
    red, _, blue = min(pixels, key=lambda p: p[0] + p[1])
    cover = 1 - red / background[0]
    if cover < 0.5:
        return None  # no text there
    return round((blue - background[2] * (1 - cover)) / cover)


def shown_windows(program):
    """The program's windows on the screen, tooltips included."""
    try:
        return xdotool("search", "--onlyvisible", "--pid", str(program.process.pid))
    except subprocess.CalledProcessError:
        return []


class AboutTest(unittest.TestCase):
    def test_about_and_escape(self):
        with Varnex(tempfile.mkdtemp(prefix="varnex-e2e-")) as program:
            self.assertEqual(program.client_geometry()[2:], (472, 352))
            program.click(program.button("About..."))
            wait_for(lambda: program.client_geometry()[2:] == (305, 443), "the panel's size")
            close = program.button("Close")
            self.assertTrue(close.queryComponent().getExtents(0).width > 0)
            program.press("Escape")
            wait_for(lambda: program.client_geometry()[2:] == (472, 352), "the size from before")

    def test_links_are_blue_then_navy_and_show_no_hint(self):
        with Varnex(tempfile.mkdtemp(prefix="varnex-e2e-")) as program:
            left, top, _, _ = program.client_geometry()
            # Hints do show on the window's own controls, so a hint would be seen if it came.
            xdotool("windowfocus", "--sync", program.window())  # hints show in the active window
            windows = len(shown_windows(program))
            quit_box = program.button("Quit").queryComponent().getExtents(0)
            xdotool("mousemove", "--sync", str(quit_box.x + 5), str(quit_box.y + 5))
            wait_for(lambda: len(shown_windows(program)) > windows, "the Quit button's hint")
            xdotool("mousemove", "--sync", str(left + 400), str(top + 20))

            program.click(program.button("About..."))
            wait_for(lambda: program.client_geometry()[2:] == (305, 443), "the panel's size")
            xdotool("mousemove", "--sync", str(left + 250), str(top + 150))  # off the links
            windows = len(wait_for(lambda: shown_windows(program), "the window"))
            for name in ("Homepage of Tomvik", "e-mail of Tomvik"):
                with self.subTest(name):
                    extents = program.find("link", name).queryComponent().getExtents(0)
                    box = (extents.x, extents.y, extents.width, extents.height)
                    wait_for(lambda: text_blue(box) == 255, f"{name} in blue")
                    xdotool("mousemove", "--sync", str(box[0] + 20), str(box[1] + 6))
                    time.sleep(1.5)  # longer than the toolkit waits before it shows a hint
                    self.assertEqual(len(shown_windows(program)), windows, "a hint showed")
                    self.assertEqual(text_blue(box), 255)
                    xdotool("mousemove", "--sync", str(left + 250), str(top + 150))
                    wait_for(lambda: abs(text_blue(box) - 128) <= 8, f"{name} in navy")

if __name__ == "__main__":
    unittest.main(verbosity=2)
