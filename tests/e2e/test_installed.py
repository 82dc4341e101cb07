"""The installed program, started from its desktop entry's Exec line with a folder."""

import os
import shlex
import subprocess
import tempfile
import unittest

import varnex_session
from varnex_session import Varnex, wait_for


class InstalledTest(unittest.TestCase):
    def test_desktop_entry_opens_the_folder(self):
        prefix = tempfile.mkdtemp(prefix="varnex-prefix-")
        subprocess.run(["cmake", "--install", os.environ["VARNEX_BUILD_DIR"], "--prefix", prefix],
                       check=True, capture_output=True)
        with open(os.path.join(prefix, "share", "applications", "org.example.Varnex.desktop")) as f:
            exec_line = next(line for line in f if line.startswith("Exec="))[len("Exec="):]

        folder = tempfile.mkdtemp(prefix="varnex-e2e-")
        open(os.path.join(folder, "from the menu.mp3"), "w").close()
        command = [os.path.join(prefix, "bin", word) if word == "varnex" else word
                   for word in shlex.split(exec_line)]
        command = [folder if word == "%f" else word for word in command]
        varnex_session.BINARY = command[0]
        with Varnex(*command[1:]) as program:
            wait_for(lambda: program.list_items() == ["from the menu.mp3"], "the folder listed")
            self.assertEqual(program.folder_text(), folder)


if __name__ == "__main__":
    unittest.main(verbosity=2)
