#!/usr/bin/env bash
# Installs what Wavelot needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh plain wavelot
exec build/app/wavelot "$@"
