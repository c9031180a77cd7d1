#!/usr/bin/env bash
# Thumbnail speed: Galvora's thumbnail code against vipsthumbnail and
# ImageMagick on the same photographs, all on one core, all making
# 100-pixel-wide progressive quality-50 JPEGs. Prints pictures per second.
#   bench/thumbnails.sh [BUILD_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"

bash "$root/scripts/deps.sh" plasma-workspace-wallpapers libvips-tools imagemagick

cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DGALVORA_GUI=ON -DGALVORA_TESTS=OFF -DGALVORA_BENCH=ON >/dev/null
cmake --build "$build" --target bench_thumbnails >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The corpus: every photograph of at least three megapixels the package ships.
mkdir -p "$work/in" "$work/galvora" "$work/vips" "$work/magick"
n=0
while IFS= read -r f; do
  size=$(identify -format '%w %h' "$f[0]" 2>/dev/null || true)
  [ -n "$size" ] || continue
  set -- $size
  [ $(( $1 * $2 )) -ge 3000000 ] || continue
  n=$((n + 1))
  cp "$f" "$work/in/$(printf '%03d' $n)-$(basename "$f")"
done < <(find /usr/share/wallpapers -iname '*.jpg' -o -iname '*.jpeg' | sort)
files=("$work"/in/*)
megapixels=$(identify -format '%w %h\n' "${files[@]}" 2>/dev/null | awk '{s += $1 * $2} END {printf "%.0f", s / 1e6}')
echo "corpus: ${#files[@]} photographs, $megapixels megapixels in all"
cat "${files[@]}" >/dev/null  # into the page cache

now() { date +%s.%N; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN {printf "%.2f", n / s}'; }

read -r made secs < <(taskset -c 0 "$build/bin/bench_thumbnails" "$work/galvora" "${files[@]}")
galvora=$(rate "$made" "$secs")

t0=$(now)
VIPS_CONCURRENCY=1 taskset -c 0 vipsthumbnail --size 100x -o "$work/vips/%s.jpg[Q=50,interlace]" "${files[@]}" 2>/dev/null
vips=$(rate "${#files[@]}" "$(awk -v a="$t0" -v b="$(now)" 'BEGIN {print b - a}')")

t0=$(now)
for f in "${files[@]}"; do
  taskset -c 0 convert -limit thread 1 "$f" -thumbnail 100x -quality 50 -interlace Plane \
    "$work/magick/$(basename "$f").jpg" 2>/dev/null
done
magick=$(rate "${#files[@]}" "$(awk -v a="$t0" -v b="$(now)" 'BEGIN {print b - a}')")

printf '%-24s %8s pictures/s\n' "Galvora" "$galvora" "vipsthumbnail" "$vips" "ImageMagick convert" "$magick"
printf 'Galvora / vipsthumbnail: %sx\n' "$(awk -v a="$galvora" -v b="$vips" 'BEGIN {printf "%.2f", a / b}')"
printf 'Galvora / ImageMagick:   %sx\n' "$(awk -v a="$galvora" -v b="$magick" 'BEGIN {printf "%.2f", a / b}')"
