#!/usr/bin/env bash
# Keeps the bash completion in step with the tool: after "pmmlxform" it offers
# every job of --help (and help), after a job and "-" exactly the options of
# that job's --help, after "help" the jobs, and file names where an input or an
# output file goes.
# Usage: run.sh TOOL COMPLETION_SCRIPT
set -euo pipefail
tool=$1
# shellcheck source=/dev/null
source "$2"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# What the completion offers for the command line "$@", the last word being
# completed; one word a line, sorted.
offered() {
  COMP_WORDS=(pmmlxform "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _pmmlxform
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort
}

help_options() {
  awk '/^Options:/ {on = 1; next} on && /^[^ ]/ {on = 0} on && /^  -/ {print $1}' |
    tr ',' '\n' | grep -E '^-' | sort -u
}
help_jobs() {
  awk '/^Subcommands:/ {on = 1; next} on && /^[^ ]/ {on = 0} on && /^  [a-z]/ {print $1}' | sort -u
}

status=0
expect() {  # what, expected, actual
  if [[ $2 != "$3" ]]; then
    echo "$1: the completion offers (>) other words than expected (<):"
    diff <(echo "$2") <(echo "$3") | grep '^[<>]' || true
    status=1
  fi
}

jobs=$("$tool" --help | help_jobs)
expect "jobs" "$(printf '%s\nhelp\n' "$jobs" | sort)" "$(offered '')"
expect "jobs after help" "$jobs" "$(offered help '')"
expect "options of pmmlxform" "$("$tool" --help | help_options)" "$(offered -)"
for job in $jobs; do
  expect "options of '$job'" "$("$tool" "$job" --help | help_options)" "$(offered "$job" -)"
done

touch "$scratch/description one.xml" "$scratch/model.pmml"
expect "input files" "$scratch/description one.xml" "$(offered check "$scratch/desc")"
expect "output file" "$scratch/model.pmml" "$(offered transform -o "$scratch/mo")"
expect "field name" "" "$(offered back-syntax --target "")"
[[ $status -eq 0 ]] && echo "completion: the jobs and options of $(wc -w <<<"$jobs") jobs match --help"
exit $status
