#!/usr/bin/env bash
# Installs what the project needs to build and test, from Debian's packages.
# Idempotent and silent when everything is already there.
set -euo pipefail
packages=(cmake g++ make pkg-config binutils libxerces-c-dev libxalan-c-dev libcli11-dev
          libgtest-dev locales xalan libxml2-utils nlohmann-json3-dev
          doxygen man-db clang-14 libclang-rt-14-dev valgrind python3)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "setup: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq >/dev/null
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
