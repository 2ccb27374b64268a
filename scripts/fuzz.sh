#!/usr/bin/env bash
# Builds the settings-file fuzz target (clang, libFuzzer, ASan + UBSan) into
# build-fuzz/ and runs it on a copy of the seed corpus for a bounded time
# (FUZZ_SECONDS, default 30). Any crash, sanitizer report, leak or hang fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-fuzz
seconds="${FUZZ_SECONDS:-30}"

echo "fuzz: building the settings fuzz target in $build/"
cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target settings_fuzz -j "$(nproc)"

corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
cp tests/fuzz/corpus/* "$corpus/"
mkdir -p "$build/artifacts"

echo "fuzz: running for ${seconds}s (crash inputs go to $build/artifacts/)"
"$build/settings_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=70000 -print_final_stats=1 -artifact_prefix="$build/artifacts/" "$corpus"
echo "fuzz: no crash"
