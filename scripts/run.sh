#!/usr/bin/env bash
# Installs what is missing, builds Galvora and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
cmake -G Ninja -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DGALVORA_TESTS=OFF -DGALVORA_BENCH=OFF >/dev/null
cmake --build "$root/build" --target Galvora
exec "$root/build/out/Galvora"
