#!/usr/bin/env bash
# Sets up, builds and runs the tool on a bundled example, showing its output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
tool=build/bin/pmmlxform
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
trap 'rm -f "$report"' EXIT
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
echo "\$ pmmlxform merge $examples/credit-transformation.pmml $examples/credit-model.pmml --report -"
"$tool" merge "$examples/credit-transformation.pmml" "$examples/credit-model.pmml" --report -
