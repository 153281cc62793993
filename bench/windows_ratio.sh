#!/usr/bin/env bash
# Photo import through the Windows module under wine against the Linux
# module, on the same machine and the same photos: both add every photo to a
# show through the interfaces (the copy, the EXIF read and the thumbnail 100
# pixels high, made by reducing inside the DCT and scaling), libjpeg-turbo's
# SIMD code on both.
#
#   bench/windows_ratio.sh [PHOTOS] [ROUNDS]
#
# Needs the default and windows presets built (scripts/test-windows builds
# both). Makes PHOTOS (default 6) 4000 x 3000 camera-like JPEGs at quality
# 90 without an embedded preview, as bench/thumbnail_peers.sh does; each
# module adds them all ROUNDS (default 5) times and its best round counts.
# Wine's start is outside the timing.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-6}
rounds=${2:-5}
linux=$here/build/tests/windows_clients/module_timing
windows=$here/build-windows/tests/windows_clients/module_timing.exe
module=$here/build-windows/bin/TavirelleHelper.dll
wine_run=$here/build-windows/wine/wine-run
for built in "$linux" "$windows" "$module" "$wine_run"; do
  [[ -e $built ]] || { echo "windows_ratio.sh: $built is not built (run scripts/test-windows)" >&2; exit 1; }
done
command -v cjpeg >/dev/null || { echo "cjpeg is needed (libjpeg-turbo-progs)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -o "$work/photo" "$here/bench/photo_generator.c" -lm
photos=()
for ((i = 1; i <= count; ++i)); do
  "$work/photo" 4000 3000 "$i" | cjpeg -quality 90 >"$work/photo$i.jpg"
  photos+=("photo$i.jpg")
done
mkdir "$work/linux" "$work/windows"

# Both run from the photos' folder and name them relative to it.
cd "$work"
linux_line=$("$linux" "$work/linux/" "$rounds" "${photos[@]}")
windows_line=$("$wine_run" "$windows" "--module=Z:$module" "Z:$work/windows/" "$rounds" \
               "${photos[@]}")
echo "photos: $count x 4000x3000 quality 90, no embedded preview"
echo "Linux module:            $linux_line"
echo "Windows module (wine):   $windows_line"
awk -v l="${linux_line%% ms*}" -v w="${windows_line%% ms*}" \
  'BEGIN { printf "ratio Windows/Linux:     %.2f\n", w / l }'
