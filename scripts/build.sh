#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [plain|sanitize] [ninja targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-plain}; shift || true
case "$kind" in
  # Line tables only (-g1): backtraces and sanitizer reports keep their files and lines, and the
  # build spends far less time writing debug information.
  plain)    dir=build;      flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG") ;;
  sanitize) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DWAVELOT_SANITIZE=ON -DWAVELOT_BENCH=OFF) ;;
  *) echo "usage: scripts/build.sh [plain|sanitize] [targets...]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -- "$@"
