#!/usr/bin/env bash
# Runs one end-to-end test file with a session bus of its own, so that the program's accessibility
# tree can be read as a screen reader would; the test harness starts its own virtual display.
set -euo pipefail
exec dbus-run-session -- /usr/bin/python3 "$@" 2> >(grep -v -e 'Failed to set fd limit' >&2)
