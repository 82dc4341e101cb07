"""A music stick stays the user's: the program started in a folder on it, showing that folder,
keeps nothing open there, so the stick unmounts while the window shows it; the links of the about
panel still open afterwards."""

import os
import shutil
import subprocess
import tempfile
import unittest

from varnex_session import Varnex, wait_for


class MountTest(unittest.TestCase):
    def mount_stick(self):
        """An ext4 image on a loop device, mounted at a folder of the test's own."""
        if os.geteuid() != 0:
            self.skipTest("mounting an image needs root")
        if not all(shutil.which(tool) for tool in ("mkfs.ext4", "mount", "umount")):
            self.skipTest("mkfs.ext4, mount or umount is missing")
        work = tempfile.mkdtemp(prefix="varnex-e2e-")
        self.addCleanup(shutil.rmtree, work, ignore_errors=True)
        image = os.path.join(work, "stick.img")
        stick = os.path.join(work, "stick")
        os.mkdir(stick)
        with open(image, "wb") as f:
            f.truncate(16 << 20)
        subprocess.run(["mkfs.ext4", "-q", "-F", image], check=True)
        mounted = subprocess.run(["mount", "-o", "loop", image, stick], capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("this machine does not let the test mount an image: " +
                          mounted.stderr.decode(errors="replace"))
        self.addCleanup(subprocess.run, ["umount", stick], capture_output=True)
        return work, stick

    def test_a_shown_folder_on_a_stick_can_be_unmounted(self):
        work, stick = self.mount_stick()
        album = os.path.join(stick, "album")
        os.mkdir(album)
        open(os.path.join(album, "song.mp3"), "wb").close()
        # A desktop's xdg-open that notes the folder it runs in, as the real one needs one.
        bin_folder = os.path.join(work, "bin")
        os.mkdir(bin_folder)
        started_in = os.path.join(work, "started in")
        opener = os.path.join(bin_folder, "xdg-open")
        with open(opener, "w") as f:
            f.write(f"#!/bin/sh\n/bin/pwd -P > '{started_in}' 2>&1\n")
        os.chmod(opener, 0o755)

        path = bin_folder + os.pathsep + os.environ["PATH"]
        with Varnex("album", cwd=stick, env={"PATH": path}) as program:  # a terminal on the stick
            program.wait_for_list(["song.mp3"], "the album's song")
            self.assertEqual(os.readlink(f"/proc/{program.process.pid}/cwd"), "/")
            unmounted = subprocess.run(["umount", stick], capture_output=True, text=True)
            self.assertEqual(unmounted.returncode, 0, unmounted.stderr)
            self.assertEqual(program.list_items(), ["song.mp3"])  # still shown, nothing asked

            program.click(program.button("About..."))
            program.click(program.find("link", "Homepage of Tomvik"))
            def noted():
                if os.path.exists(started_in):
                    with open(started_in) as f:
                        return f.read()
                return ""
            self.assertEqual(wait_for(noted, "the link opened"), "/\n")
            program.click(program.button("Close"))
            program.click(program.button("Quit"))
            self.assertEqual(program.wait_until_closed(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
