#!/usr/bin/env bash
# Makes the about panel's picture (548 x 372 colour JPEG) and icon (32 x 32, 16 colours) with
# ImageMagick. The results are kept in about/art, so building needs neither this script nor
# ImageMagick; run it again only to change the pictures.
set -euo pipefail
cd "$(dirname "$0")/../about/art"

# A dusk sky over rolling sound waves. Each wave is a closed path whose closing side lies
# below the picture, so only the curve shows.
convert -size 548x372 gradient:'#12244a-#e8a35c' \
  \( -size 548x372 xc:none -stroke '#f6e7c1' -strokewidth 3 -fill none \
     -draw "path 'M -9,500 L -9,250 C 90,180 180,320 274,250 S 460,180 557,250 L 557,500'" \
     -draw "path 'M -9,500 L -9,290 C 90,220 180,360 274,290 S 460,220 557,290 L 557,500'" \
     -draw "path 'M -9,500 L -9,330 C 90,260 180,400 274,330 S 460,260 557,330 L 557,500'" \) \
  -composite \
  -fill '#fff4d6' -stroke none -draw "circle 420,110 420,70" \
  -quality 90 -sampling-factor 2x2 picture.jpg

# A navy disc with a note in it, reduced to 16 colours.
convert -size 32x32 xc:none -fill '#1b2f6b' -draw "circle 16,16 16,1" \
  -fill white -draw "ellipse 12,22 5,4 0,360" -draw "rectangle 15,7 17,22" \
  -draw "polygon 17,7 24,10 24,13 17,10" \
  -colors 16 PNG8:icon.png
