#!/usr/bin/env bash
# Builds the Debian packages with CPack, checks their control fields and
# contents, unpacks them into a scratch root with dpkg -x and uses them from
# there: the consumer program builds with pkg-config and with find_package,
# the packaged tool converts the packaged example, and man shows the page.
# Skips (77) without dpkg-deb or pkg-config.
# Usage: run.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
build=$1
scratch=$2
here=$(cd "$(dirname "$0")/../install" && pwd)
# shellcheck source=../install/consumers.sh
source "$here/consumers.sh"
for t in dpkg-deb pkg-config cpack; do
  command -v "$t" >/dev/null || { echo "skipped: $t is not installed"; exit 77; }
done
fail() { echo "package: $*"; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch/debs"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/debs" >"$scratch/cpack.log" ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
runtime=$(echo "$scratch"/debs/pmmlxform_*.deb)
dev=$(echo "$scratch"/debs/libpmmlxform-dev_*.deb)
[[ -f $runtime && -f $dev ]] || fail "expected pmmlxform_*.deb and libpmmlxform-dev_*.deb in $(ls "$scratch/debs")"

# Control fields: the runtime package depends on the packages that hold the
# Xerces-C and Xalan-C libraries the library is linked against; the
# development package on this very runtime package and the Xerces-C headers.
version=$(dpkg-deb -f "$runtime" Version)
rdeps=$(dpkg-deb -f "$runtime" Depends)
ddeps=$(dpkg-deb -f "$dev" Depends)
[[ $ddeps == *"pmmlxform (= $version)"* ]] || fail "libpmmlxform-dev does not depend on pmmlxform (= $version): $ddeps"
[[ $ddeps == *libxerces-c-dev* ]] || fail "libpmmlxform-dev does not depend on libxerces-c-dev: $ddeps"
library=$(find "$build" -path "$build/_CPack_Packages" -prune -o -name 'libpmmlxform.so.1' -print | head -n1)
if command -v ldd >/dev/null && command -v dpkg >/dev/null; then
  for lib in $(ldd "$library" | awk '/libxerces-c|libxalan-c/ {print $3}'); do
    owner=$(dpkg -S "$(readlink -f "$lib")" 2>/dev/null | head -n1 | cut -d: -f1) ||
      owner=$(dpkg -S "$lib" 2>/dev/null | head -n1 | cut -d: -f1) || true
    [[ -n $owner ]] || { echo "note: no package owns $lib; its dependency is not checked"; continue; }
    [[ ", $rdeps," == *", $owner"[\ ,]* ]] || fail "pmmlxform does not depend on $owner (holds $lib): $rdeps"
  done
fi

# Contents: which package holds what.
contents() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|'; }
rlist=$(contents "$runtime")
dlist=$(contents "$dev")
has() {  # list, pattern, package name
  grep -qE "$2" <<<"$1" || fail "$3 lacks $2"
}
for p in '/bin/pmmlxform$' '/libpmmlxform\.so\.1$' '/libpmmlxform\.so\.[0-9]+\.[0-9]+\.[0-9]+$' \
         '/share/pmmlxform/transformation\.xsl$' '/share/pmmlxform/transformation-description\.xsd$' \
         '/share/pmmlxform/examples/survey_description\.xml$' '/share/man/man1/pmmlxform\.1$' \
         '^/usr/share/bash-completion/completions/pmmlxform$' \
         '^/usr/share/doc/pmmlxform/copyright$'; do
  has "$rlist" "$p" pmmlxform
done
for p in '/include/pmmlxform/pmmlxform\.h$' '/include/pmmlxform/version\.h$' '/libpmmlxform\.so$' \
         '/pkgconfig/pmmlxform\.pc$' '/cmake/pmmlxform/pmmlxformConfig\.cmake$' \
         '/cmake/pmmlxform/pmmlxformTargets\.cmake$' '^/usr/share/doc/libpmmlxform-dev/copyright$'; do
  has "$dlist" "$p" libpmmlxform-dev
done
! grep -qE '/include/|\.pc$|/cmake/|/libpmmlxform\.so$' <<<"$rlist" || fail "pmmlxform holds development files"
! grep -vE '^/usr/share/(doc/(libpmmlxform-dev/.*)?)?$' <<<"$dlist" | grep -qE '/bin/|/share/|\.so\.' ||
  fail "libpmmlxform-dev holds runtime files"

# Unpack both into a scratch root and use them from there.
root=$scratch/root
dpkg -x "$runtime" "$root"
dpkg -x "$dev" "$root"
# Each package states its licence in Debian's machine-readable format.
for pkg in pmmlxform libpmmlxform-dev; do
  copyright=$root/usr/share/doc/$pkg/copyright
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" &&
    grep -qx 'License: Apache-2.0' "$copyright" &&
    grep -q '/usr/share/common-licenses/Apache-2.0' "$copyright" ||
    fail "$pkg: $copyright does not state the Apache-2.0 licence"
done
pc=$(find "$root" -name pmmlxform.pc)
export PKG_CONFIG_PATH=$(dirname "$pc")
prefix=$(pkg-config --variable=prefix pmmlxform)
libdir=$(pkg-config --variable=libdir pmmlxform)
[[ $(readlink -f "$libdir") == "$(readlink -f "$(dirname "$(dirname "$pc")")")" ]] ||
  fail "pmmlxform.pc names libdir $libdir, not the directory above it"
[[ -f $(pkg-config --variable=includedir pmmlxform)/pmmlxform/pmmlxform.h ]] ||
  fail "pmmlxform.pc names no includedir holding pmmlxform/pmmlxform.h"
build_consumers "$prefix" "$libdir" "$scratch"

# The packaged tool finds the packaged stylesheet beside its library, with no
# variable set, and converts the packaged example.
out=$(env -u PMMLXFORM_APP_DIR "$prefix/bin/pmmlxform" transform \
      "$prefix/share/pmmlxform/examples/survey_description.xml")
[[ $out == *"<TransformationDictionary"* ]] || fail "the packaged tool wrote no transformation PMML"
echo "packaged tool: $("$prefix/bin/pmmlxform" --version)"
# The packaged completion completes the packaged tool.
bash "$here/../completion/run.sh" "$prefix/bin/pmmlxform" \
  "$prefix/share/bash-completion/completions/pmmlxform"

# "man pmmlxform" finds the packaged page and renders it without a warning.
if command -v man >/dev/null; then
  found=$(MANPATH="$prefix/share/man" man -w pmmlxform 2>/dev/null || true)
  [[ $found == "$prefix/share/man/man1/pmmlxform.1"* ]] || fail "man pmmlxform finds '$found'"
  warnings=$(MANPATH="$prefix/share/man" MANWIDTH=80 man --warnings pmmlxform 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man warns about the page: $warnings"
fi
echo "packages: ok ($(basename "$runtime"), $(basename "$dev"))"
