#!/usr/bin/env python3
"""How long the program takes to end after SIGTERM (what a desktop sends at logout), on X11 (Xvfb)
and natively on Wayland (weston's headless backend), side by side: the median of N runs each, from
the signal to the process gone, with the window shown, and once more with the start-up warning
waiting for an answer.

usage: signal_end_bench.py VARNEX_BINARY [N]"""

import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def start(command, ready, env):
    service = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while not ready() and time.monotonic() < deadline:
        time.sleep(0.05)
    return service


def seconds_to_end(binary, env, args):
    program = subprocess.Popen([binary, *args], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    time.sleep(1.5)  # the window (or the warning) is up
    started = time.monotonic()
    program.send_signal(signal.SIGTERM)
    try:
        program.wait(10)
    except subprocess.TimeoutExpired:
        program.kill()
        program.wait()
        return float("inf")
    return time.monotonic() - started


def main():
    binary, runs = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 10
    scratch = tempfile.mkdtemp(prefix="varnex-bench-")
    runtime = os.path.join(scratch, "runtime")
    os.mkdir(runtime, 0o700)
    folder = os.path.join(scratch, "music")
    os.mkdir(folder)
    base = dict(os.environ, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(scratch, "config"),
                XDG_STATE_HOME=os.path.join(scratch, "state"))
    base.pop("WAYLAND_DISPLAY", None)
    services = [start(["Xvfb", ":97", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                      lambda: os.path.exists("/tmp/.X11-unix/X97"), base)]
    platforms = {"X11": dict(base, DISPLAY=":97", QT_QPA_PLATFORM="xcb")}
    if shutil.which("weston"):
        services.append(start(["weston", "--backend=headless-backend.so", "--socket=bench",
                               "--idle-time=0", "--no-config"],
                              lambda: os.path.exists(os.path.join(runtime, "bench")), base))
        wayland = dict(base, QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY="bench", QT_IM_MODULE="compose")
        wayland.pop("DISPLAY", None)
        platforms["Wayland"] = wayland
    try:
        print(f"SIGTERM to exit, median of {runs} runs")
        for case, args in (("window shown", [folder]), ("start-up warning waiting", [folder, folder])):
            medians = {name: statistics.median(seconds_to_end(binary, env, args) for _ in range(runs))
                       for name, env in platforms.items()}
            line = "  ".join(f"{name}: {value * 1000:7.1f} ms" for name, value in medians.items())
            if len(medians) == 2:
                line += f"  Wayland/X11: {medians['Wayland'] / medians['X11']:.2f}x"
            print(f"  {case:26} {line}")
    finally:
        for service in services:
            service.terminate()
            service.wait()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
