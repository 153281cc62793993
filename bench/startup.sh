#!/usr/bin/env bash
# Start-up cost of the tavirelle command against a small command of the same
# kind (libjpeg-turbo's djpeg): scripts run one process per photo, so the
# time to start and exit matters as much as the work.
#
#   bench/startup.sh [TAVIRELLE] [ROUNDS]
#
# Each round runs `tavirelle --version` and `djpeg -version` once, in
# alternating order, so that both see the same machine load; the medians of
# the per-run wall times are printed with their difference. djpeg comes from
# the Debian package libjpeg-turbo-progs.
set -euo pipefail
cd "$(dirname "$0")/.."
tavirelle="${1:-build/tavirelle}"
rounds="${2:-200}"
djpeg="$(command -v djpeg || true)"
if [ -z "$djpeg" ]; then
  echo "startup.sh: djpeg is missing; install libjpeg-turbo-progs" >&2
  exit 1
fi
if [ ! -x "$tavirelle" ]; then
  echo "startup.sh: $tavirelle is not a program; build it first" >&2
  exit 1
fi

# Wall time of one run in microseconds, in $elapsed. EPOCHREALTIME is read
# by the shell itself, so no timing process is started around the run.
run_wall() {
  local start="${EPOCHREALTIME/./}"
  "$@" >/dev/null 2>&1
  elapsed=$((${EPOCHREALTIME/./} - start))
}

# CPU time (task-clock) of one run in microseconds, in $elapsed: steadier
# than wall time on a machine that other work keeps busy.
perf_out="$(mktemp)"
trap 'rm -f "$perf_out"' EXIT
run_cpu() {
  perf stat -x, -e task-clock -o "$perf_out" -- "$@" >/dev/null 2>&1
  elapsed="$(awk -F, '/task-clock/ { printf "%d", $1 * 1000 }' "$perf_out")"
}
use_perf=0
if command -v perf >/dev/null && run_cpu true && [ -n "$elapsed" ]; then use_perf=1; fi

median() {
  sort -n | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# Warm the page cache and the dynamic loader's caches for both.
for _ in 1 2 3 4 5; do
  "$tavirelle" --version >/dev/null 2>&1
  "$djpeg" -version >/dev/null 2>&1
done

ms() { awk -v us="$1" 'BEGIN { printf "%.2f ms", us / 1000 }'; }

# Paired rounds: each runs both programs, the order alternating.
compare() {
  local kind="$1" runner="$2" i ours=() theirs=()
  for ((i = 0; i < rounds; i++)); do
    if ((i % 2)); then
      "$runner" "$tavirelle" --version; ours+=("$elapsed")
      "$runner" "$djpeg" -version; theirs+=("$elapsed")
    else
      "$runner" "$djpeg" -version; theirs+=("$elapsed")
      "$runner" "$tavirelle" --version; ours+=("$elapsed")
    fi
  done
  local ours_median theirs_median
  ours_median="$(printf '%s\n' "${ours[@]}" | median)"
  theirs_median="$(printf '%s\n' "${theirs[@]}" | median)"
  echo "$kind, median of $rounds runs each:"
  echo "  tavirelle --version: $(ms "$ours_median")"
  echo "  djpeg -version:      $(ms "$theirs_median")"
  echo "  difference:          $(ms $((ours_median - theirs_median)))"
}

compare "wall time" run_wall
if ((use_perf)); then
  compare "CPU time (perf task-clock)" run_cpu
else
  echo "(perf is missing or not allowed here: CPU times not measured)"
fi
