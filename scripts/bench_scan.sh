#!/usr/bin/env bash
# Scan throughput against `cat > /dev/null` on the same page-cached image, in the same run.
# Usage: scripts/bench_scan.sh [--raw] [IMAGE | mixed]
#   IMAGE defaults to a 2 GiB file of random bytes in $TMPDIR; "mixed" is a 1 GiB image of the real
#   picture samples of the tests, each starting a sector, repeated between stretches of random bytes.
# Without --raw the controllers do nothing (the search machine's own overhead); with it the RAW
# controller offers every sector to every analyser.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=()
if [ "${1:-}" = --raw ]; then
  mode=(--raw)
  shift
fi
image=${1:-${TMPDIR:-/tmp}/korvex-bench-2g.img}
cmake --preset release -DKORVEX_BUILD_BENCH=ON >/dev/null
cmake --build --preset release --target bench_scan_throughput korvex_test_data >/dev/null
if [ "$image" = mixed ]; then
  image=${TMPDIR:-/tmp}/korvex-bench-mixed-1g.img
  if [ ! -f "$image" ]; then
    echo "making $image (1 GiB of picture samples and random bytes)"
    python3 - "$image" build/release/tests/data/pictures <<'PY'
import os, random, sys
out, folder = sys.argv[1], sys.argv[2]
samples = [open(os.path.join(folder, n), "rb").read() for n in sorted(os.listdir(folder))]
rng = random.Random(1)
with open(out, "wb") as f:
    size = 0
    while size < 1 << 30:
        for data in samples:
            gap = os.urandom(512 * rng.randint(1, 64))
            padded = data + bytes(-len(data) % 512)
            f.write(gap + padded)
            size += len(gap) + len(padded)
    f.truncate(1 << 30)
PY
  fi
elif [ ! -f "$image" ]; then
  echo "making $image (2 GiB)"
  head -c $((2 << 30)) /dev/urandom > "$image"
fi
bench=build/release/bench/bench_scan_throughput

cat "$image" > /dev/null  # into the page cache
best() {  # best wall time of five runs of "$@", in seconds
  local best=999999 start end
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    best=$(awk -v t="$(( end - start ))" -v b="$best" 'BEGIN { t /= 1e9; print (t < b) ? t : b }')
  done
  echo "$best"
}
cat_s=$(best sh -c "cat '$image' > /dev/null")
scan_s=$(best "$bench" "${mode[@]}" "$image")
echo "cat > /dev/null: ${cat_s} s   scan${mode:+ ${mode[*]}}: ${scan_s} s"
awk -v c="$cat_s" -v s="$scan_s" 'BEGIN { printf "throughput ratio (scan / cat): %.2f\n", c / s }'
