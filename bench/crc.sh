#!/bin/sh
# Times ReadCRC against zlib's crc32() over a cached 1 GiB file.
# Usage: bench/crc.sh [BUILD_DIR]   (default: build-bench beside the sources)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
if [ ! -f "$build/build.ninja" ]; then
  cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DGALVORA_GUI=OFF -DGALVORA_TESTS=OFF >/dev/null
fi
nice ninja -C "$build" crc_bench ZentCRC >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
head -c 1073741824 /dev/urandom >"$tmp/data.bin"
cat "$tmp/data.bin" >/dev/null # warm the page cache
"$build/bin/crc_bench" "$tmp/data.bin" "${ROUNDS:-3}"
