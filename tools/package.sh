#!/usr/bin/env bash
# Makes the setup programs: build/<arch>/out/quorvane-setup-<version>-<arch>.exe for each
# architecture named (default: both, i686 and x86_64) and prints their paths, one a line.
#   tools/package.sh [--version 1.0.3.13] [ARCH...]
# Without --version the version is the build's QUORVANE_VERSION (CMakeLists.txt). Another version
# is built in a folder of its own (build/<arch>/release-<version>, no test programs), so the
# everyday build keeps its own; its installer is copied to build/<arch>/out as well.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
version=""
arches=()
while [ $# -gt 0 ]; do
  case "$1" in
    --version) version="${2:?--version needs a value}"; shift 2 ;;
    --version=*) version="${1#--version=}"; shift ;;
    -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
    *) arches+=("$1"); shift ;;
  esac
done
[ ${#arches[@]} -gt 0 ] || arches=(i686 x86_64)
if [ -n "$version" ] && ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "package: the version must be four numbers like 1.0.3.13, not '$version'" >&2
  exit 2
fi

for arch in "${arches[@]}"; do
  python3 "$here/tools/winarch.py" mingw "$arch" >/dev/null || exit 2
  main_build="$here/build/$arch"
  if [ -z "$version" ]; then
    build="$(QUORVANE_ARCH="$arch" bash "$here/tools/build.sh" installer | tail -n 1)"
    v="$(sed -n 's/^QUORVANE_VERSION:STRING=//p' "$build/CMakeCache.txt")"
  else
    build="$(QUORVANE_ARCH="$arch" QUORVANE_BUILD_DIR="$main_build/release-$version" \
             QUORVANE_CMAKE_ARGS="-DQUORVANE_VERSION=$version -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_SUBDIRS=common;net;updater;platform/skin;platform/engine;browser;login;mainframe;app ${QUORVANE_CMAKE_ARGS:-}" \
             bash "$here/tools/build.sh" installer | tail -n 1)"
    v="$version"
  fi
  name="quorvane-setup-$v-$arch.exe"
  if [ "$build" != "$main_build" ]; then
    mkdir -p "$main_build/out"
    cp -f "$build/out/$name" "$main_build/out/$name"
  fi
  echo "$main_build/out/$name"
done
