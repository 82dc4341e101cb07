#!/usr/bin/env bash
# Remakes docs/screenshot.png, the README's picture: the real program, from the release build that
# ./run uses, on a virtual screen, showing ~/Music/Album of a made-up user with a few made-up songs.
# That home is an empty file system mounted on /home in a mount namespace of this script's own, so
# the picture shows a path like the reader's and nothing of this machine; the program is copied
# out of the way first, as the clone may live under /home.
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in Xvfb xdotool import unshare; do
  command -v "$tool" >/dev/null || {
    echo "make-screenshot: $tool is missing; scripts/install-deps.sh test installs it" >&2
    exit 1
  }
done

if [[ ! -f build/release/build.ninja ]]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build build/release --target varnex >/dev/null

scratch=$(mktemp -d /tmp/varnex-screenshot.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cp build/release/app/varnex "$scratch/varnex"

# Runs in the namespace: a fresh /home, the display, the program, the picture.
shoot() {
  local scratch=$1 display xvfb varnex window
  mount -t tmpfs -o mode=0755 tmpfs /home
  export HOME=/home/ann
  mkdir -p "$HOME/Music/Album" "$HOME/.runtime"
  chmod 0700 "$HOME/.runtime"
  for song in "01 Morning Tide" "02 Paper Lanterns" "03 Northbound" "04 Quiet Harbour" \
    "05 Last Ferry Home"; do
    : >"$HOME/Music/Album/$song.mp3"
  done
  export XDG_CONFIG_HOME=$HOME/.config XDG_STATE_HOME=$HOME/.local/state
  export XDG_RUNTIME_DIR=$HOME/.runtime QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
  unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$scratch/display" 2>/dev/null &
  xvfb=$!
  while [[ ! -s $scratch/display ]]; do sleep 0.1; done
  read -r display <"$scratch/display"
  export DISPLAY=:$display

  (cd "$HOME" && exec "$scratch/varnex" "$HOME/Music/Album") &
  varnex=$!
  window=$(xdotool search --sync --onlyvisible --name '^Varnex by Tomvik$' | head -n 1)
  sleep 1 # the list is filled before the window shows; this lets the last paint land
  import -window "$window" "$scratch/screenshot.png"
  kill "$varnex" "$xvfb"
  wait || true
}

namespace=(unshare --mount)
[[ $(id -u) -eq 0 ]] || namespace=(unshare --user --map-root-user --mount)
"${namespace[@]}" bash -c "set -euo pipefail; $(declare -f shoot); shoot '$scratch'"
cp "$scratch/screenshot.png" docs/screenshot.png
echo "make-screenshot: docs/screenshot.png remade" >&2
