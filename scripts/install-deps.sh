#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Talvo need.
# Quiet when everything is there; uses sudo when not run as root.
set -euo pipefail
packages=(
  make cmake g++ ninja-build pkg-config ccache clang-format
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  libhyperscan-dev libpcre2-dev libarchive-dev
  nettle-dev liblzma-dev libbz2-dev zlib1g-dev libzstd-dev libxml2-dev
  fonts-noto-cjk xvfb xdotool x11-utils x11-apps imagemagick openbox xauth
  dpkg-dev file
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
((${#missing[@]})) || exit 0
echo "installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
