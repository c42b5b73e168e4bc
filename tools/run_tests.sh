#!/usr/bin/env bash
# Installs what is missing, builds both programs and every test program, and runs all tests
# under Wine (Chinese code page 936) on a private X display. Ends with ctest's summary.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash tools/bootstrap.sh
build="${QUORVANE_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
source tools/wine_env.sh
trap quorvane_stop_all EXIT
quorvane_start_display
quorvane_start_wine
ctest --test-dir "$build" --output-on-failure "$@"
