#!/usr/bin/env bash
# The other players the benchmarks measure Wavelot against (bench/peers). Never needed to build,
# run or test Wavelot; the test command does not call this.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
SUDO=()
if [ "$(id -u)" -ne 0 ]; then SUDO=(sudo -E); fi
missing=()
for p in mpv ffmpeg; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get update -q
  "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
