#!/usr/bin/env bash
# Installs the Debian packages the project needs, when some are missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
          libgif-dev libjpeg-dev libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
          xvfb xauth imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
