#!/usr/bin/env python3
"""Writes app/startup-order.txt: the functions of varnex that a start runs, which the link lays out
together so that a start pages in a few hundred kilobytes of the program instead of nearly all of
it. Two starts are profiled: a first one, with a folder on the command line and no settings, and
the usual one, with the settings the first one stored at its end. The functions that run until the
window is mapped come first, then those that run until the start has settled (the first frame and
the work that waits for it). Run it after a change to that path (the link skips names it no longer
finds), with valgrind and python3-xlib installed, on a display and a session bus as on a desktop:

  xvfb-run -a dbus-run-session scripts/make-startup-order.py build/release/app/varnex
"""
import bisect
import os
import re
import subprocess
import sys
import tempfile
import time

from Xlib import X, display

ORDER_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app",
                          "startup-order.txt")


def wait_until_idle(pid, quiet_seconds=1.0):
    """Returns once the process has used no processor time for quiet_seconds."""
    def used():
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    last, since = used(), time.monotonic()
    while time.monotonic() - since < quiet_seconds:
        time.sleep(0.1)
        now = used()
        if now != last:
            last, since = now, time.monotonic()


def wait_for_map(screen, process, seconds=120):
    """Returns once the process maps a window; fails if it ends or takes too long."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and process.poll() is None:
        while screen.pending_events():
            event = screen.next_event()
            if event.type == X.MapNotify and not event.override:
                return
        time.sleep(0.05)
    raise SystemExit("varnex showed no window; is DISPLAY an X server?")


def profile_start(program, arguments, environment, out_prefix):
    """Runs one start under callgrind, dumping at the map and once the start has settled, and
    ends it as a desktop session would, so that it stores its settings."""
    screen = display.Display()
    screen.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    screen.sync()
    process = subprocess.Popen(
        ["valgrind", "--tool=callgrind", "--dump-instr=yes",
         f"--callgrind-out-file={out_prefix}", program, *arguments],
        env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for_map(screen, process)
        subprocess.run(["callgrind_control", "--dump", str(process.pid)], check=True,
                       capture_output=True)
        wait_until_idle(process.pid)
        subprocess.run(["callgrind_control", "--dump", str(process.pid)], check=True,
                       capture_output=True)
        process.terminate()
        try:
            process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            pass  # the usual start is then a first start again, which only blurs the order
    finally:
        process.kill()
        process.wait()
        screen.close()
    return [f"{out_prefix}.1", f"{out_prefix}.2"]


def profile_starts(program, work):
    """The dumps of a first start and of the usual start after it: the maps, then the rest."""
    home = os.path.join(work, "home")
    music = os.path.join(home, "Music")
    os.makedirs(music)
    for i in range(20):
        open(os.path.join(music, f"track {i:02}.mp3"), "w").close()
    environment = {key: value for key, value in os.environ.items() if key != "WAYLAND_DISPLAY"}
    environment.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                       XDG_STATE_HOME=os.path.join(home, "state"), QT_QPA_PLATFORM="xcb")
    first = profile_start(program, [music], environment, os.path.join(work, "first"))
    usual = profile_start(program, [], environment, os.path.join(work, "usual"))
    return [usual[0], first[0], usual[1], first[1]]


def executed_addresses(dump, program):
    """The addresses of the program's own instructions that a callgrind dump saw run."""
    objects, current, position, addresses = {}, None, 0, set()
    for line in open(dump):
        match = re.match(r"(c?ob)=\((\d+)\)\s*(.*)", line)
        if match:
            if match.group(3):
                objects[match.group(2)] = match.group(3)
            if match.group(1) == "ob":
                current = objects[match.group(2)]
            continue
        token = line.split(maxsplit=1)[0] if line[:1] in "0+-*" else None
        if token is None:
            continue
        if token.startswith("0x"):
            position = int(token, 16)
        elif token[0] in "+-":
            position += int(token)
        if current == program:
            addresses.add(position)
    return addresses


def functions(program):
    """(start, size, name) of the program's functions, by address."""
    listing = subprocess.run(["nm", "--defined-only", "-S", program], check=True,
                             capture_output=True, text=True).stdout
    found = []
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) == 4 and fields[2] in "tTwW":
            found.append((int(fields[0], 16), int(fields[1], 16), fields[3]))
    return sorted(found)


def main():
    program = os.path.realpath(sys.argv[1])
    table = functions(program)
    starts = [start for start, _, _ in table]
    order = []
    with tempfile.TemporaryDirectory() as work:
        for dump in profile_starts(program, work):
            names = set()
            for address in executed_addresses(dump, program):
                i = bisect.bisect_right(starts, address) - 1
                if i >= 0 and address < table[i][0] + max(table[i][1], 1):
                    names.add(table[i][2])
            order += sorted(names - set(order))
    with open(ORDER_FILE, "w") as out:
        out.write("".join(name + "\n" for name in order))
    print(f"{len(order)} functions written to {os.path.normpath(ORDER_FILE)}")


if __name__ == "__main__":
    main()
