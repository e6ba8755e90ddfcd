#!/usr/bin/env bash
# Installs what the grep benchmark needs beyond the build: the peer programs
# it compares against, GNU time for their peak memory and the Debian packages
# its corpus is made from.
# Not part of the build; run by hand before bench/grep-bench.sh.
set -euo pipefail
packages=(
  ripgrep ugrep grep time
  linux-source-6.1 manpages-ja manpages-ja-dev python3 xz-utils
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
