"""About... brings the panel over the window; Escape gives the window its size back."""

import tempfile
import unittest

from varnex_session import Varnex, wait_for


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


if __name__ == "__main__":
    unittest.main(verbosity=2)
