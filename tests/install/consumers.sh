# Builds tests/install/consumer.cpp against an installed pmmlxform twice, with
# pkg-config alone (PKG_CONFIG_PATH must name the install's .pc) and with
# find_package, and runs both builds.
# Usage: build_consumers PREFIX LIBDIR SCRATCH_DIR
build_consumers() {
  local prefix=$1 libdir=$2 scratch=$3
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  mkdir -p "$scratch/pc"
  # shellcheck disable=SC2046
  g++ -std=c++17 -Wall -Wextra -Werror "$here/consumer.cpp" -o "$scratch/pc/consumer" \
      $(pkg-config --cflags --libs pmmlxform)
  LD_LIBRARY_PATH=$libdir "$scratch/pc/consumer"

  cmake -S "$here" -B "$scratch/cm" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$scratch/cm" >/dev/null
  LD_LIBRARY_PATH=$libdir "$scratch/cm/consumer"
}
