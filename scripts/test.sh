#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
#   bash scripts/test.sh              build in build/, run every test (with the
#                                     Debian packages and the API reference)
#   bash scripts/test.sh --sanitize   the same under AddressSanitizer and
#                                     UndefinedBehaviorSanitizer, in build-asan/
#   bash scripts/test.sh --tsan       the concurrency tests under
#                                     ThreadSanitizer, in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build
# Every setting is given each time, so a build directory is configured the same
# way on every run and nothing compiles twice. The default /usr/local layout
# (lib/ under any prefix, as the README says) with the API reference; the
# packages install under /usr all the same.
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr/local -DPMMLXFORM_BUILD_TESTS=ON
      -DPMMLXFORM_BUILD_DOCS=ON -DPMMLXFORM_SANITIZE=OFF -DPMMLXFORM_TSAN=OFF)
if [[ ${1:-} == --sanitize ]]; then
  build=build-asan
  args=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_INSTALL_PREFIX=/usr/local -DPMMLXFORM_BUILD_TESTS=ON
        -DPMMLXFORM_BUILD_DOCS=OFF -DPMMLXFORM_SANITIZE=ON -DPMMLXFORM_TSAN=OFF)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
elif [[ ${1:-} == --tsan ]]; then
  build=build-tsan
  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr/local -DPMMLXFORM_BUILD_TESTS=ON
        -DPMMLXFORM_BUILD_DOCS=OFF -DPMMLXFORM_SANITIZE=OFF -DPMMLXFORM_TSAN=ON)
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
fi

# ctest names the tests it skipped but not why; their output says it (the
# message of a GoogleTest skip, the "skipped: ..." line of a script that exits
# 77). Usage: skip_reasons BUILD_DIR CTEST_OUTPUT
skip_reasons() {
  local names
  names=$(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$2")
  [[ -n $names ]] || return 0
  echo "Skipped, and why:"
  awk -v names="$names" '
    BEGIN { n = split(names, list, "\n"); for (i = 1; i <= n; i++) want[list[i]] = 1 }
    /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name); next }
    /^Output:$/ { out = 1; gtest = 0; reason = ""; getline; next }
    /^<end of output>$/ {
      if (name in want) print "  " name ": " (reason == "" ? "(its output gives no reason)" : reason)
      out = 0; next
    }
    out && /: Skipped$/ { gtest = 1; next }
    out && gtest == 1 && /^\[  SKIPPED \]/ { gtest = 2; next }
    out && gtest == 1 { reason = reason (reason == "" ? "" : " ") $0; next }
    out && !gtest && tolower($0) ~ /^skip/ { reason = $0 }
  ' "$1/Testing/Temporary/LastTest.log"
}

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" "${args[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
ctest_output=$(mktemp)
trap 'rm -f "$ctest_output"' EXIT
status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" | tee "$ctest_output" || status=$?
skip_reasons "$build" "$ctest_output"
exit "$status"
