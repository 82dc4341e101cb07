#!/usr/bin/env bash
# Installs the Debian packages that building (and, with "test", testing) needs, and only those
# that are missing, so a second run costs a dpkg query and nothing else.
set -euo pipefail

build_packages=(
  cmake ninja-build g++ lld pkg-config
  qt6-base-dev libgl-dev libfontconfig-dev qt6-qpa-plugins fonts-dejavu-core fonts-liberation2
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libjpeg62-turbo-dev xdg-utils
)
test_packages=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils weston qt6-wayland
  dbus dbus-x11 at-spi2-core python3 python3-pyatspi
  ntfs-3g exfat-fuse exfatprogs e2fsprogs python3-fusepy python3-xlib locales
  gstreamer1.0-tools playerctl
  appstream desktop-file-utils dpkg-dev file imagemagick clang-format lintian libglib2.0-bin qt6ct
)

wanted=("${build_packages[@]}")
if [[ ${1:-} == test ]]; then
  wanted+=("${test_packages[@]}")
fi

# The locales whose collation the tests check, generated when missing (as root only: a test
# skips, saying why, when its locale is not there).
make_test_locales() {
  [[ $(id -u) -eq 0 ]] || return 0
  local name
  for name in fr_FR en_US; do
    locale -a 2>/dev/null | grep -qix "$name.utf-\?8" || localedef -i "$name" -f UTF-8 "$name.UTF-8" || true
  done
}

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  [[ ${1:-} == test ]] && make_test_locales
  exit 0
fi

echo "Installing missing Debian packages with apt-get (once): ${missing[*]}" >&2
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
[[ ${1:-} == test ]] && make_test_locales
exit 0
