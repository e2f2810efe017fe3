#!/usr/bin/env bash
# Installs what the build needs, builds the library and the tool (no tests) in
# build-demo/, and runs the tool on the bundled examples, showing its output.
# Once built, a run only checks that the build is current and runs the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
step() { printf '\n==> %s\n' "$*"; }

step "1/3 Debian packages the build needs (scripts/setup.sh --build; nothing to do when present)"
bash scripts/setup.sh --build
build=build-demo
step "2/3 Configuring $build/: the library and the tool, without the tests"
# Optimised as the test build (-O2), without its debugging information, which
# takes about 40% of the compile time.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DPMMLXFORM_BUILD_TESTS=OFF -DPMMLXFORM_BUILD_DOCS=OFF -DPMMLXFORM_SANITIZE=OFF \
  -DPMMLXFORM_TSAN=OFF >/dev/null
step "3/3 Building libpmmlxform.so and the pmmlxform tool"
cmake --build "$build" --target pmmlxform_cli -j "$(nproc 2>/dev/null || echo 2)"
tool=$build/bin/pmmlxform
step "The tool on the bundled examples"
example=share/pmmlxform/examples/adp_example.xml
echo "\$ pmmlxform --version"
"$tool" --version
echo "\$ pmmlxform syntax $example"
"$tool" syntax "$example"
echo "\$ pmmlxform back-syntax --target spend_pred --source spend_t_pred $example"
"$tool" back-syntax --target spend_pred --source spend_t_pred "$example"
description=share/pmmlxform/examples/survey_description.xml
echo "\$ pmmlxform transform $description --report variables.json"
report=$(mktemp)
merged=$(mktemp)
trap 'rm -f "$report" "$merged"' EXIT
# The tool writes the PMML on one line; show it indented when xmllint is there.
if command -v xmllint >/dev/null; then
  "$tool" transform "$description" --report "$report" | xmllint --format -
else
  "$tool" transform "$description" --report "$report"
fi
echo "\$ cat variables.json"
cat "$report"
echo "\$ pmmlxform check tests/data/transform/bad_func_unknown.xml"
"$tool" check tests/data/transform/bad_func_unknown.xml || echo "(exit code $?)"
examples=share/pmmlxform/examples
echo "\$ pmmlxform merge $examples/credit-transformation.pmml $examples/credit-model.pmml -o merged.pmml --report -"
"$tool" merge "$examples/credit-transformation.pmml" "$examples/credit-model.pmml" -o "$merged" --report -
echo "\$ head -n 12 merged.pmml"
head -n 12 "$merged"
