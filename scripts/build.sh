#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [plain|sanitize] [ninja targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-plain}; shift || true
case "$kind" in
  plain)    dir=build;      flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DWAVELOT_SANITIZE=ON -DWAVELOT_BENCH=OFF) ;;
  *) echo "usage: scripts/build.sh [plain|sanitize] [targets...]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -- "$@"
