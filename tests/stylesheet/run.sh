#!/usr/bin/env bash
# Checks transformation.xsl and the description schema without the library:
#  1. every description under share/pmmlxform/examples/ (*_description.xml) and tests/data/transform/
#     is valid against transformation-description.xsd;
#  2. every good description converts (through harness.xsl, which stands in
#     for the extension function), the result has Header, DataDictionary and
#     TransformationDictionary in that order, passes its "check:" XPath
#     assertions (comment lines in the description, or NAME.checks beside this
#     script for the examples), and, stamped as the library stamps it, is valid
#     PMML 4.3; "resolved:" lines need the real interval resolution and are
#     checked by the library's own end-to-end test instead;
#  3. every bad_*.xml description stops with the message its "expect:" comment
#     names, prefix first;
#  and accumulate/second.xml fails alone but converts appended to first.xml.
# Usage: run.sh [SOURCE_DIR]. Exit 0 when all pass, 1 on a failure, 77 when
# Xalan or xmllint is not installed.
set -u
src=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
here=$src/tests/stylesheet
for tool in Xalan xmllint; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian packages xalan, libxml2-utils)"
    exit 77
  fi
done

xsd=$src/share/pmmlxform/transformation-description.xsd
pmml_xsd=$src/tests/data/pmml-xsd/pmml-4-3.xsd
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

xpath() { xmllint --xpath "$2" "$1" 2>/dev/null; }

# Other examples (PMML for the syntax and merge jobs) are not descriptions.
descriptions=("$src"/share/pmmlxform/examples/*_description.xml "$src"/tests/data/transform/*.xml)
accumulate=$src/tests/data/transform/accumulate

# Accumulation: second.xml fails alone (it uses a target of first.xml) and
# is converted below as part of first.xml with its entries appended.
if Xalan -o "$work/accumulated.xml" -p next "'$accumulate/second.xml'" "$accumulate/first.xml" \
     "$here/accumulate.xsl" >"$work/log" 2>&1; then
  accumulated=("$work/accumulated.xml")
else
  fail "accumulating $accumulate/second.xml onto first.xml: $(cat "$work/log")"
  accumulated=()
fi

# 1. The schema accepts every description, the bad ones included: their
#    faults are the kind only the stylesheet can see.
for f in "${descriptions[@]}" "$accumulate"/*.xml "${accumulated[@]}"; do
  xmllint --noout --schema "$xsd" "$f" >"$work/log" 2>&1 || fail "$f: not valid against the description schema: $(cat "$work/log")"
done

# 2. Good descriptions.
for f in "${descriptions[@]}" "$accumulate/first.xml" "${accumulated[@]}"; do
  name=$(basename "$f" .xml)
  [[ $name == bad_* ]] && continue
  before=$failures
  out=$work/$name.xml
  if ! Xalan -o "$out" "$f" "$here/harness.xsl" >"$work/log" 2>&1; then
    fail "$f: conversion failed: $(cat "$work/log")"
    continue
  fi
  outline=$(xpath "$out" "concat(name(/*), ':', name(/*/*[1]), ',', name(/*/*[2]), ',', name(/*/*[3]), ',', count(/*/*))")
  [[ $outline == "PMML:Header,DataDictionary,TransformationDictionary,3" ]] ||
    fail "$f: output outline is '$outline'"
  checks=$(sed -n 's/^ *check: //p' "$f")
  [[ -f $here/$name.checks ]] && checks+=$'\n'$(grep -v '^#' "$here/$name.checks")
  while IFS= read -r check; do
    [[ -z $check ]] && continue
    [[ $(xpath "$out" "boolean($check)") == true ]] || fail "$f: check does not hold: $check"
  done <<<"$checks"
  if ! Xalan -o "$work/$name.pmml" "$out" "$here/stamp.xsl" >"$work/log" 2>&1; then
    fail "$f: stamping failed: $(cat "$work/log")"
    continue
  fi
  xmllint --noout --schema "$pmml_xsd" "$work/$name.pmml" >"$work/log" 2>&1 ||
    fail "$f: not valid PMML 4.3: $(cat "$work/log")"
  ((failures == before)) && echo "ok   $name"
done

# 3. Bad descriptions stop with the expected message.
for f in "$src"/tests/data/transform/bad_*.xml "$accumulate/second.xml"; do
  name=$(basename "$f" .xml)
  expected=$(sed -n 's/^\(<!--\)\{0,1\} *expect: \(.*\)$/\2/p' "$f" | sed 's/ -->$//')
  [[ -n $expected ]] || { fail "$f: no expect: comment"; continue; }
  if Xalan -o "$work/bad.xml" "$f" "$here/harness.xsl" >"$work/log" 2>&1; then
    fail "$f: converted, but should have stopped with: $expected"
    continue
  fi
  got=$(sed -n 's/^ElemMessageTerminateExpression: //p' "$work/log")
  [[ $got == "$expected"* ]] || fail "$f: stopped with '$got', expected '$expected'"
  echo "ok   $name"
done

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all passed"
