#!/usr/bin/env bash
# Makes a gallery of pictures whose names could break a page or a link, opens
# its page in headless Chromium and checks that every thumbnail shows and
# every link leads to its own picture. Prints OK or what failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"

bash "$root/scripts/deps.sh" chromium imagemagick
cmake -G Ninja -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target make_gallery >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
names=("a b&c.jpg" "é.jpg" "a#1.jpg" "100%.jpg" 'q"x.jpg')
colours=(red green blue orange purple)
for i in "${!names[@]}"; do
  convert -size 320x240 "xc:${colours[$i]}" "$work/${names[$i]}"
done
"$build/bin/make_gallery" "$work/" >/dev/null

# The checker loads the page in a frame: each picture must show, and each
# link must load the picture of the same name.
expected=$(printf '%s\n' "${names[@]}" | python3 -c 'import json,sys; print(json.dumps(sys.stdin.read().split("\n")[:-1]))')
cat > "$work/check.html" <<HTML
<html><body><pre id="out">running</pre>
<iframe id="f" src="Index0.htm" width="800" height="600"></iframe>
<script>
const expected = $expected;
document.getElementById('f').onload = async () => {
  const doc = document.getElementById('f').contentDocument;
  const problems = [];
  const imgs = [...doc.images];
  if (imgs.length !== expected.length) problems.push('thumbnails: ' + imgs.length);
  for (const img of imgs) {
    if (!img.complete || img.naturalWidth === 0) problems.push('not shown: ' + img.getAttribute('src'));
  }
  const links = [...doc.querySelectorAll('a')];
  for (const a of links) {
    const name = decodeURIComponent(a.pathname.split('/').pop());
    const alt = a.querySelector('img').alt;
    if (name !== alt || !expected.includes(name)) problems.push('link ' + a.getAttribute('href') + ' -> ' + name);
    const ok = await new Promise(r => { const i = new Image(); i.onload = () => r(true); i.onerror = () => r(false); i.src = a.href; });
    if (!ok) problems.push('link does not load: ' + a.getAttribute('href'));
  }
  document.getElementById('out').textContent = problems.length ? 'FAILED ' + problems.join('; ') : 'RESULT OK ' + links.length + ' links';
};
</script></body></html>
HTML
result=$(chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --allow-file-access-from-files \
  --user-data-dir="$work/profile" --virtual-time-budget=5000 --dump-dom "file://$work/check.html" 2>/dev/null |
  sed -n 's/.*<pre id="out">\([^<]*\)<.*/\1/p' || true)
chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$work/profile" \
  --screenshot="${2:-$work/page.png}" --window-size=800,400 "file://$work/Index0.htm" >/dev/null 2>&1 || true
echo "${result:-FAILED no result}"
[[ "$result" == RESULT\ OK* ]]
