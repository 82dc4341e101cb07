"""The installed program, started with a folder as the desktop's menu, Dolphin's service menu and
Nemo's action start it: each Exec line expanded the way that launcher expands it."""

import configparser
import os
import shlex
import subprocess
import tempfile
import unittest

from varnex_session import Varnex

# The installed file, its group, and how the launcher puts the folder into the Exec line.
LAUNCHERS = (
    ("applications/org.example.Varnex.desktop", "Desktop Entry", "%f", None),
    ("kio/servicemenus/open-in-varnex.desktop", "Desktop Action openInVarnex", "%f", None),
    ("nemo/actions/open-in-varnex.nemo_action", "Nemo Action", "%F", '"'),
)


def expand(exec_line, code, quote, folder):
    if quote:  # Nemo puts the quoted path into the line, then splits it as a shell would
        return shlex.split(exec_line.replace(code, quote + folder + quote))
    return [folder if word == code else word for word in shlex.split(exec_line)]


class InstalledTest(unittest.TestCase):
    def test_launchers_open_the_folder(self):
        prefix = tempfile.mkdtemp(prefix="varnex-prefix-")
        subprocess.run(["cmake", "--install", os.environ["VARNEX_BUILD_DIR"], "--prefix", prefix],
                       check=True, capture_output=True)
        folder = os.path.join(tempfile.mkdtemp(prefix="varnex-e2e-"), "my album")
        os.mkdir(folder)
        open(os.path.join(folder, "from the menu.mp3"), "w").close()
        for path, group, code, quote in LAUNCHERS:
            entry = configparser.ConfigParser(interpolation=None)
            entry.read(os.path.join(prefix, "share", path))
            command = expand(entry[group]["Exec"], code, quote, folder)
            self.assertEqual(command[0], "varnex", path)
            with Varnex(*command[1:], binary=os.path.join(prefix, "bin", "varnex")) as program:
                program.wait_for_list(["from the menu.mp3"], path)
                self.assertEqual(program.folder_text(), folder)


if __name__ == "__main__":
    unittest.main(verbosity=2)
