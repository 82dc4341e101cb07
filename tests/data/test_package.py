"""Varnex installs like a program of its platform: the install rules put a valid desktop entry,
AppStream metainfo, icons and man pages in place, and CPack makes a Debian package of them."""

import glob
import os
import subprocess
import tempfile
import unittest

BUILD = os.environ["VARNEX_BUILD_DIR"]


def run(*command, cwd=None):
    return subprocess.run(command, cwd=cwd, check=True, capture_output=True, text=True).stdout


class PackageTest(unittest.TestCase):
    def test_install_into_a_prefix(self):
        prefix = self.enterContext(tempfile.TemporaryDirectory(prefix="varnex-prefix-"))
        run("cmake", "--install", BUILD, "--prefix", prefix)
        share = os.path.join(prefix, "share")
        desktop = os.path.join(share, "applications", "org.example.Varnex.desktop")
        run("desktop-file-validate", desktop)
        run("appstreamcli", "validate", "--no-net",
            os.path.join(share, "metainfo", "org.example.Varnex.metainfo.xml"))
        with open(desktop) as f:
            entry = f.read()
        self.assertIn("MimeType=inode/directory;", entry)
        self.assertIn("Exec=varnex %f", entry)
        for size in (16, 22, 24, 32, 48, 64, 128, 256):
            icon = os.path.join(share, "icons", "hicolor", f"{size}x{size}", "apps",
                                "org.example.Varnex.png")
            self.assertIn(f"{size} x {size}", run("file", icon))
        for page in ("varnex.1", "varnex-convert.1"):
            self.assertTrue(os.path.exists(os.path.join(share, "man", "man1", page)))
        self.assertTrue(os.access(os.path.join(prefix, "bin", "varnex"), os.X_OK))

    def test_debian_package_holds_the_program_and_names_what_it_needs(self):
        run("cpack", "-G", "DEB", cwd=BUILD)
        package = max(glob.glob(os.path.join(BUILD, "varnex_*.deb")), key=os.path.getmtime)
        contents = run("dpkg-deb", "--contents", package)
        for path in ("./usr/bin/varnex", "./usr/bin/varnex-convert",
                     "./usr/share/applications/org.example.Varnex.desktop",
                     "./usr/share/metainfo/org.example.Varnex.metainfo.xml",
                     "./usr/share/icons/hicolor/scalable/apps/org.example.Varnex.svg"):
            self.assertIn(path, contents)
        depends = run("dpkg-deb", "--field", package, "Depends")
        for needed in ("libqt6widgets6", "libgstreamer1.0-0", "libjpeg62-turbo",
                       "gstreamer1.0-plugins-good", "qt6-qpa-plugins"):
            self.assertIn(needed, depends)


if __name__ == "__main__":
    unittest.main(verbosity=2)
