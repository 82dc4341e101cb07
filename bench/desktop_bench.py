#!/usr/bin/python3
"""The program and the session bus, two builds side by side on a virtual X display:

start  exec to the main window mapped, and the memory then (medians of interleaved runs), with a
       session bus that answers and with a socket in its place that takes the connection and
       never answers;
flood  PlayPause/Stop calls sent without waiting for their answers while a file is selected (and
       has played once, so that what playing loads is loaded): how long another client's call
       waits for its answer meanwhile, the memory before and after, and how long SIGTERM sent in
       the middle of a second flood takes to end the program.

usage: desktop_bench.py [--runs N] [--silent-runs N] [--calls N] NAME=VARNEX_BINARY...
Needs Xvfb, xev, xdotool, dbus-daemon, gst-launch-1.0 and Python's GObject bindings (Gio)."""

import argparse
import os
import select
import shutil
import signal
import socket
import statistics
import subprocess
import tempfile
import time

from gi.repository import Gio, GLib

MPRIS = ("org.mpris.MediaPlayer2.varnex", "/org/mpris/MediaPlayer2")
PLAYER = "org.mpris.MediaPlayer2.Player"


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return float("nan")


class Session:
    """A virtual display, a folder with a tone, a bus that answers and a socket that does not."""

    def __init__(self):
        self.scratch = tempfile.mkdtemp(prefix="varnex-bench-")
        self.services = []
        read_end, write_end = os.pipe()
        self.services.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL))
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.display = ":" + numbers.readline().strip()
        self.folder = os.path.join(self.scratch, "music")
        os.mkdir(self.folder)
        subprocess.run(["gst-launch-1.0", "-q", "audiotestsrc", "num-buffers=1300", "!",
                        "audioconvert", "!", "lamemp3enc", "!", "filesink",
                        "location=" + os.path.join(self.folder, "tone.mp3")], check=True)
        daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                                   "--address=unix:dir=" + self.scratch],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.services.append(daemon)
        self.bus = daemon.stdout.readline().strip()
        silent_path = os.path.join(self.scratch, "silent-bus")
        self.silent = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.silent.bind(silent_path)
        self.silent.listen(64)  # taken by the kernel, never answered
        self.silent_bus = "unix:path=" + silent_path
        self.runs = 0

    def env(self, bus):
        self.runs += 1
        return dict(os.environ, DISPLAY=self.display, DBUS_SESSION_BUS_ADDRESS=bus,
                    XDG_CONFIG_HOME=os.path.join(self.scratch, f"config{self.runs}"),
                    XDG_STATE_HOME=os.path.join(self.scratch, "state"), QT_QPA_PLATFORM="xcb",
                    VARNEX_AUDIO_SINK="fakesink sync=true")

    def close(self):
        for service in reversed(self.services):
            service.terminate()
            service.wait()
        self.silent.close()
        shutil.rmtree(self.scratch, ignore_errors=True)


def start(session, binary, env, limit=60):
    """(seconds from exec to a top-level window mapped, MB resident then, the process); infinity
    when no window comes within `limit` seconds."""
    watcher = subprocess.Popen(["stdbuf", "-oL", "xev", "-display", session.display, "-root",
                                "-event", "substructure"], stdout=subprocess.PIPE)
    time.sleep(0.3)  # xev is listening
    started = time.monotonic()
    program = subprocess.Popen([binary, session.folder], env=env, stderr=subprocess.DEVNULL)
    mapped = float("inf")
    seen = b""
    while b"MapNotify" not in seen and time.monotonic() - started < limit:
        ready, _, _ = select.select([watcher.stdout], [], [], limit - (time.monotonic() - started))
        if ready:
            seen += os.read(watcher.stdout.fileno(), 65536)
            mapped = time.monotonic() - started
    if b"MapNotify" not in seen:
        mapped = float("inf")
    memory = rss_mb(program.pid)
    watcher.kill()
    watcher.wait()
    return mapped, memory, program


def end(program, limit=300):
    """Seconds from SIGTERM to the end of `program`; infinity when it is killed after `limit`."""
    signalled = time.monotonic()
    program.send_signal(signal.SIGTERM)
    try:
        program.wait(limit)
    except subprocess.TimeoutExpired:
        program.kill()
        program.wait()
        return float("inf")
    return time.monotonic() - signalled


