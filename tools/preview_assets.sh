#!/usr/bin/env bash
# Composes one 640 x 480 view of the game's pictures the way the game shows them: the background
# scrolled at half the camera's offset, the land over it with index 0 see-through, a tank standing
# on the ground with its barrel line raised 30 degrees, and a bomb resting on the surface.
#
# Usage: tools/preview_assets.sh [assets dir] [output png] [camera x] [camera y]
# Needs ImageMagick's convert and python3 (to find the ground under the tank and the bomb).
set -euo pipefail

assets="${1:-assets}"
output="${2:-/tmp/kelto-preview.png}"
cameraX="${3:-320}"
cameraY="${4:-240}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# First solid row of a land column, read straight from the bottom-up 8-bit land picture.
surface_y() {
    python3 - "$assets/land.bmp" "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
width, height = struct.unpack_from("<ii", data, 18)
stride = (width + 3) & ~3
column = int(sys.argv[2])
for y in range(height):
    if data[offset + (height - 1 - y) * stride + column] != 0:
        print(y)
        break
else:
    print(height)
EOF
}

tankX=$((cameraX + 470))
tankY=$(($(surface_y $((tankX + 17))) - 20))
bombX=$((cameraX + 560))
bombY=$(($(surface_y $((bombX + 5))) - 10))

# Barrel: 70 pixels from the middle of the tank's box, 30 degrees above the horizontal.
barrelX0=$((tankX + 17 - cameraX))
barrelY0=$((tankY + 10 - cameraY))
barrelX1=$((barrelX0 + 60))
barrelY1=$((barrelY0 - 35))

convert "$assets/background.bmp" -crop "640x480+$((cameraX / 2))+$((cameraY / 2))" +repage "$work/back.png"
convert "$assets/land.bmp" -crop "640x480+${cameraX}+${cameraY}" +repage -transparent '#000000' "$work/land.png"
convert "$assets/tank.bmp" -transparent '#000000' "$work/tank.png"
convert "$assets/bomb.bmp" -transparent '#000000' "$work/bomb.png"

convert "$work/back.png" "$work/land.png" -composite \
    -stroke white -draw "line $barrelX0,$barrelY0 $barrelX1,$barrelY1" \
    "$work/tank.png" -geometry "+$((tankX - cameraX))+$((tankY - cameraY))" -composite \
    "$work/bomb.png" -geometry "+$((bombX - cameraX))+$((bombY - cameraY))" -composite \
    "$output"
echo "$output"
