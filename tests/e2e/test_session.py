"""What the desktop sees of the program, and how a session's start and end treat it."""

import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import unittest
import zlib

from varnex_session import TITLE, Varnex, wait_for

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data")


def read_png(path):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGBA PNG without interlacing."""
    with open(path, "rb") as f:
        data = f.read()
    pos, chunks = 8, {}
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunks.setdefault(kind, []).append(data[pos + 8:pos + 8 + length])
        pos += 12 + length
    width, height, depth, colour = struct.unpack(">IIBB", chunks[b"IHDR"][0][:10])
    assert (depth, colour) == (8, 6), path
    raw = zlib.decompress(b"".join(chunks[b"IDAT"]))
    stride, rows, previous = width * 4, [], bytes(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = previous[i]
            c = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        previous = bytes(line)
    return width, height, rows


def window_icons(window):
    """{size: rows of (r, g, b, a)} from the window's _NET_WM_ICON."""
    out = subprocess.run(["xprop", "-len", "10000000", "-id", window, "-notype", "32c", "_NET_WM_ICON"], check=True,
                         capture_output=True, text=True).stdout
    numbers = [int(n) & 0xFFFFFFFF for n in re.findall(r"\d+", out.split("=", 1)[1])]
    icons, pos = {}, 0
    while pos + 2 <= len(numbers):
        width, height = numbers[pos], numbers[pos + 1]
        pixels = numbers[pos + 2:pos + 2 + width * height]
        icons[(width, height)] = [[((p >> 16) & 255, (p >> 8) & 255, p & 255, p >> 24)
                                   for p in pixels[y * width:(y + 1) * width]] for y in range(height)]
        pos += 2 + width * height
    return icons


def differing_pixels(shown, drawn):
    """How many pixels differ by more than the rounding of weighting colours by their opacity."""
    if shown is None or len(shown) != len(drawn):
        return float("inf")
    weighted = lambda p: [c * p[3] // 255 for c in p[:3]] + [p[3]]
    return sum(1 for row_a, row_b in zip(shown, drawn) for a, b in zip(row_a, row_b)
               if any(abs(x - y) > 1 for x, y in zip(weighted(a), weighted(b))))


def desktop_entry():
    with open(os.path.join(DATA, "org.example.Varnex.desktop")) as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)


class SessionTest(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="varnex-e2e-")
        self.addCleanup(shutil.rmtree, self.scratch, ignore_errors=True)

    def folder(self, name, *files):
        path = os.path.join(self.scratch, name)
        os.makedirs(path)
        for file in files:
            open(os.path.join(path, file), "w").close()
        return path

    def start_in_removed_directory(self, *args, home=None, config=None):
        gone = tempfile.mkdtemp(dir=self.scratch)
        env = {"HOME": home} if home else {}
        # The shell enters the folder, removes it, and becomes the program: a terminal left in a
        # folder that someone deleted.
        return Varnex("-c", 'cd "$1" && rmdir "$1" && shift && exec "$@"', "sh", gone,
                      os.environ["VARNEX_BINARY"], *args, env=env, config_home=config,
                      binary="/bin/sh")

    def test_start_in_a_removed_directory(self):
        given = self.folder("given", "given.mp3")
        home = self.folder("home", "at home.mp3")
        stored = self.folder("stored", "stored.mp3")
        settings = 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Varnex]\n"Dossier"="%s"\n' % stored

        for n, (args, store, listed) in enumerate([((given,), False, ["given.mp3"]),
                                                  ((), True, ["stored.mp3"]),
                                                  ((), False, ["at home.mp3"])]):
            with self.subTest(args=args, stored=store):
                config = os.path.join(self.scratch, f"config{n}")
                os.makedirs(os.path.join(config, "Varnex"))
                if store:
                    with open(os.path.join(config, "Varnex", "registry.reg"), "w") as f:
                        f.write(settings)
                with self.start_in_removed_directory(*args, home=home, config=config) as program:
                    program.window()
                    program.wait_for_list(listed, f"{listed} listed")
                    self.assertEqual(program.visible_windows("varnex"), [])  # no error report
                    self.assertIsNone(program.process.poll())
                    program.click(program.button("Quit"))
                    self.assertEqual(program.wait_until_closed(), 0)

    def test_sigterm_stores_the_folder_and_position(self):
        folder = self.folder("music", "kept.mp3")
        config = os.path.join(self.scratch, "config")
        with Varnex(folder, config_home=config) as program:
            window = program.window()
            program.wait_for_list(["kept.mp3"], "the folder listed")
            subprocess.run(["xdotool", "windowmove", "--sync", window, "310", "210"], check=True)
            wait_for(lambda: program.client_geometry()[:2] == (310, 210), "the window moved")
            program.process.send_signal(signal.SIGTERM)
            self.assertEqual(program.wait_until_closed(), 0)
        with open(os.path.join(config, "Varnex", "registry.reg"), "rb") as f:
            text = f.read()
        self.assertIn(b'"Dossier"="' + folder.encode() + b'"', text)
        self.assertIn(b'"Top"=dword:000000d2', text)
        self.assertIn(b'"Left"=dword:00000136', text)

    def test_sigterm_while_the_start_waits_on_the_warning(self):
        folder = self.folder("music", "kept.mp3")
        config = os.path.join(self.scratch, "config")
        with Varnex(folder, self.scratch, config_home=config) as program:
            program.window("Warning")
            program.process.send_signal(signal.SIGTERM)
            self.assertEqual(program.wait_until_closed(), 0)
        with open(os.path.join(config, "Varnex", "registry.reg"), "rb") as f:
            self.assertIn(b'"Dossier"="' + folder.encode() + b'"', f.read())

    def test_desktop_knows_the_window(self):
        entry = desktop_entry()
        with Varnex(self.folder("music"), config_home=os.path.join(self.scratch, "config")) as program:
            window = program.window()
            wm_class = subprocess.run(["xprop", "-id", window, "WM_CLASS"], check=True,
                                      capture_output=True, text=True).stdout
            self.assertEqual(re.findall(r'"([^"]*)"', wm_class)[-1], entry["StartupWMClass"])
            # The two large sizes follow the window's first show.
            icons = wait_for(lambda: (lambda found: len(found) == 8 and found)(window_icons(window)),
                             "the icon in all eight sizes")
            for size in (16, 22, 24, 32, 48, 64, 128, 256):
                with self.subTest(size=size):
                    width, height, rows = read_png(
                        os.path.join(DATA, "icons", f"org.example.Varnex-{size}.png"))
                    self.assertEqual(differing_pixels(icons.get((width, height)), rows), 0)
            if os.environ.get("VARNEX_SCREENSHOT_DIR"):  # for a person to look at
                subprocess.run(["import", "-window", window,
                                os.path.join(os.environ["VARNEX_SCREENSHOT_DIR"], "window.png")],
                               check=True)


if __name__ == "__main__":
    unittest.main(verbosity=2)