def measure_start(session, binaries, runs, silent_runs):
    results = {(name, bus): ([], []) for name in binaries for bus in ("bus", "silent")}
    for run in range(runs):
        for name, binary in binaries.items():
            for bus, address in (("bus", session.bus), ("silent", session.silent_bus)):
                if bus == "silent" and run >= silent_runs:
                    continue
                mapped, memory, program = start(session, binary, session.env(address))
                end(program, 10)
                results[(name, bus)][0].append(mapped * 1000)
                results[(name, bus)][1].append(memory)
    first = next(iter(binaries))
    print(f"start: exec to main window mapped, medians of {runs} interleaved runs with a bus, "
          f"{silent_runs} with a silent one")
    for (name, bus), (times, memories) in results.items():
        if not times:
            continue
        base_time = statistics.median(results[(first, bus)][0])
        base_memory = statistics.median(results[(first, bus)][1])
        print(f"  {name:8} {bus:6} {statistics.median(times):8.1f} ms "
              f"({statistics.median(times) / base_time:5.2f}x {first})  "
              f"{statistics.median(memories):6.1f} MB "
              f"({statistics.median(memories) / base_memory:5.2f}x)")


def flood(connection, calls):
    for call in range(calls):
        message = Gio.DBusMessage.new_method_call(
            MPRIS[0], MPRIS[1], PLAYER, "Stop" if call % 4 == 3 else "PlayPause")
        message.set_flags(Gio.DBusMessageFlags.NO_REPLY_EXPECTED)
        connection.send_message(message, Gio.DBusSendMessageFlags.NONE)
    connection.flush_sync(None)


def measure_flood(session, name, binary, calls):
    env = session.env(session.bus)
    _, _, program = start(session, binary, env)
    client = Gio.DBusConnection.new_for_address_sync(
        session.bus, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
        Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
    other = Gio.DBusConnection.new_for_address_sync(
        session.bus, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
        Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:  # the player is on the bus
        try:
            other.call_sync(*MPRIS, "org.freedesktop.DBus.Peer", "Ping", None, None,
                            Gio.DBusCallFlags.NONE, 1000, None)
            break
        except GLib.Error:
            time.sleep(0.1)
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(program.pid),
                             "--name", "Varnex by Tomvik"], env=env,
                            capture_output=True, text=True).stdout.split()[0]
    subprocess.run(["xdotool", "mousemove", "--window", window, "30", "62", "click", "1"],
                   env=env, check=True)  # selects the tone
    time.sleep(0.5)
    for method in ("Play", "Stop"):
        other.call_sync(*MPRIS, PLAYER, method, None, None, Gio.DBusCallFlags.NONE, 10000, None)
        time.sleep(1)
    before = rss_mb(program.pid)
    sent = time.monotonic()
    flood(client, calls)
    sending = time.monotonic() - sent
    asked = time.monotonic()
    other.call_sync(*MPRIS, "org.freedesktop.DBus.Properties", "Get",
                    GLib.Variant("(ss)", (PLAYER, "PlaybackStatus")), None,
                    Gio.DBusCallFlags.NONE, 600000, None)
    answered = time.monotonic() - asked
    after = rss_mb(program.pid)
    flood(client, calls)  # the same again: memory that stays flat does not grow twice
    other.call_sync(*MPRIS, "org.freedesktop.DBus.Properties", "Get",
                    GLib.Variant("(ss)", (PLAYER, "PlaybackStatus")), None,
                    Gio.DBusCallFlags.NONE, 600000, None)
    again = rss_mb(program.pid)
    flood(client, calls // 2)
    ended = end(program)
    stored = os.path.exists(os.path.join(env["XDG_CONFIG_HOME"], "Varnex", "registry.reg"))
    print(f"  {name:8} {calls} calls sent in {sending:.2f} s; another client's call answered "
          f"after {answered * 1000:.0f} ms; {before:.1f} MB before, {after:.1f} MB after, "
          f"{again:.1f} MB after another; "
          f"SIGTERM amid a flood: ended after {ended * 1000:.0f} ms, settings stored: {stored}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--silent-runs", type=int, default=3)
    parser.add_argument("--calls", type=int, default=2000)
    parser.add_argument("binaries", nargs="+")
    arguments = parser.parse_args()
    binaries = dict(item.split("=", 1) for item in arguments.binaries)
    session = Session()
    try:
        if arguments.runs > 0:
            measure_start(session, binaries, arguments.runs, arguments.silent_runs)
        print(f"flood: {arguments.calls} calls without waiting, with the tone selected")
        for name, binary in binaries.items():
            measure_flood(session, name, binary, arguments.calls)
    finally:
        session.close()


if __name__ == "__main__":
    main()
