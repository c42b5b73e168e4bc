#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian bookworm machine (run as root).
# Idempotent: a second run only checks and returns.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="$here/.deps"
mkdir -p "$cache"

# Both Windows toolchains (i686 is the product's own architecture, x86_64 the second one), Wine
# for both, and the release tools (installer, signing).
need_pkgs=(g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
           wine wine32:i386 wine64 xvfb xauth fonts-wqy-microhei googletest x11-apps imagemagick
           cmake make python3 dpkg-dev curl locales nsis openssl)

missing=()
for p in "${need_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# Chinese locale: Wine takes its ANSI code page (936) from it.
locale_ok=1
locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$' || locale_ok=0

src_ok=1
ls "$cache"/libjsoncpp_*.orig.tar.* >/dev/null 2>&1 || src_ok=0
ls "$cache"/pugixml_*.orig.tar.* >/dev/null 2>&1 || src_ok=0

if [ ${#missing[@]} -eq 0 ] && [ $src_ok -eq 1 ] && [ $locale_ok -eq 1 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# Source entries, for the two libraries that are built from Debian's sources.
if [ ! -f /etc/apt/sources.list.d/quorvane-src.sources ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/quorvane-src.sources
  else
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' \
      > /etc/apt/sources.list.d/quorvane-src.list || true
  fi
fi
apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${need_pkgs[@]}" >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
# Nothing may set LC_ALL to a locale that is not there: Wine would quietly fall back to another
# code page than 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  echo "bootstrap: the zh_CN.UTF-8 locale could not be generated" >&2
  exit 1
fi
cd "$cache"
ls libjsoncpp_*.orig.tar.* >/dev/null 2>&1 || apt-get source --download-only libjsoncpp-dev >/dev/null 2>&1
ls pugixml_*.orig.tar.* >/dev/null 2>&1 || apt-get source --download-only pugixml >/dev/null 2>&1
echo "bootstrap: done"
