#!/usr/bin/env bash
# Runs the unit tests under valgrind memcheck (in build/): any memory error, or
# any byte definitely or indirectly lost, fails the run.
#   bash scripts/memcheck.sh [all|syntax|transform|merge|rotate]
# all (the default) runs the whole suite; a job name runs that job's tests
# (the tests shared by all jobs, such as the parser's and the host services',
# go with syntax); rotate picks one job from the number of commits, so that
# successive CI runs cover every job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

part=${1:-all}
if [[ $part == rotate ]]; then
  jobs_=(syntax transform merge)
  part=${jobs_[$(( $(git rev-list --count HEAD 2>/dev/null || echo 0) % 3 ))]}
fi
# Test suites by job (GoogleTest filters).
case $part in
  all)       filter='*' ;;
  syntax)    filter='Adp*:*Node.*:*Syntax*:HostileSyntax*:Concurrency*:XmlParser*:Norvel*:Havrik*:FuzzRegression*' ;;
  transform) filter='ConvertTrans*:ConvertXml*:IntervalArithmetic*:RecodeKeys*:ElementLookup*:TransformPmml*:HostileTransform*:*Transform*' ;;
  merge)     filter='Merge*:*Merge*:MiningSchema*:ModelChecks*:ValueMerging*:HostileMerge*:RealModels*' ;;
  *) echo "memcheck: unknown part '$part' (all, syntax, transform, merge, rotate)" >&2; exit 64 ;;
esac
# The tool's own tests run the tool as a child process, which memcheck does not
# follow; they prove nothing here and are left out.
filter="$filter-Tool.*"

# build/ configured exactly as scripts/test.sh configures it, so that neither
# run recompiles what the other built.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr/local \
  -DPMMLXFORM_BUILD_TESTS=ON -DPMMLXFORM_BUILD_DOCS=ON -DPMMLXFORM_SANITIZE=OFF \
  -DPMMLXFORM_TSAN=OFF >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target pmmlxform_tests >/dev/null

echo "memcheck: $part ($filter)" >&2
# Tests skip their largest inputs here (PMMLXFORM_MEMCHECK): memcheck runs
# some fifty times slower, and the same paths run on smaller inputs.
PMMLXFORM_MEMCHECK=1 PMMLXFORM_APP_DIR= \
valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
  --suppressions=scripts/memcheck.supp --num-callers=30 \
  build/bin/pmmlxform_tests --gtest_filter="$filter" --gtest_brief=1
