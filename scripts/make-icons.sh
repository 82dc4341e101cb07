#!/usr/bin/env bash
# Renders the program's icon (data/icons/org.example.Varnex.svg) to the hicolor sizes that
# desktops look for. The PNGs are kept in the repository, so building needs no renderer.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" org.example.Varnex.svg -o "org.example.Varnex-$size.png"
done
