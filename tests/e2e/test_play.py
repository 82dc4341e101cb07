"""Double-click plays, a click in the list stops, the slider sets the volume at once; the sound
is captured through VARNEX_AUDIO_SINK and measured."""

import math
import os
import struct
import subprocess
import tempfile
import time
import unittest

from varnex_session import TITLE, Varnex, wait_for, xdotool


def make_mp3(path, seconds):
    subprocess.run(["gst-launch-1.0", "-q", "audiotestsrc", f"num-buffers={int(seconds * 10)}",
                    "samplesperbuffer=4410", "freq=440", "volume=0.5", "!",
                    "audio/x-raw,rate=44100,channels=1", "!", "lamemp3enc", "!", "filesink",
                    f"location={path}"], check=True)


def samples(wav):
    """The 16-bit mono samples after the WAV header, however far the file has been written."""
    with open(wav, "rb") as f:
        data = f.read()
    start = data.find(b"data")
    if start < 0:
        return []
    body = data[start + 8:]
    return struct.unpack(f"<{len(body) // 2}h", body[: len(body) // 2 * 2])


def levels(values, window=4410):
    """RMS level in dB of each tenth of a second; -200 for silence."""
    result = []
    for start in range(0, len(values) - window + 1, window):
        chunk = values[start:start + window]
        mean = sum(v * v for v in chunk) / window
        result.append(10 * math.log10(mean / 32768 ** 2) if mean else -200)
    return result


class PlayTest(unittest.TestCase):
    def test_play_stop_volume_and_quiet_failure(self):
        folder = tempfile.mkdtemp(prefix="varnex-e2e-")
        make_mp3(os.path.join(folder, "tone.mp3"), 8)
        with open(os.path.join(folder, "broken.mp3"), "wb") as f:
            f.write(b"\x00" * 20000)
        wav = os.path.join(folder, "captured.wav")
        sink = ("audioconvert ! audio/x-raw,format=S16LE,rate=44100,channels=1 ! wavenc ! "
                f"filesink sync=true location={wav}")

        with Varnex(folder, env={"VARNEX_AUDIO_SINK": sink}) as program:
            program.wait_for_list(["broken.mp3", "tone.mp3"], "the files")

            program.click(program.list_item("broken.mp3"), times=2)
            time.sleep(1)
            self.assertEqual(samples(wav) if os.path.exists(wav) else [], [])
            self.assertEqual(program.visible_windows("varnex"), [])  # no message

            program.click(program.list_item("tone.mp3"), times=2)
            wait_for(lambda: len(samples(wav)) > 44100, "a second of sound")
            slider = program.find("slider")
            program.click(slider)  # the handle: the slider takes the focus, the value stays
            program.press("Home")  # to 0, silence
            time.sleep(1.0)
            heard = len(samples(wav))
            program.click(program.list_item("tone.mp3"))  # a click in the list stops
            time.sleep(0.5)
            stopped_at = len(samples(wav))
            time.sleep(0.5)
            self.assertEqual(len(samples(wav)), stopped_at, "sound went on after the stop")

            loudness = levels(samples(wav)[:heard])
            self.assertGreater(loudness[2], -12, loudness)          # the tone at full volume
            self.assertEqual(loudness[-2:], [-200, -200], loudness)  # silence after Home
            self.assertGreater(len(loudness), 12)

            program.click(program.list_item("tone.mp3"), times=2)   # plays again from the start
            wait_for(lambda: len(samples(wav)) > 22050, "sound again")
            program.click(program.button("Quit"))  # closing while it plays ends cleanly
            self.assertEqual(program.wait_until_closed(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
