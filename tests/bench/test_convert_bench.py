"""The conversion benchmark names a peer that is missing or converts nothing instead of timing it,
so that neither reads as a tool many times faster than Varnex."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

BENCH = os.environ["VARNEX_CONVERT_BENCH"]


class ConvertBenchTest(unittest.TestCase):
    def test_missing_and_idle_peers_are_named_not_timed(self):
        with tempfile.TemporaryDirectory(prefix="varnex-bench-path-") as tools:
            for name in ("find", "xargs"):  # the rest of the perl rename peer's pipeline
                os.symlink(shutil.which(name), os.path.join(tools, name))
            idle = os.path.join(tools, "rename")  # renames nothing and says all went well
            with open(idle, "w") as f:
                f.write("#!/bin/sh\nexit 0\n")
            os.chmod(idle, 0o755)
            result = subprocess.run([BENCH, "40"], env=dict(os.environ, PATH=tools),
                                    capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        lines = result.stdout.splitlines()
        self.assertIn("  mmv: not installed", lines)
        self.assertIn("  rename (perl): failed (converted 0 of 40 files)", lines)
        for ours in ("bare loop", "varnex", "varnex-convert"):
            self.assertTrue(any(re.fullmatch(rf"  {ours}: +[\d.]+ ms +[\d.]+x +cpu +[\d.]+ ms +[\d.]+x", line)
                                for line in lines),
                            result.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
