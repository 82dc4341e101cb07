#!/usr/bin/env python3
"""Start-up of Varnex beside a bare Qt window after gst_init: the time from exec to the first
top-level window mapped, and the resident memory at that moment. Both run on one virtual X display
with one session bus, one after the other, interleaved, so that noise falls on both alike.

usage: start_bench.py [--runs N] BARE_WINDOW [LABEL=]VARNEX...
Run it under dbus-run-session on a display (xvfb-run -a); each program is killed once its window
is mapped. Several builds of varnex (LABEL=path, e.g. before=... after=...) are measured in the
same run, each against the same baseline."""
import argparse
import os
import statistics
import subprocess
import tempfile
import time

from Xlib import X, display


def time_to_map(command, environment):
    """Seconds from exec to the first window that the program maps, and its memory then (MB)."""
    screen = display.Display()
    root = screen.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    screen.sync()
    start = time.perf_counter()
    process = subprocess.Popen(command, env=environment, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        while True:
            event = screen.next_event()
            if event.type == X.MapNotify and not event.override:
                mapped = time.perf_counter() - start
                break
        with open(f"/proc/{process.pid}/status") as status:
            rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
        return mapped, rss / 1024
    finally:
        process.kill()
        process.wait()
        screen.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("bare")
    parser.add_argument("varnex", nargs="+")
    arguments = parser.parse_args()
    runs = arguments.runs
    with tempfile.TemporaryDirectory() as home:
        environment = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                           XDG_STATE_HOME=os.path.join(home, "state"),
                           VARNEX_AUDIO_SINK="fakesink")
        music = os.path.join(home, "Music")
        os.mkdir(music)
        for i in range(20):
            open(os.path.join(music, f"track {i:02}.mp3"), "w").close()
        contenders = {"bare window": [arguments.bare]}
        for entry in arguments.varnex:
            label, _, path = entry.rpartition("=")
            contenders[label or "varnex"] = [path, music]
        times = {name: [] for name in contenders}
        memory = {name: [] for name in contenders}
        for name, command in contenders.items():  # one start each to warm the caches
            time_to_map(command, environment)
        for _ in range(runs):
            for name, command in contenders.items():
                seconds, megabytes = time_to_map(command, environment)
                times[name].append(seconds * 1000)
                memory[name].append(megabytes)
    base_time = statistics.median(times["bare window"])
    base_memory = statistics.median(memory["bare window"])
    print(f"start-up, medians of {runs} interleaved runs (exec to window mapped):")
    for name in contenders:
        t, m = statistics.median(times[name]), statistics.median(memory[name])
        print(f"  {name:12} {t:7.1f} ms ({t / base_time:.2f}x)   {m:6.1f} MB ({m / base_memory:.2f}x)")


if __name__ == "__main__":
    main()
