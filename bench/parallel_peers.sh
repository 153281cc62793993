#!/usr/bin/env bash
# The command on every core against what a user would run instead, on the
# same files, in one run:
#
#   import     tavirelle author (all cores)     against author --jobs 1
#   pack       tavirelle pack                   against tar cf
#   verify     tavirelle verify                 against md5sum of the files
#   extract    tavirelle extract                against md5sum of the files
#   thumbnail  tavirelle thumbnail --out-dir    against the decode floor,
#              (one process, all photos)        djpeg -scale 1/8 -dct fast
#                                               -nosmooth, one per photo
#
#   bench/parallel_peers.sh [TAVIRELLE] [ROUNDS] [PHOTOS] [PACK_FILES]
#
# TAVIRELLE defaults to build-bench/tavirelle (the "bench" preset). PHOTOS
# (default 30) camera-like 4000 x 3000 JPEGs are authored and thumbnailed;
# PACK_FILES (default 200) files of 1 MiB are packed, verified and extracted.
# Each round runs the project and its peer once each, in alternating order,
# so both see the same machine load; the table gives the median of each and
# the median of the per-round ratios, with the goal. Files stay in the page
# cache; they live under ${TAVIRELLE_BENCH_DIR:-/tmp}/tavirelle-parallel-peers
# and are kept between runs. djpeg and cjpeg come from libjpeg-turbo-progs.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
tavirelle=${1:-$here/build-bench/tavirelle}
rounds=${2:-7}
photos=${3:-30}
pack_files=${4:-200}
[[ -x $tavirelle ]] || { echo "parallel_peers.sh: no tavirelle command at $tavirelle" >&2; exit 1; }
command -v djpeg >/dev/null && command -v cjpeg >/dev/null ||
  { echo "parallel_peers.sh: djpeg and cjpeg are needed (libjpeg-turbo-progs)" >&2; exit 1; }

work=${TAVIRELLE_BENCH_DIR:-/tmp}/tavirelle-parallel-peers
mkdir -p "$work"

photo_dir="$work/photos$photos"
if [[ ! -f $photo_dir/done ]]; then
  mkdir -p "$photo_dir"
  cc -O2 -o "$work/photo_generator" "$here/bench/photo_generator.c" -lm
  for ((i = 1; i <= photos; ++i)); do
    "$work/photo_generator" 4000 3000 "$i" | cjpeg -quality 90 >"$photo_dir/photo$i.jpg"
  done
  touch "$photo_dir/done"
fi

# A show folder whose meta.xml names every file, so that extract writes all.
show="$work/show$pack_files"
if [[ ! -f $show/meta.xml ]]; then
  mkdir -p "$show"
  images=""
  for ((i = 1; i <= pack_files; ++i)); do
    head -c 1048576 /dev/urandom >"$show/photo$i.jpg"
    images+="<image onlineFilename=\"photo$i.jpg\"/>"
  done
  echo "<qx><show></show><images>$images</images></qx>" >"$show/meta.xml"
fi
rm -f "$work/show.pkg"
"$tavirelle" pack "$show" "$work/show.pkg" >/dev/null

python3 - "$tavirelle" "$work" "$rounds" "$photo_dir" "$show" <<'EOF'
import os, shutil, statistics, subprocess, sys, time

tavirelle, work, rounds, photo_dir, show = sys.argv[1:6]
rounds = int(rounds)
photos = sorted((os.path.join(photo_dir, n) for n in os.listdir(photo_dir) if n.endswith(".jpg")),
                key=lambda p: int(os.path.basename(p)[5:-4]))
show_files = [os.path.join(show, n) for n in sorted(os.listdir(show))]
package = os.path.join(work, "show.pkg")

def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    if os.path.exists(path):
        os.remove(path)

def run(*args):
    subprocess.run(list(args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)

def author(jobs):
    out = os.path.join(work, "authored")
    def go():
        run(tavirelle, "author", *(["--jobs", str(jobs)] if jobs else []), "--out", out, *photos)
    return go, lambda: fresh(out)

def pack():
    out = os.path.join(work, "packed.pkg")
    return lambda: run(tavirelle, "pack", show, out), lambda: fresh(out)

def tar():
    out = os.path.join(work, "packed.tar")
    return lambda: run("tar", "cf", out, "-C", show, "."), lambda: fresh(out)

def md5sum():
    return lambda: run("md5sum", *show_files), lambda: None

def verify():
    return lambda: run(tavirelle, "verify", package), lambda: None

def extract():
    out = os.path.join(work, "extracted")
    return lambda: run(tavirelle, "extract", package, out), lambda: fresh(out)

def thumbnails():
    out = os.path.join(work, "thumbnails")
    return lambda: run(tavirelle, "thumbnail", "--out-dir", out, *photos), lambda: fresh(out)

def floor():
    def go():
        for photo in photos:
            run("djpeg", "-scale", "1/8", "-dct", "fast", "-nosmooth", "-outfile", os.devnull, photo)
    return go, lambda: None

# (what, ours, peer, goal for ours / peer, per-photo figures)
cases = [
    ("import %d photos" % len(photos), author(None), author(1), 0.60, "author --jobs 1"),
    ("pack %d MiB" % (len(show_files) - 1), pack(), tar(), 1.00, "tar cf"),
    ("verify", verify(), md5sum(), 0.60, "md5sum"),
    ("extract", extract(), md5sum(), 0.60, "md5sum"),
    ("thumbnail, per photo", thumbnails(), floor(), 0.55, "djpeg 1/8 floor"),
]

def timed(case):
    go, clean = case
    clean()
    start = time.perf_counter()
    go()
    elapsed = time.perf_counter() - start
    clean()
    return elapsed

def load():
    with open("/proc/loadavg") as f:
        return f.read().split()[0]

print(f"{os.cpu_count()} cores; load {load()} at the start; {rounds} paired rounds; medians")
print(f"{'case':22} {'ours s':>8} {'peer':16} {'peer s':>8} {'ratio':>6} {'goal':>6}")
for name, ours, peer, goal, peer_name in cases:
    timed(ours), timed(peer)  # warm the caches
    ours_times, peer_times, ratios = [], [], []
    for r in range(rounds):
        if r % 2:
            o = timed(ours); p = timed(peer)
        else:
            p = timed(peer); o = timed(ours)
        ours_times.append(o); peer_times.append(p); ratios.append(o / p)
    scale = len(photos) if name.startswith("thumbnail") else 1
    ratio = statistics.median(ratios)
    print(f"{name:22} {statistics.median(ours_times) / scale:8.4f} {peer_name:16}"
          f" {statistics.median(peer_times) / scale:8.4f} {ratio:6.2f} {goal:6.2f}"
          f"{'' if ratio <= goal else '  (goal not met)'}")
print(f"load {load()} at the end")
EOF
