#!/usr/bin/env bash
# Installs what is missing, builds every target of one preset and runs every test.
# Usage: scripts/test.sh [default|asan|debug|clang]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
scripts/build.sh "$preset"
ctest --preset "$preset"
# The fuzz run needs only one build flavour; CI's default pass runs it.
if [ "$preset" = default ]; then
  scripts/fuzz.sh
fi
