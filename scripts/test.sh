#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with CTest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
cmake -G Ninja -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGALVORA_BENCH=OFF >/dev/null
cmake --build "$root/build"
cd "$root/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
