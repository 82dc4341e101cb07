"""The folder and the window's position come back at the next start."""

import os
import tempfile
import unittest

from varnex_session import Varnex, wait_for, xdotool


class SettingsTest(unittest.TestCase):
    def test_last_folder_and_position_come_back(self):
        folder = tempfile.mkdtemp(prefix="varnex-e2e-")
        open(os.path.join(folder, "kept.mp3"), "w").close()
        config = tempfile.mkdtemp(prefix="varnex-e2e-config-")

        with Varnex(folder, config_home=config) as first:
            window = first.window()
            first.wait_for_list(["kept.mp3"], "the folder listed")
            xdotool("windowmove", "--sync", window, "300", "200")
            wait_for(lambda: first.client_geometry()[:2] == (300, 200), "the window moved")
            first.click(first.button("Quit"))
            self.assertEqual(first.wait_until_closed(), 0)

        settings = os.path.join(config, "Varnex", "registry.reg")
        with open(settings, "rb") as f:
            text = f.read()
        self.assertIn(b'"Top"=dword:000000c8', text)
        self.assertIn(b'"Left"=dword:0000012c', text)

        with Varnex(config_home=config) as second:
            self.assertEqual(second.client_geometry()[:2], (300, 200))
            self.assertEqual(second.folder_text(), folder)
            second.wait_for_list(["kept.mp3"], "the stored folder listed")


if __name__ == "__main__":
    unittest.main(verbosity=2)
