#!/usr/bin/env bash
# Installs the Debian packages Galvora needs to build, run and test, and any
# further packages named as arguments; only what is missing, so it is quick
# on a prepared machine.
#   scripts/deps.sh [PACKAGE...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev libgif-dev zlib1g-dev
  libgtest-dev googletest
  ghostscript
  fonts-dejavu-core fonts-liberation2
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
