#!/usr/bin/env bash
# Builds the programs and starts the client against the bundled demo platform on loopback.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash tools/bootstrap.sh
build="${QUORVANE_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvane quorvupdate
echo "Built: $build/bin/quorvane.exe and $build/bin/quorvupdate.exe"
if [ ! -f "$here/tools/demo_platform.py" ]; then
  echo "The demo platform and the client's windows are not there yet; nothing to start."
  exit 0
fi
exec python3 "$here/tools/demo.py" --bin "$build/bin" "$@"
