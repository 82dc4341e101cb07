"""Legible in every colour scheme and at every scale, measured on the real window's pixels: the
design's colours exactly on the default light scheme; on qt6ct's dark "darker" scheme, texts at
4.5:1 and pictures at 3:1 against what is behind them; the about text whole in its box at scales
1, 1.25, 1.5 and 2."""

import collections
import os
import re
import subprocess
import tempfile
import time
import unittest

import pyatspi

from varnex_session import Varnex, wait_for

DARKER = "/usr/share/qt6ct/colors/darker.conf"


def luminance(colour):
    def linear(channel):
        c = channel / 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in colour)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    darker, lighter = sorted((luminance(a), luminance(b)))
    return (lighter + 0.05) / (darker + 0.05)


def pixels(box):
    """The colours of the screen's pixels in box (x, y, width, height)."""
    x, y, width, height = box
    text = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                           "-depth", "8", "txt:-"], check=True, capture_output=True, text=True).stdout
    return [tuple(int(v) for v in re.search(r"\((\d+),(\d+),(\d+)", line).groups())
            for line in text.splitlines()[1:]]


def ink_and_ground(box):
    """What is drawn in box and what it is drawn on: the commonest colour of the box's rim is the
    ground, and the commonest colour inside that stands out from it, which the strokes' insides
    have while their edges blend, the ink."""
    width, height = box[2], box[3]
    colours = pixels(box)
    rim = [c for i, c in enumerate(colours)
           if i < width or i >= width * (height - 1) or i % width in (0, width - 1)]
    ground = collections.Counter(rim).most_common(1)[0][0]
    inside = collections.Counter(c for c in colours if contrast(c, ground) > 1.05)
    return inside.most_common(1)[0][0], ground


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


class LooksTest(unittest.TestCase):
    def start(self, env=None, scheme=None):
        """The program, with the colour scheme given through qt6ct, or the default one."""
        config = tempfile.mkdtemp(prefix="varnex-e2e-config-")
        if scheme:
            os.makedirs(os.path.join(config, "qt6ct"))
            with open(os.path.join(config, "qt6ct", "qt6ct.conf"), "w") as f:
                f.write(f"[Appearance]\ncolor_scheme_path={scheme}\ncustom_palette=true\n")
            env = dict(env or {}, QT_QPA_PLATFORMTHEME="qt6ct")
        return Varnex(tempfile.mkdtemp(prefix="varnex-e2e-"), config_home=config, env=env)

    def glyphs(self, program):
        """Ink and ground of the play, stop and help glyphs."""
        about = extents(program.button("About..."))
        boxes = {name: extents(program.button(name)) for name in ("Play", "Stop")}
        boxes["Help"] = (about[0] + 3, about[1] + 3, 20, about[3] - 6)  # left of "About..."
        return {name: ink_and_ground(box) for name, box in boxes.items()}

    def texts(self, program):
        """Ink and ground of the links and the title, on the about panel."""
        program.press("Return")  # the focus starts on "About..."
        wait_for(lambda: program.client_geometry()[2:] == (305, 443), "the about panel")
        measured = {name: ink_and_ground(extents(program.find(role, name))) for role, name in (
            ("link", "Homepage of Tomvik"), ("link", "e-mail of Tomvik"),
            ("label", "Varnex version 1.1en "))}
        program.press("Tab")  # from the text to the first link, framed now
        link = program.find("link", "Homepage of Tomvik")
        wait_for(lambda: link.getState().contains(pyatspi.STATE_FOCUSED), "the link's focus")
        time.sleep(0.2)  # and its frame painted
        x, y, width, height = extents(link)
        measured["focused link"] = ink_and_ground((x + 1, y + 1, width - 2, height - 2))
        return measured

    def test_dark_scheme_keeps_every_text_and_glyph_legible(self):
        with self.start(scheme=DARKER) as program:
            play = extents(program.button("Play"))
            wait_for(lambda: luminance(ink_and_ground(play)[1]) < 0.1, "the dark scheme")
            for kind, measured, wanted in (("glyph", self.glyphs(program), 3.0),
                                           ("text", self.texts(program), 4.5)):
                for name, (ink, ground) in measured.items():
                    ratio = contrast(ink, ground)
                    print(f"darker: {name}: {ink} on {ground}: {ratio:.2f}:1")
                    self.assertGreaterEqual(ratio, wanted, f"{kind} {name}: {ink} on {ground}")

    def test_default_scheme_keeps_the_designs_colours(self):
        navy, blue, maroon = (0, 0, 128), (0, 0, 255), (128, 0, 0)
        with self.start() as program:
            program.window()
            measured = self.glyphs(program)
            measured.update(self.texts(program))
            for name, (ink, ground) in measured.items():
                print(f"default: {name}: {ink} on {ground}: {contrast(ink, ground):.2f}:1")
            self.assertEqual({name: ink for name, (ink, _) in measured.items()}, {
                "Play": navy, "Stop": navy, "Help": navy, "Homepage of Tomvik": blue,
                "e-mail of Tomvik": blue, "focused link": blue, "Varnex version 1.1en ": maroon})

    def test_about_text_is_whole_in_its_box_at_every_scale(self):
        for scale in (1, 1.25, 1.5, 2):
            with self.subTest(scale=scale), self.start({"QT_SCALE_FACTOR": str(scale)}) as program:
                program.window()
                program.press("Return")
                x, y, width, height = program.client_geometry()
                wait_for(lambda: abs(program.client_geometry()[2] - 305 * scale) <= 1, "the panel")
                # The text's box where the design puts it, in the screen's pixels.
                box = tuple(round(v * scale) for v in (13, 56, 289, 193))
                box = (x + box[0], y + box[1], box[2], box[3])
                wait_for(lambda: len(text_rows(box)) > 10, "the about text")
                rows = text_rows(box)
                # The lines' pitch is the least step between the tops of the rows of text.
                tops = [r for r in rows if r - 1 not in rows]
                pitch = min(b - a for a, b in zip(tops, tops[1:]))
                room = box[3] - 1 - rows[-1]
                print(f"scale {scale}: {len(tops)} lines every {pitch} px, {room} px left below")
                # A line hidden below the box would begin less than a pitch under the last one.
                self.assertGreaterEqual(room, pitch, "the about text does not fit its box")


def text_rows(box):
    """The rows of box, counted from its top, that hold some of the text."""
    x, y, width, height = box
    colours = pixels(box)
    ground = collections.Counter(colours).most_common(1)[0][0]
    return sorted({i // width for i, colour in enumerate(colours) if contrast(colour, ground) > 1.5})


if __name__ == "__main__":
    unittest.main(verbosity=2)
