"""Varnex installs like a program of its platform: the install rules put a valid desktop entry,
AppStream metainfo, icons, man pages and file-manager actions in place without taking folders from
the file manager, and CPack makes a Debian package of them that lintian finds no error in."""

import glob
import gzip
import os
import re
import shutil
import subprocess
import tempfile
import unittest

BUILD = os.environ["VARNEX_BUILD_DIR"]


def run(*command, cwd=None, env=None):
    return subprocess.run(command, cwd=cwd, env=env, check=True, capture_output=True,
                          text=True).stdout


def project_version():
    with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache.read(), re.M).group(1)


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="varnex-package-")
        cls.prefix = os.path.join(cls.scratch, "prefix")
        run("cmake", "--install", BUILD, "--prefix", cls.prefix)
        cls.share = os.path.join(cls.prefix, "share")
        run("cpack", "-G", "DEB", cwd=BUILD)
        cls.package = max(glob.glob(os.path.join(BUILD, "varnex_*.deb")), key=os.path.getmtime)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def test_install_into_a_prefix(self):
        desktop = os.path.join(self.share, "applications", "org.example.Varnex.desktop")
        run("desktop-file-validate", desktop)
        run("appstreamcli", "validate", "--no-net",
            os.path.join(self.share, "metainfo", "org.example.Varnex.metainfo.xml"))
        with open(desktop) as f:
            self.assertIn("Exec=varnex %f", f.read())
        for size in (16, 22, 24, 32, 48, 64, 128, 256):
            icon = os.path.join(self.share, "icons", "hicolor", f"{size}x{size}", "apps",
                                "org.example.Varnex.png")
            self.assertIn(f"{size} x {size}", run("file", icon))
        self.assertTrue(os.access(os.path.join(self.prefix, "bin", "varnex"), os.X_OK))
        # Dolphin trusts a service menu in a prefix the user owns only when it is executable.
        self.assertTrue(os.access(os.path.join(self.share, "kio", "servicemenus",
                                               "open-in-varnex.desktop"), os.X_OK))

    def test_every_version_is_the_projects(self):
        version = project_version()
        pages = [gzip.open(os.path.join(self.share, "man", "man1", page), "rt").readline()
                 for page in ("varnex.1.gz", "varnex-convert.1.gz")]
        with open(os.path.join(self.share, "metainfo", "org.example.Varnex.metainfo.xml")) as f:
            release = re.search(r'<release version="([^"]+)"', f.read()).group(1)
        shown = {
            "package": run("dpkg-deb", "--field", self.package, "Version").strip(),
            "metainfo": release,
            "varnex.1": re.search(r'"Varnex ([^"]+)"', pages[0]).group(1),
            "varnex-convert.1": re.search(r'"Varnex ([^"]+)"', pages[1]).group(1),
            "varnex --version": run(os.path.join(self.prefix, "bin", "varnex"), "--version"),
            "varnex-convert --version":
                run(os.path.join(self.prefix, "bin", "varnex-convert"), "--version"),
        }
        self.assertEqual(shown, {
            "package": version, "metainfo": version, "varnex.1": version,
            "varnex-convert.1": version, "varnex --version": f"varnex {version}\n",
            "varnex-convert --version": f"varnex-convert {version}\n"})

    def test_folders_open_in_the_file_manager(self):
        """Installed beside a file manager that no mimeapps.list names, Varnex leaves folders to
        it, for xdg-open and for GLib (gio open) alike. Varnex's entry comes first in the search
        path, where a claim on folders would win."""
        files = os.path.join(self.scratch, "files", "applications")
        os.makedirs(files)
        with open(os.path.join(files, "files.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Files\nExec=true %U\n"
                    "MimeType=inode/directory;\n")
        empty = os.path.join(self.scratch, "empty")
        os.mkdir(empty)
        for applications in (os.path.join(self.share, "applications"), files):
            run("update-desktop-database", applications)
        # GLib passes over an entry whose program is not on the path.
        env = {"PATH": os.path.join(self.prefix, "bin") + ":" + os.environ["PATH"], "HOME": empty, "XDG_CONFIG_HOME": empty,
               "XDG_CONFIG_DIRS": empty, "XDG_DATA_HOME": empty,
               "XDG_DATA_DIRS": f"{self.share}:{os.path.dirname(files)}"}
        by_xdg = run("xdg-mime", "query", "default", "inode/directory", env=env).strip()
        by_gio = run("gio", "mime", "inode/directory", env=env).splitlines()[0].split(": ")[-1]
        self.assertEqual((by_xdg, by_gio), ("files.desktop", "files.desktop"))

    def test_debian_package_holds_the_program_and_names_what_it_needs(self):
        contents = run("dpkg-deb", "--contents", self.package)
        for path in ("./usr/bin/varnex", "./usr/bin/varnex-convert",
                     "./usr/share/applications/org.example.Varnex.desktop",
                     "./usr/share/metainfo/org.example.Varnex.metainfo.xml",
                     "./usr/share/icons/hicolor/scalable/apps/org.example.Varnex.svg",
                     "./usr/share/kio/servicemenus/open-in-varnex.desktop",
                     "./usr/share/nemo/actions/open-in-varnex.nemo_action",
                     "./usr/share/man/man1/varnex.1.gz", "./usr/share/doc/varnex/copyright"):
            self.assertIn(path, contents)
        depends = run("dpkg-deb", "--field", self.package, "Depends")
        for needed in ("libqt6widgets6", "libgstreamer1.0-0", "libjpeg62-turbo",
                       "gstreamer1.0-plugins-good", "qt6-qpa-plugins"):
            self.assertIn(needed, depends)
        self.assertIn("qt6-wayland", run("dpkg-deb", "--field", self.package, "Recommends"))

    def test_lintian_finds_no_error(self):
        if not shutil.which("lintian"):
            self.skipTest("lintian is not installed (scripts/install-deps.sh test installs it)")
        result = subprocess.run(["lintian", "--tag-display-limit", "0", "--fail-on", "error",
                                 self.package], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
