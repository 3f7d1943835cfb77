#!/usr/bin/env bash
# korvex-cli recover against PhotoRec (Debian package testdisk) on the same page-cached image, one
# after the other: files written, files byte-identical to some file of TRUTH_DIR, wall time, ratio.
# Usage: bench/compare_photorec.sh IMAGE [TRUTH_DIR]
#        bench/compare_photorec.sh card [COUNT]
#   "card" makes (once) a 256 MB FAT32 card in $TMPDIR of COUNT (default 300) photos made by
#   ImageMagick, copied on with mtools, a third of them deleted and the card formatted again, and
#   compares on it with the photos as the truth. Needs testdisk; "card" also dosfstools, mtools and
#   imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${KORVEX_CLI:-build/release/src/cli/korvex-cli}
tmp=${TMPDIR:-/tmp}

if [ "${1:-}" = card ]; then
  count=${2:-300}
  image=$tmp/korvex-compare-card-$count.img
  truth=$tmp/korvex-compare-card-$count.truth
  if [ ! -f "$image" ]; then
    echo "making $image ($count photos)" >&2
    rm -rf "$truth"
    mkdir -p "$truth"
    for i in $(seq 1 "$count"); do
      convert -size 640x480 -seed "$i" plasma:fractal -quality 88 "$truth/$(printf 'IMG_%04d.JPG' "$i")"
    done
    mkfs.fat -F 32 -C --invariant -n "COMPARE" "$image" 262144 >/dev/null
    export MTOOLS_SKIP_CHECK=1
    mmd -i "$image" ::/DCIM
    mcopy -i "$image" "$truth"/*.JPG ::/DCIM/
    for i in $(seq 3 3 "$count"); do mdel -i "$image" "::/DCIM/$(printf 'IMG_%04d.JPG' "$i")"; done
    mkfs.fat -F 32 --invariant -n "COMPARE" "$image" >/dev/null
  fi
else
  image=${1:?usage: bench/compare_photorec.sh IMAGE [TRUTH_DIR] | card [COUNT]}
  truth=${2:-}
fi
image=$(realpath "$image")
[ -z "$truth" ] || truth=$(realpath "$truth")
command -v photorec >/dev/null || { echo "photorec not found (apt-get install testdisk)" >&2; exit 1; }
if [ ! -x "$cli" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target korvex-cli >/dev/null
fi

work=$(mktemp -d "$tmp/korvex-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Both read the image from the page cache.
cat "$image" > /dev/null

now() { date +%s.%N; }
# Files written below a folder (PhotoRec's report.xml is no recovered file).
written() { find "$1" -type f ! -name report.xml ! -name photorec.log | wc -l; }
identical() {
  [ -n "$truth" ] || { echo "-"; return; }
  find "$1" -type f ! -name report.xml ! -name photorec.log -exec sha256sum {} + | cut -d' ' -f1 | sort > "$work/got"
  find "$truth" -type f -exec sha256sum {} + | cut -d' ' -f1 | sort -u > "$work/want"
  # Recovered files whose bytes equal some truth file.
  grep -cxFf "$work/want" "$work/got" || true
}

mkdir -p "$work/photorec"
start=$(now)
(cd "$work/photorec" && photorec /log /d "$work/photorec/recup" /cmd "$image" partition_none,fileopt,everything,enable,search \
  >/dev/null 2>&1 </dev/null)
photorec_time=$(echo "$(now) - $start" | bc)

start=$(now)
"$cli" recover "$image" --out "$work/korvex" >/dev/null 2>&1
korvex_time=$(echo "$(now) - $start" | bc)

printf '%-12s %8s %10s %10s\n' tool written identical seconds
printf '%-12s %8s %10s %10.3f\n' PhotoRec "$(written "$work/photorec")" "$(identical "$work/photorec")" "$photorec_time"
printf '%-12s %8s %10s %10.3f\n' korvex-cli "$(written "$work/korvex")" "$(identical "$work/korvex")" "$korvex_time"
if [ -n "$truth" ]; then echo "truth files: $(find "$truth" -type f | wc -l)"; fi
printf 'time ratio korvex-cli / PhotoRec: %.2f\n' "$(echo "$korvex_time / $photorec_time" | bc -l)"
