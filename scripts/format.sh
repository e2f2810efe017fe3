#!/usr/bin/env bash
# Formats every C++ file of the project with its .clang-format, or, with
# --check, lists the files that differ from it and fails.
#   bash scripts/format.sh           rewrite the files in place
#   bash scripts/format.sh --check   change nothing; exit 1 if a file differs
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || bash scripts/setup.sh
mapfile -t files < <(git ls-files '*.cpp' '*.h')
case ${1:-} in
  --check) clang-format --dry-run --Werror "${files[@]}" ;;
  '') clang-format -i "${files[@]}" ;;
  *) echo "usage: bash scripts/format.sh [--check]" >&2; exit 64 ;;
esac
