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

# A small generator of camera-like pictures: sky, hills, textured ground and
# sensor noise, so the encoder has real detail to code (about 3 MB at
# quality 90 for 12 megapixels).
cat >"$work/photo.c" <<'EOF'
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
int main(int argc, char** argv) {
  int w = atoi(argv[1]), h = atoi(argv[2]);
  unsigned seed = (unsigned)atoi(argv[3]) * 2654435761u + 1;
  unsigned char* row = malloc((size_t)w * 3);
  printf("P6\n%d %d\n255\n", w, h);
  double phase = (seed % 1000) / 160.0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double u = (double)x / w, v = (double)y / h;
      double horizon = 0.45 + 0.08 * sin(u * 9 + phase) + 0.03 * sin(u * 31);
      double r, g, b;
      if (v < horizon) {
        r = 90 + 120 * v; g = 140 + 90 * v; b = 230 - 40 * v;
        double cloud = sin(u * 13 + phase) * sin(v * 17 + u * 5);
        if (cloud > 0.6) { r += 70 * (cloud - 0.6); g += 70 * (cloud - 0.6); b += 20 * (cloud - 0.6); }
      } else {
        double t = sin(x * 0.09 + sin(y * 0.05) * 3) * sin(y * 0.11 + phase);
        r = 70 + 40 * t + 50 * v; g = 110 + 50 * t; b = 40 + 20 * t;
      }
      seed = seed * 1103515245u + 12345u;
      double noise = (double)((seed >> 16) & 31) - 15.5;
      double c[3] = {r + noise, g + noise * 0.8, b + noise * 1.2};
      for (int k = 0; k < 3; ++k)
        row[x * 3 + k] = (unsigned char)(c[k] < 0 ? 0 : c[k] > 255 ? 255 : c[k]);
    }
    fwrite(row, 3, (size_t)w, stdout);
  }
  free(row);
  return 0;
}
EOF
cc -O2 -o "$work/photo" "$work/photo.c" -lm

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
