#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, making fixtures and the benchmarks need.
# Safe to run again: it installs only what is missing and updates the package lists only then.
# With --fixtures it also installs the large tools that only the fixture scripts of tests/fixtures use
# (the fixtures are committed, so building and testing never need them).
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config make git xz-utils
  zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
  clang libclang-rt-14-dev clang-format
  dosfstools mtools fdisk util-linux ntfs-3g python3
  imagemagick libimage-exiftool-perl
  testdisk  # PhotoRec, the peer of bench/compare_photorec.sh
)
# Only for remaking fixtures: installed with --fixtures.
fixture_packages=(
  ffmpeg  # the audio and video samples of tests/fixtures/make_media_samples.sh
)
[ "${1:-}" = "--fixtures" ] && packages+=("${fixture_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Waits for another apt run rather than failing on its lock.
apt=(apt-get -o DPkg::Lock::Timeout=1200)
"${sudo[@]}" "${apt[@]}" update -qq
"${sudo[@]}" "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
