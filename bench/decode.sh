#!/bin/sh
# Builds the decode benchmark in Release and runs it. Arguments go to the
# benchmark: --quick skips the largest pictures.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DGALVORA_GUI=OFF -DGALVORA_TESTS=OFF -DGALVORA_BENCH=ON >/dev/null
nice ninja -C "$build" bench_decode
"$build/bin/bench_decode" "$@"
