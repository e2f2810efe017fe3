#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs a consumer
# program against it twice: with pkg-config alone, and with find_package.
# Usage: run.sh BUILD_DIR SCRATCH_DIR [CONFIGURED_PREFIX]
set -euo pipefail
build=$1
scratch=$2
configured_prefix=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=consumers.sh
source "$here/consumers.sh"
rm -rf "$scratch"
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# The library goes to lib/ under the prefix given to --install, as the README
# says; only a build configured for /usr takes Debian's multiarch directory.
if [[ $configured_prefix == /usr ]]; then
  libdir=$(dirname "$(find "$prefix" -name 'libpmmlxform.so' | head -n1)")
else
  libdir=$prefix/lib
fi
for f in "$libdir/libpmmlxform.so.1" "$prefix/include/pmmlxform/pmmlxform.h" \
         "$libdir/pkgconfig/pmmlxform.pc" "$libdir/cmake/pmmlxform/pmmlxformConfig.cmake" \
         "$prefix/bin/pmmlxform" "$prefix/share/bash-completion/completions/pmmlxform"; do
  [[ -e $f ]] || { echo "missing from install: $f"; exit 1; }
done
[[ -d $prefix/share/pmmlxform ]] || { echo "missing from install: share/pmmlxform"; exit 1; }
# pkg-config finds the library through the install's own pkgconfig directory.
found=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --variable=libdir pmmlxform) ||
  { echo "pkg-config does not find pmmlxform in $libdir/pkgconfig"; exit 1; }
[[ $(readlink -f "$found") == "$(readlink -f "$libdir")" ]] ||
  { echo "pkg-config names another library directory: $found"; exit 1; }
soname=$(objdump -p "$libdir/libpmmlxform.so" | awk '/SONAME/ {print $2}')
[[ $soname == libpmmlxform.so.1 ]] || { echo "unexpected SONAME '$soname'"; exit 1; }

# Only the library's public interface is exported: the two classes, the two
# records and the ADP_Convert functions (with their type information), plus
# weak template instances of the standard library that those types bring along.
unexpected=$(nm -D --defined-only -C "$libdir/libpmmlxform.so" | awk '{ $1=""; $2=""; sub(/^  /, ""); print }' |
  grep -Ev '^(ADP_Convert::|ConvertTrans(ToPMML)?::|TmsEndInfo::|TmsMiningFieldInfo::|(typeinfo|typeinfo name|vtable) for (ConvertTrans|ConvertTransToPMML|TmsEndInfo|TmsMiningFieldInfo)$|_init$|_fini$)' |
  grep -Ev '^([^(]* )?(std|__gnu_cxx)::' || true)
if [[ -n $unexpected ]]; then
  echo "unexpected exported symbols:"; echo "$unexpected"; exit 1
fi

# Move the install to check that nothing in it depends on where it was put.
mv "$prefix" "$scratch/moved"
prefix=$scratch/moved
libdir=${libdir/$scratch\/prefix/$prefix}

export PKG_CONFIG_PATH=$libdir/pkgconfig
build_consumers "$prefix" "$libdir" "$scratch"

# The installed tool runs from the moved tree without any variable set.
env -u PMMLXFORM_APP_DIR "$prefix/bin/pmmlxform" --version
# The installed completion completes the installed tool's jobs.
bash "$here/../completion/run.sh" "$prefix/bin/pmmlxform" \
  "$prefix/share/bash-completion/completions/pmmlxform"
echo "install consumer: ok"
