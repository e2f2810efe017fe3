#!/usr/bin/env bash
# Sets up, builds and runs the tool on a bundled example, showing its output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
tool=build/bin/pmmlxform
echo "\$ pmmlxform --version"
"$tool" --version
echo "\$ pmmlxform --help"
"$tool" --help
example=share/pmmlxform/examples/survey_description.xml
echo "\$ pmmlxform transform $example --report variables.json"
report=$(mktemp)
trap 'rm -f "$report"' EXIT
# The tool writes the PMML on one line; show it indented when xmllint is there.
if command -v xmllint >/dev/null; then
  "$tool" transform "$example" --report "$report" | xmllint --format -
else
  "$tool" transform "$example" --report "$report"
fi
echo "\$ cat variables.json"
cat "$report"
echo "\$ pmmlxform check tests/data/transform/bad_func_unknown.xml"
"$tool" check tests/data/transform/bad_func_unknown.xml || echo "(exit code $?)"
