#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, ASan and UBSan, in build-fuzz/) and
# runs each one for a bounded time, one after the other.
#   bash scripts/fuzz.sh [SECONDS] [NAME...]   default 60 s each, every harness
# Harnesses: syntax back_syntax transform merge intervals (fuzz/targets.h).
# Corpora grow in build-fuzz/corpus/NAME, seeded from fuzz/corpus/NAME (the
# minimised corpus of the long runs), the test documents and the
# share/ examples; a crashing input is written to build-fuzz/findings/NAME/ and
# the script fails. Copy a finding to fuzz/regressions/NAME/ once it is fixed:
# the unit tests replay every file there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

seconds=${1:-60}
shift || true
names=("$@")
[[ ${#names[@]} -eq 0 ]] && names=(syntax back_syntax transform merge intervals)

build=build-fuzz
CXX=${FUZZ_CXX:-clang++-14} cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPMMLXFORM_FUZZ=ON -DPMMLXFORM_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" \
  --target "${names[@]/#/fuzz_}" >/dev/null

# An XML 1.1 version of a document, its first label holding a control character
# (a character reference, which only XML 1.1 allows).
xml11() {
  sed -e '1s/version="1.0"/version="1.1"/' -e '0,/label="/s//label="\&#x1;/' "$1"
}

# One seed file per document; the syntax harnesses take a flag byte first.
seed() {
  local name=$1 dir=$build/corpus/$1
  mkdir -p "$dir"
  local f
  case $name in
    syntax|back_syntax)
      local flags
      for f in share/pmmlxform/examples/adp_example.xml tests/data/models/cpmml-IrisTree.xml; do
        for flags in 0 2 7 15; do
          { printf "\\x$(printf %02x "$flags")"; cat "$f"; } >"$dir/seed-$flags-$(basename "$f")"
        done
      done
      { printf '\x02'; xml11 share/pmmlxform/examples/adp_example.xml; } >"$dir/seed-2-xml11.xml" ;;
    transform)
      cp share/pmmlxform/examples/survey_description.xml tests/data/transform/*.xml "$dir/"
      xml11 share/pmmlxform/examples/survey_description.xml >"$dir/survey_description-xml11.xml" ;;
    merge)
      for f in share/pmmlxform/examples/credit-model.pmml tests/data/models/cpmml-*.xml \
               tests/data/models/spm-tree-iris.pmml; do
        { cat share/pmmlxform/examples/credit-transformation.pmml; printf '\n=====\n'; cat "$f"; } \
          >"$dir/seed-$(basename "$f")"
      done ;;
    intervals)
      cp fuzz/seeds/intervals/* "$dir/" ;;
  esac
  if [[ -d fuzz/regressions/$name ]]; then cp fuzz/regressions/"$name"/* "$dir/" 2>/dev/null || true; fi
  # The minimised corpus of the long runs, so that a short run starts where they ended.
  if [[ -d fuzz/corpus/$name ]]; then cp fuzz/corpus/"$name"/* "$dir/" 2>/dev/null || true; fi
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for name in "${names[@]}"; do
  seed "$name"
  mkdir -p "$build/findings/$name"
  log=$build/findings/$name.log
  echo "fuzz: $name for ${seconds}s" >&2
  # Inputs up to 64 KiB; a 10 s timeout per input and 2 GiB of memory make
  # a hang or a runaway allocation a finding.
  if ! "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
      -rss_limit_mb=2048 -dict=fuzz/pmml.dict -artifact_prefix="$build/findings/$name/" \
      -print_final_stats=1 "$build/corpus/$name" >"$log" 2>&1; then
    echo "fuzz: $name FAILED; see $log and $build/findings/$name/" >&2
    tail -40 "$log" >&2
    status=1
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$log" | tr '\n' ' ' >&2; echo >&2
done
exit $status
