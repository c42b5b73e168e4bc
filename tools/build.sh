#!/usr/bin/env bash
# Installs what is missing, then configures and builds (all targets, or those named).
# Prints the build folder on its last line.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/tools/bootstrap.sh"
build="${QUORVANE_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ $# -gt 0 ]; then
  cmake --build "$build" -j"$(nproc)" --target "$@" >&2
else
  cmake --build "$build" -j"$(nproc)" >&2
fi
echo "$build"
