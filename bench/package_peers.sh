#!/bin/bash
# Compares packing and opening show packages with the tools a user would
# reach for, on the same files, in one run:
#   packing 200 photo-sized files: md5sum (the one-pass floor), cat > file
#   (the cost of writing the bytes once), tar cf, zip -0 -r, tavirelle pack;
#   opening a package and reading meta.xml: unzip -p on a zip of the same
#   files against tavirelle meta, for 10 and 10,000 entries.
#
# usage: bench/package_peers.sh [TAVIRELLE] [PHOTOS] [PHOTO_MB]
# TAVIRELLE defaults to build-bench/tavirelle; the files live under
# ${TAVIRELLE_BENCH_DIR:-/tmp}/tavirelle-package-peers and are kept between runs.
set -euo pipefail
tavirelle=${1:-build-bench/tavirelle}
photos=${2:-200}
photo_mb=${3:-5}
work=${TAVIRELLE_BENCH_DIR:-/tmp}/tavirelle-package-peers
mkdir -p "$work"

# Best of three wall-clock times, in seconds.
best() {
  local best_time=
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    local t
    t=$(echo "$end - $start" | bc)
    if [ -z "$best_time" ] || [ "$(echo "$t < $best_time" | bc)" = 1 ]; then best_time=$t; fi
  done
  printf '%.3f' "$best_time"
}

show="$work/show$photos"
if [ ! -d "$show" ]; then
  mkdir -p "$show"
  for i in $(seq 1 "$photos"); do
    head -c $((photo_mb * 1048576)) /dev/urandom >"$show/photo$i.jpg"
  done
  echo '<qx><show></show><images><image onlineFilename="photo1.jpg"/></images></qx>' >"$show/meta.xml"
fi
cat "$show"/* >/dev/null  # into the page cache

pack_tavirelle() { rm -f "$work/out.pkg"; "$tavirelle" pack "$show" "$work/out.pkg"; }
pack_tar() { rm -f "$work/out.tar"; tar cf "$work/out.tar" -C "$show" .; }
pack_zip() { rm -f "$work/out.zip"; (cd "$show" && zip -q -0 -r "$work/out.zip" .); }
write_once() { cat "$show"/* >"$work/out.cat"; }

echo "packing $photos files of $photo_mb MB"
md5=$(best md5sum "$show"/*)
echo "  md5sum          $md5 s"
echo "  cat > file      $(best write_once) s"
echo "  tar cf          $(best pack_tar) s"
echo "  zip -0 -r       $(best pack_zip) s"
if [ -x "$tavirelle" ]; then
  pack=$(best pack_tavirelle)
  echo "  tavirelle pack  $pack s  ($(echo "scale=2; $pack / $md5" | bc)x md5sum)"
fi
rm -f "$work/out.pkg" "$work/out.tar" "$work/out.zip" "$work/out.cat"

for entries in 10 10000; do
  folder="$work/entries$entries"
  if [ ! -d "$folder" ]; then
    mkdir -p "$folder"
    for i in $(seq 1 $((entries - 1))); do head -c 1000 /dev/zero >"$folder/image$i.jpg"; done
    echo '<qx><show></show><images><image onlineFilename="image1.jpg"/></images></qx>' >"$folder/meta.xml"
  fi
  rm -f "$work/entries$entries.zip" "$work/entries$entries.pkg"
  (cd "$folder" && zip -q -0 -r "$work/entries$entries.zip" .)
  echo "opening and reading meta.xml, $entries entries"
  echo "  unzip -p        $(best unzip -p "$work/entries$entries.zip" meta.xml) s"
  if [ -x "$tavirelle" ]; then
    "$tavirelle" pack "$folder" "$work/entries$entries.pkg" >/dev/null
    echo "  tavirelle meta  $(best "$tavirelle" meta "$work/entries$entries.pkg") s"
  fi
done
