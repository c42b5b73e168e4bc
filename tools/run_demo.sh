#!/usr/bin/env bash
# Builds the programs and starts the client against the bundled demo platform on loopback.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash tools/bootstrap.sh
build="${QUORVANE_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvane quorvupdate
source tools/wine_env.sh
if [ -z "${DISPLAY:-}" ]; then
  # No screen: a private X display, automatic sign-in, a screenshot, then the end.
  export QUORVANE_DEMO_HEADLESS=1
  trap quorvane_stop_all EXIT
  quorvane_start_display
fi
quorvane_start_wine
python3 "$here/tools/demo.py" --bin "$build/bin" "$@"
