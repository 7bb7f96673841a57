#!/usr/bin/env bash
# Installs what Wavelot needs, checks the format of the sources, then builds and runs every test
# twice: a plain build, then a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh
# The tests mostly wait on servers and the clock (a suite uses about a fifth of a core), so they
# run two per core.
jobs=$(( $(nproc) * 2 ))
for kind in plain sanitize; do
  dir=build; [ "$kind" = sanitize ] && dir=build-asan
  echo "== $kind build =="
  scripts/build.sh "$kind"
  echo "== $kind tests =="
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
done
