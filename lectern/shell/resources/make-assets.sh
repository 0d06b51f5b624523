#!/usr/bin/env bash
# Regenerates the program's images (needs ImageMagick's `convert`):
#   loading_big.gif        32x32 spinner, 12 frames of 50 ms, looping forever
#   icons/lectern-<N>.png  window icon at 256, 128, 48, 32 and 16 pixels
#   lectern.ico            the same five images for the Windows icon group
# The generated files are kept in the repository; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Spinner: twelve teal dots on a circle, the darkest one stepping on by one dot
# per frame and the ones behind it fading towards white.
frames=()
for frame in $(seq 0 11); do
    draw=()
    for dot in $(seq 0 11); do
        age=$(( (frame - dot + 12) % 12 ))
        read -r colour x y r < <(awk -v d="$dot" -v age="$age" 'BEGIN {
            a = d * 3.14159265 / 6; x = 16 + 12 * sin(a); y = 16 - 12 * cos(a)
            t = age / 12.0
            printf "rgb(%d,%d,%d) %.2f %.2f %.2f\n", 31 + 224 * t, 111 + 144 * t, 139 + 116 * t,
                   x, y, x + 2.3 }')
        draw+=(-fill "$colour" -draw "circle $x,$y $r,$y")
    done
    convert -size 32x32 xc:white "${draw[@]}" "$work/frame-$frame.png"
    frames+=("$work/frame-$frame.png")
done
# The white background becomes transparent, so the spinner sits on any page.
convert -delay 5 -loop 0 -dispose background "${frames[@]}" -transparent white loading_big.gif

# Icon: a white speech bubble with three dots on a rounded teal square.
mkdir -p icons
convert -size 256x256 xc:none \
    -fill '#1f6f8b' -draw 'roundrectangle 8,8 247,247 48,48' \
    -fill white -draw 'roundrectangle 44,56 212,170 34,34' \
    -draw 'polygon 84,164 128,164 76,212' \
    -fill '#1f6f8b' -draw 'circle 88,113 88,127' -draw 'circle 128,113 128,127' \
    -draw 'circle 168,113 168,127' \
    "$work/icon.png"
sizes=(256 128 48 32 16)
for size in "${sizes[@]}"; do
    convert "$work/icon.png" -filter Lanczos -resize "${size}x${size}" \
        -depth 8 -define png:color-type=6 "icons/lectern-$size.png"
done
icon_files=()
for size in "${sizes[@]}"; do
    icon_files+=("icons/lectern-$size.png")
done
convert "${icon_files[@]}" lectern.ico
