#!/usr/bin/env bash
# Installs what is missing, then configures and builds one architecture (all targets, or those
# named) in build/<arch>. The architecture is QUORVANE_ARCH (i686, the product's own, by default).
# Prints the build folder on its last line.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/tools/bootstrap.sh"
arch="${QUORVANE_ARCH:-i686}"
toolchain="$(python3 "$here/tools/winarch.py" toolchain "$arch")"
build="${QUORVANE_BUILD_DIR:-$here/build/$arch}"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Paths relative to the build folder, so that clones side by side share the cache.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$here")}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      "${launcher[@]}" ${QUORVANE_CMAKE_ARGS:-} >/dev/null
if [ $# -gt 0 ]; then
  cmake --build "$build" -j"$(nproc)" --target "$@" >&2
else
  cmake --build "$build" -j"$(nproc)" >&2
fi
echo "$build"
