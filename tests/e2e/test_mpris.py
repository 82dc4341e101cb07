"""The desktop's media controls drive the running program through playerctl: play, status,
metadata, volume, stop and quit, with the sound captured through VARNEX_AUDIO_SINK and measured.
Without a working session bus the program runs as before and says nothing about it, whatever the
socket in the bus's place does, and it still ends on SIGTERM with its settings stored."""

import os
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest

from test_play import levels, make_mp3, samples
from varnex_session import BINARY, TITLE, Varnex, wait_for, xdotool


DIALOG_TEXT = "Select a directory with songs to convert"


def playerctl(*args):
    return subprocess.run(["playerctl", "-p", "varnex", *args], capture_output=True, text=True,
                          timeout=20).stdout.strip()


def capture_sink(wav):
    return ("audioconvert ! audio/x-raw,format=S16LE,rate=44100,channels=1 ! wavenc ! "
            f"filesink sync=true location={wav}")


def quit_over_the_bus():
    subprocess.run(["gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.varnex",
                    "--object-path", "/org/mpris/MediaPlayer2",
                    "--method", "org.mpris.MediaPlayer2.Quit"], check=True,
                   capture_output=True, timeout=20)


class PosingBus:
    """A socket where a bus should be, which hangs up on every connection, or takes it and then
    says nothing, or says nothing after authenticating it."""

    def __init__(self, path, answer):
        self.answer = answer
        self.connections = []
        self.server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.server.bind(path)
        self.server.listen()
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while True:
            try:
                connection, _ = self.server.accept()
            except OSError:
                return
            if self.answer == "hang up":
                connection.close()
                continue
            self.connections.append(connection)
            if self.answer == "authenticate":
                threading.Thread(target=self._authenticate, args=(connection,), daemon=True).start()

    @staticmethod
    def _authenticate(connection):
        received = b""
        while b"BEGIN\r\n" not in received:
            data = connection.recv(4096)
            if not data:
                return
            received += data
        connection.sendall(b"DATA\r\nOK 0123456789abcdef0123456789abcdef\r\n")

    def close(self):
        self.server.close()
        for connection in self.connections:
            connection.close()


class MprisTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="varnex-e2e-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)

    def test_playerctl_plays_reads_and_stops(self):
        make_mp3(os.path.join(self.folder, "tone.mp3"), 8)
        wav = os.path.join(self.folder, "captured.wav")
        sink = capture_sink(wav)
        config = os.path.join(self.folder, "config")
        with Varnex(self.folder, config_home=config, env={"VARNEX_AUDIO_SINK": sink}) as program:
            program.wait_for_list(["tone.mp3"], "the file")
            program.click(program.list_item("tone.mp3"))  # selects it; nothing plays yet
            wait_for(lambda: playerctl("status") == "Stopped", "the player on the bus")
            self.assertFalse(os.path.exists(wav))

            subprocess.run(["playerctl", "-p", "varnex", "play"], check=True, timeout=20)
            wait_for(lambda: playerctl("status") == "Playing", "Playing")
            wait_for(lambda: len(samples(wav)) > 44100, "a second of sound")

            metadata = playerctl("metadata")
            self.assertRegex(metadata, r"xesam:title\s+tone\n")
            self.assertIn("file://" + self.folder + "/tone.mp3", metadata)
            self.assertRegex(metadata, r"mpris:trackid\s+'?/org/example/Varnex/")
            self.assertRegex(metadata, r"mpris:length\s+(79|80|81)\d{5}\n")
            self.assertEqual(playerctl("metadata", "title"), "tone")

            subprocess.run(["playerctl", "-p", "varnex", "volume", "0.25"], check=True, timeout=20)
            # A quarter of the slider's way, which a screen reader reads as 75 dB below full.
            wait_for(lambda: program.find("slider").queryValue().currentValue == -75,
                     "the slider at a quarter")

            subprocess.run(["playerctl", "-p", "varnex", "stop"], check=True, timeout=20)
            wait_for(lambda: playerctl("status") == "Stopped", "Stopped")
            stopped_at = len(samples(wav))
            time.sleep(0.5)
            self.assertEqual(len(samples(wav)), stopped_at, "sound went on after the stop")
            self.assertGreater(levels(samples(wav))[5], -12)  # the tone at full volume

            quit_over_the_bus()
            self.assertEqual(program.wait_until_closed(), 0)
        with open(os.path.join(config, "Varnex", "registry.reg"), encoding="utf-8") as f:
            stored = f.read()
        self.assertIn('"Dossier"="' + self.folder + '"', stored)

    def test_playerctl_stops_a_file_the_list_no_longer_shows(self):
        make_mp3(os.path.join(self.folder, "tone.mp3"), 8)
        wav = os.path.join(self.folder, "captured.wav")
        with Varnex(self.folder, config_home=os.path.join(self.folder, "config"),
                    env={"VARNEX_AUDIO_SINK": capture_sink(wav)}) as program:
            program.click(program.list_item("tone.mp3"), times=2)  # plays it
            wait_for(lambda: len(samples(wav)) > 44100, "a second of sound")
            # Converting while it plays reads the list anew, without a selection.
            program.click(program.button("mp3 => iad"))
            program.wait_for_list(["tone.iad"], "the converted list")
            self.assertEqual(playerctl("status"), "Playing")
            self.assertEqual(playerctl("metadata", "title"), "tone")

            stop = subprocess.run(["playerctl", "-p", "varnex", "stop"], capture_output=True,
                                  text=True, timeout=20)
            self.assertEqual(stop.returncode, 0, stop.stderr)
            wait_for(lambda: playerctl("status") == "Stopped", "Stopped")
            stopped_at = len(samples(wav))
            time.sleep(0.5)
            self.assertEqual(len(samples(wav)), stopped_at, "sound went on after the stop")

    def test_quit_with_the_folder_dialog_open_ends_the_program(self):
        config = os.path.join(self.folder, "config")
        with Varnex(self.folder, config_home=config) as program:
            program.click(program.find("text"))
            program.press("alt+Down")
            program.window(DIALOG_TEXT)
            wait_for(lambda: playerctl("status") == "Stopped", "the player on the bus")
            quit_over_the_bus()
            self.assertEqual(program.wait_until_closed(), 0)
        with open(os.path.join(config, "Varnex", "registry.reg"), encoding="utf-8") as f:
            self.assertIn('"Dossier"="' + self.folder + '"', f.read())

    def test_without_a_working_session_bus_it_runs_as_before_and_silently(self):
        make_mp3(os.path.join(self.folder, "tone.mp3"), 1)
        addresses = ["unix:path=" + os.path.join(self.folder, "no-bus")]
        for answer in ["hang up", "say nothing", "authenticate"]:
            path = os.path.join(self.folder, answer.replace(" ", "-"))
            self.addCleanup(PosingBus(path, answer).close)
            addresses.append("unix:path=" + path)
        for address in addresses:
            for end in ["quit", "SIGTERM"]:
                with self.subTest(address=address, end=end):
                    self.runs_silently_on(address, end)

    def runs_silently_on(self, address, end):
        config = tempfile.mkdtemp(prefix="config-", dir=self.folder)
        env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="xcb",
                   VARNEX_AUDIO_SINK="fakesink", DBUS_SESSION_BUS_ADDRESS=address)
        env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        program = subprocess.Popen([BINARY, self.folder], env=env, stderr=subprocess.PIPE, text=True)
        try:
            window = wait_for(lambda: xdotool("search", "--onlyvisible", "--pid", str(program.pid),
                                              "--name", "^" + TITLE + "$"), "the window")[0]
            time.sleep(1)
            self.assertIsNone(program.poll(), "the program ended by itself")
            if end == "quit":
                xdotool("mousemove", "--window", window, "--sync", "397", "332")  # the Quit button
                xdotool("click", "1")
            else:
                program.send_signal(signal.SIGTERM)
            self.assertEqual(program.wait(15), 0)
        finally:
            if program.poll() is None:
                program.kill()
            errors = program.communicate()[1]
        self.assertNotRegex(errors.lower(), "mpris|d-bus|dbus", errors)
        with open(os.path.join(config, "Varnex", "registry.reg"), encoding="utf-8") as f:
            self.assertIn('"Dossier"="' + self.folder + '"', f.read())


if __name__ == "__main__":
    unittest.main(verbosity=2)
