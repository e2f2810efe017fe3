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

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" "${args[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
