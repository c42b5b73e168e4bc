#!/usr/bin/env bash
# Makes the setup programs of a release: build/<arch>/out/quorvane-setup-<version>-<arch>.exe for
# each architecture named (default: both, i686 and x86_64) and prints their paths, one a line.
#   tools/package.sh --key PUBLISHER.pem [--version 1.0.3.13] [ARCH...]
#   tools/package.sh --unsigned [--version 1.0.3.13] [ARCH...]
# --key names the publisher's key (the private PEM, a public PEM or hex X||Y; also taken from
# QUORVANE_UPDATE_PUBLIC_KEY): the updater in the release starts only installers whose offer is
# signed with it, and with the private key each setup program is signed for its version at once
# (<setup>.sig beside it). A release without a publisher key is refused unless --unsigned says so.
# Without --version the version is CMakeLists.txt's default. Each release is built in a folder of
# its own (build/<arch>/release-<version>, no test programs), so the everyday build keeps its own
# key and settings; its installer is copied to build/<arch>/out.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
version=""
key="${QUORVANE_UPDATE_PUBLIC_KEY:-}"
unsigned=0
arches=()
while [ $# -gt 0 ]; do
  case "$1" in
    --version) version="${2:?--version needs a value}"; shift 2 ;;
    --version=*) version="${1#--version=}"; shift ;;
    --key) key="${2:?--key needs a value}"; shift 2 ;;
    --key=*) key="${1#--key=}"; shift ;;
    --unsigned) unsigned=1; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) arches+=("$1"); shift ;;
  esac
done
[ ${#arches[@]} -gt 0 ] || arches=(i686 x86_64)
if [ -z "$version" ]; then
  version="$(sed -n 's/^set(QUORVANE_VERSION "\([0-9.]*\)".*/\1/p' "$here/CMakeLists.txt")"
fi
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "package: the version must be four numbers like 1.0.3.13, not '$version'" >&2
  exit 2
fi
if [ -n "$key" ] && [ $unsigned -eq 1 ]; then
  echo "package: --key and --unsigned exclude each other" >&2
  exit 2
fi
if [ -z "$key" ] && [ $unsigned -eq 0 ]; then
  echo "package: a release needs the publisher's key (--key PUBLISHER.pem, see README \"Signed updates\");" >&2
  echo "package: --unsigned makes one whose updater checks the MD5 alone" >&2
  exit 2
fi
if [ -n "$key" ]; then
  if [[ ! "$key" =~ ^[0-9A-Fa-f]{128}$ ]]; then
    [ -f "$key" ] || { echo "package: no key file '$key'" >&2; exit 2; }
    key="$(cd "$(dirname "$key")" && pwd)/$(basename "$key")"
  fi
  signing="-DQUORVANE_UPDATE_PUBLIC_KEY=$key -DQUORVANE_UNSIGNED_UPDATES=OFF"
else
  echo "package: UNSIGNED UPDATES: the updater of this release starts any installer whose MD5 matches" >&2
  signing="-DQUORVANE_UPDATE_PUBLIC_KEY= -DQUORVANE_UNSIGNED_UPDATES=ON"
fi

for arch in "${arches[@]}"; do
  python3 "$here/tools/winarch.py" mingw "$arch" >/dev/null || exit 2
  main_build="$here/build/$arch"
  build="$(QUORVANE_ARCH="$arch" QUORVANE_BUILD_DIR="$main_build/release-$version" \
           QUORVANE_CMAKE_ARGS="-DQUORVANE_VERSION=$version -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_SUBDIRS=common;net;updater;platform/skin;platform/engine;browser;login;mainframe;app $signing ${QUORVANE_CMAKE_ARGS:-}" \
           bash "$here/tools/build.sh" installer | tail -n 1)"
  name="quorvane-setup-$version-$arch.exe"
  mkdir -p "$main_build/out"
  cp -f "$build/out/$name" "$main_build/out/$name"
  if [ -n "$key" ] && [ -f "$key" ] && grep -q "PRIVATE KEY" "$key"; then
    python3 "$here/tools/sign_installer.py" sign "$key" "$main_build/out/$name" --version "$version" >/dev/null
  fi
  echo "$main_build/out/$name"
done
