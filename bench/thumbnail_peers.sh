#!/usr/bin/env bash
# Thumbnail making against the decode floor and against other tools, one
# process per photo, as photo import runs it.
#
#   bench/thumbnail_peers.sh [TAVIRELLE] [PHOTOS] [ROUNDS]
#
# TAVIRELLE is the built command (default: build-bench/tavirelle, from the
# "bench" preset). The script makes PHOTOS (default 6) 4000 x 3000 camera-like
# JPEGs at quality 90 without an embedded preview, and one 6000 x 4000 photo
# for the memory figure. Each tool makes a thumbnail 100 pixels high of every
# photo; a round times every tool once, in turn, and the best round of ROUNDS
# (default 5) counts, so other work on the machine disturbs the figures
# little. The floor is the decoder alone, reducing by 8 inside the DCT:
#   djpeg -scale 1/8 -dct fast -nosmooth FILE > /dev/null
# Peers run when installed (vipsthumbnail from libvips-tools, convert from
# imagemagick).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
tavirelle=${1:-$here/build-bench/tavirelle}
count=${2:-6}
rounds=${3:-5}
[[ -x $tavirelle ]] || { echo "no tavirelle command at $tavirelle" >&2; exit 1; }
command -v djpeg >/dev/null && command -v cjpeg >/dev/null ||
  { echo "djpeg and cjpeg are needed (libjpeg-turbo-progs)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cc -O2 -o "$work/photo" "$here/bench/photo_generator.c" -lm

photos=()
for ((i = 1; i <= count; ++i)); do
  "$work/photo" 4000 3000 "$i" | cjpeg -quality 90 >"$work/photo$i.jpg"
  photos+=("$work/photo$i.jpg")
done
"$work/photo" 6000 4000 99 | cjpeg -quality 90 >"$work/big.jpg"
size=$(du -k "${photos[0]}" | cut -f1)
echo "photos: $count x 4000x3000 quality 90 (${size} KiB each), best of $rounds rounds"

vips=$(command -v vipsthumbnail || true)
magick=""
for c in /usr/bin/convert /usr/bin/convert-im6.q16; do
  if [[ -x $c ]] && "$c" -version 2>/dev/null | grep -q ImageMagick; then magick=$c; break; fi
done

# Times every tool over every photo, one process per photo. Wall time
# counts; the CPU time of the processes (user + system) is shown too, as it
# is what other load on the machine disturbs least.
python3 - "$tavirelle" "$work" "$rounds" "$vips" "$magick" "${photos[@]}" <<'EOF'
import resource, subprocess, sys, time

tavirelle, work, rounds, vips, magick = sys.argv[1:6]
photos = sys.argv[6:]
rounds = int(rounds)

def command(tool, photo):
    return {
        "floor": ["djpeg", "-scale", "1/8", "-dct", "fast", "-nosmooth", photo],
        "ours": [tavirelle, "thumbnail", photo, work + "/ours.jpg"],
        "vips": [vips, photo, "--size", "x100", "-o", work + "/vips.jpg"],
        "magick": [magick, photo, "-thumbnail", "x100", work + "/magick.jpg"],
    }[tool]

def cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime

tools = ["floor", "ours"] + (["vips"] if vips else []) + (["magick"] if magick else [])
best_wall = {t: float("inf") for t in tools}
best_cpu = {t: float("inf") for t in tools}
for _ in range(rounds):
    for tool in tools:
        wall0, cpu0 = time.perf_counter(), cpu()
        for photo in photos:
            subprocess.run(command(tool, photo), stdout=subprocess.DEVNULL, check=True)
        best_wall[tool] = min(best_wall[tool], time.perf_counter() - wall0)
        best_cpu[tool] = min(best_cpu[tool], cpu() - cpu0)

def peak_rss_mib(tool):
    run = subprocess.run(["/usr/bin/time", "-v"] + command(tool, work + "/big.jpg"),
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in run.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1]) / 1024
    return float("nan")

n = len(photos)
print(f"{'tool':8} {'wall ms':>9} {'x floor':>8} {'cpu ms':>8} {'x floor':>8} {'peak RSS 24 MP':>15}")
for tool in tools:
    print(f"{tool:8} {best_wall[tool] / n * 1e3:9.2f} {best_wall[tool] / best_wall['floor']:8.3f}"
          f" {best_cpu[tool] / n * 1e3:8.2f} {best_cpu[tool] / best_cpu['floor']:8.3f}"
          f" {peak_rss_mib(tool):11.1f} MiB")
EOF
