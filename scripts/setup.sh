#!/usr/bin/env bash
# Installs what the project needs from Debian's packages.
#   bash scripts/setup.sh           everything: build, tests, packages, API
#                                   reference, sanitizers, valgrind, fuzzers
#   bash scripts/setup.sh --build   only what building the library and the
#                                   tool needs (what scripts/demo.sh runs)
# Idempotent and silent when everything is already there.
set -euo pipefail
build_packages=(cmake g++ make pkg-config libxerces-c-dev libxalan-c-dev libcli11-dev
                nlohmann-json3-dev)
test_packages=(binutils libgtest-dev locales xalan libxml2-utils doxygen man-db clang-14 clang-format
               libclang-rt-14-dev valgrind python3)
case ${1:-} in
  --build) packages=("${build_packages[@]}") ;;
  '') packages=("${build_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: bash scripts/setup.sh [--build]" >&2; exit 64 ;;
esac
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
export DEBIAN_FRONTEND=noninteractive
echo "setup: reading the package lists (apt-get update)" >&2
"${sudo[@]}" apt-get update -qq >/dev/null
echo "setup: installing ${missing[*]} and what they depend on" >&2
# One line per package set up, so the install shows its progress; apt's errors
# reach standard error as they are.
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" |
  { grep --line-buffered -E '^(Need to get|Setting up) ' || true; } | sed -u 's/^/setup: /' >&2
