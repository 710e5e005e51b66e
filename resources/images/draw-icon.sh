#!/bin/sh
# Draws the application icon at one size: $1 = edge in pixels, $2 = output PNG.
# Coordinates are on a 48-unit grid and scaled to the requested size.
set -e
s=$1
k() { echo "$1 * $s / 48" | bc -l | xargs printf '%.2f'; }
convert -size "${s}x${s}" xc:none \
  -fill '#1d5fbf' -stroke '#0f3d87' -strokewidth "$(k 1)" \
  -draw "roundrectangle $(k 1),$(k 1) $(k 46.5),$(k 46.5) $(k 8),$(k 8)" \
  -stroke none -fill white \
  -draw "roundrectangle $(k 5),$(k 13) $(k 37),$(k 35) $(k 4),$(k 4)" \
  -draw "roundrectangle $(k 12),$(k 8) $(k 23),$(k 15) $(k 2),$(k 2)" \
  -fill '#1d5fbf' -draw "circle $(k 21),$(k 24) $(k 21),$(k 17)" \
  -fill '#9fd0ff' -draw "circle $(k 21),$(k 24) $(k 21),$(k 20.5)" \
  -stroke '#ffb400' -strokewidth "$(k 4.5)" -fill none \
  -draw "line $(k 38),$(k 38) $(k 44),$(k 44)" \
  -strokewidth "$(k 3)" -fill '#ffffff' \
  -draw "circle $(k 34),$(k 34) $(k 34),$(k 27.5)" \
  -define png:exclude-chunk=date,time -strip "PNG32:$2"
