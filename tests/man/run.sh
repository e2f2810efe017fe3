#!/usr/bin/env bash
# Keeps the manual page in step with the tool: the version in its header, the
# jobs the page describes are
# the tool's subcommands, and each job's options on the page (the .TP items of
# its .SS section; the top-level ones under OPTIONS) are exactly those its
# --help lists. Only option names are compared, never their wording.
# Usage: run.sh TOOL MANPAGE
set -euo pipefail
tool=$1
page=$2

# Option names in a --help text: the first column of the "Options:" section,
# split at commas ("-o,--output OUT" gives -o and --output).
help_options() {
  awk '/^Options:/ {on = 1; next} on && /^[^ ]/ {on = 0} on && /^  -/ {print $1}' |
    tr ',' '\n' | grep -E '^-' | sort -u
}

# Subcommand names in the top-level --help text.
help_jobs() {
  awk '/^Subcommands:/ {on = 1; next} on && /^[^ ]/ {on = 0} on && /^  [a-z]/ {print $1}' | sort -u
}

# The page with font escapes removed and "\-" read as "-".
plain_page() {
  sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/"//g' "$page"
}

# Option names on the .TP tag lines of one section of the page; the section
# runs from the line "$1" to the next .SS or .SH.
page_options() {
  plain_page | awk -v head="$1" '
    $0 == head {on = 1; next}
    on && /^\.S[SH]/ {on = 0}
    on && tag {print; tag = 0}
    on && /^\.TP/ {tag = 1}' |
    grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u
}

page_jobs() {
  plain_page | awk '/^\.SH / {on = ($2 == "JOBS")} on && /^\.SS / {print $2}' | sort -u
}

status=0
compare() {  # what, expected (tool), actual (page)
  if [[ $2 != "$3" ]]; then
    echo "$1 differ between the tool (<) and the manual page (>):"
    diff <(echo "$2") <(echo "$3") | grep '^[<>]' || true
    status=1
  fi
}

# The page's header names the tool's version.
version=$("$tool" --version | awk '{print $NF}')
grep -qE "^\.TH PMMLXFORM 1 .*\"pmmlxform $version\"" "$page" ||
  { echo "the manual page's .TH line does not name pmmlxform $version"; status=1; }

top=$("$tool" --help)
jobs=$(help_jobs <<<"$top")
[[ -n $jobs ]] || { echo "no subcommands found in '$tool --help'"; exit 1; }
compare "jobs" "$jobs" "$(page_jobs)"
compare "options of pmmlxform" "$(help_options <<<"$top")" "$(page_options ".SH OPTIONS")"
for job in $jobs; do
  # -h/--help and --version belong to every job and are described once, under OPTIONS.
  expected=$("$tool" "$job" --help | help_options | grep -vxE -- '-h|--help|--version' || true)
  compare "options of '$job'" "$expected" \
    "$(page_options ".SS $job" | grep -vxE -- '-h|--help|--version' || true)"
done
[[ $status -eq 0 ]] && echo "manual page: the jobs and options of $(wc -w <<<"$jobs") jobs match --help"
exit $status
