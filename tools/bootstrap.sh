#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian bookworm machine (run as root).
# Idempotent: a second run only checks and returns.
#
# A package registry is sometimes briefly out of step with itself (one index of a mirror being
# synced). So: `apt-get update` is tried a few times and an index that stays broken is not fatal
# by itself; the x86_64 toolchain, Wine 64 and the rest are installed first, and the 32-bit part
# (wine32:i386, whose libraries must match the amd64 ones exactly) separately. When that part
# cannot be installed, bootstrap says why in one line, writes the reason to .deps/no-i386 (which
# tools/winarch.py reads) and goes on: i686 is then built but not run.
#   QUORVANE_BOOTSTRAP_NO_I386=1   behave as if the 32-bit part could not be installed
#   QUORVANE_APT_TRIES=N           tries of each registry step (3), QUORVANE_APT_PAUSE=S between (10)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="$here/.deps"
mkdir -p "$cache"
no_i386_file="$cache/no-i386"
tries="${QUORVANE_APT_TRIES:-3}"
pause="${QUORVANE_APT_PAUSE:-10}"

# Both Windows toolchains (i686 is the product's own architecture, x86_64 the second one), Wine
# 64, the release tools (installer, signing) and what the tests and benches use.
main_pkgs=(g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
           wine wine64 xvfb xauth fonts-wqy-microhei googletest x11-apps imagemagick
           cmake make python3 dpkg-dev curl locales nsis openssl osslsigncode ccache
           clang-format)
i386_pkgs=(wine32:i386)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing_of() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

mapfile -t missing_main < <(missing_of "${main_pkgs[@]}")
mapfile -t missing_i386 < <(missing_of "${i386_pkgs[@]}")
[ "${QUORVANE_BOOTSTRAP_NO_I386:-}" = "1" ] && missing_i386=()
# A failure only acted out by the switch does not outlive the run that asked for it.
if [ "${QUORVANE_BOOTSTRAP_NO_I386:-}" != "1" ] && grep -qs QUORVANE_BOOTSTRAP_NO_I386 "$no_i386_file"; then
  rm -f "$no_i386_file"
fi
# A 32-bit part that could not be installed within the last hours is not tried again at every
# build (each try reads the indexes again); delete .deps/no-i386 to try at once.
if [ ${#missing_i386[@]} -gt 0 ] && [ -n "$(find "$no_i386_file" -mmin -360 2>/dev/null)" ]; then
  missing_i386=()
fi

locale_ok=1
locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$' || locale_ok=0
src_ok=1
ls "$cache"/libjsoncpp_*.orig.tar.* >/dev/null 2>&1 || src_ok=0
ls "$cache"/pugixml_*.orig.tar.* >/dev/null 2>&1 || src_ok=0

if [ "${QUORVANE_BOOTSTRAP_NO_I386:-}" = "1" ]; then
  echo "32-bit Wine could not be installed (QUORVANE_BOOTSTRAP_NO_I386=1)" >"$no_i386_file"
elif [ -z "$(missing_of "${i386_pkgs[@]}")" ]; then
  rm -f "$no_i386_file"
fi

if [ ${#missing_main[@]} -eq 0 ] && [ ${#missing_i386[@]} -eq 0 ] && [ $src_ok -eq 1 ] && [ $locale_ok -eq 1 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# Source entries, for the two libraries that are built from Debian's sources.
if [ ! -f /etc/apt/sources.list.d/quorvane-src.sources ] && [ ! -f /etc/apt/sources.list.d/quorvane-src.list ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/quorvane-src.sources
  else
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' \
      > /etc/apt/sources.list.d/quorvane-src.list || true
  fi
fi

# `apt-get update` exits non-zero when any one index fails. Try again a few times; if an index
# stays broken, go on with the ones that came: whatever needs it fails at install time instead,
# with apt's own reason.
apt_update() {
  local i out
  for i in $(seq 1 "$tries"); do
    if out="$(timeout 600 apt-get update -qq 2>&1)"; then return 0; fi
    echo "bootstrap: apt-get update, try $i of $tries: $(grep -m1 -E '^(E|W):' <<<"$out" || tail -n 1 <<<"$out")" >&2
    [ "$i" -lt "$tries" ] && sleep "$pause"
  done
  echo "bootstrap: going on with the package indexes that could be read" >&2
  return 0
}

# One install step, tried again after a fresh index read; prints apt's last error on failure.
apt_install() {
  local i out
  for i in $(seq 1 "$tries"); do
    if out="$(timeout 1800 apt-get install -y -qq --no-install-recommends "$@" 2>&1)"; then return 0; fi
    last_apt_error="$(grep -E '^E:' <<<"$out" | tail -n 1 | sed 's/^E: //')"
    [ -n "$last_apt_error" ] || last_apt_error="$(tail -n 1 <<<"$out")"
    if grep -q 'unmet dependencies' <<<"$out"; then
      # The resolver's own last line says little; its first unmet dependency says what is wrong.
      last_apt_error="unmet dependencies: $(grep -m1 -A1 'unmet dependencies' <<<"$out" | tail -n 1 | tr -s ' ' | sed 's/^ //')"
    fi
    echo "bootstrap: apt-get install $*, try $i of $tries: $last_apt_error" >&2
    if [ "$i" -lt "$tries" ]; then sleep "$pause"; apt_update; fi
  done
  return 1
}

apt_update
if [ ${#missing_main[@]} -gt 0 ]; then
  if ! apt_install "${missing_main[@]}"; then
    echo "bootstrap: the toolchain could not be installed: $last_apt_error" >&2
    exit 1
  fi
fi
if [ ${#missing_i386[@]} -gt 0 ]; then
  if apt_install "${missing_i386[@]}"; then
    rm -f "$no_i386_file"
  else
    reason="32-bit Wine could not be installed (${last_apt_error:0:300})"
    echo "$reason" >"$no_i386_file"
    echo "bootstrap: $reason; i686 is built but not run" >&2
  fi
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

# The two libraries built from Debian's sources; a download that breaks off is tried again.
fetch_source() {
  local pattern="$1" package="$2" i
  for i in $(seq 1 "$tries"); do
    ls $pattern >/dev/null 2>&1 && return 0
    (cd "$cache" && timeout 600 apt-get source --download-only "$package" >/dev/null 2>&1) && ls $pattern >/dev/null 2>&1 && return 0
    echo "bootstrap: apt-get source $package, try $i of $tries failed" >&2
    if [ "$i" -lt "$tries" ]; then sleep "$pause"; apt_update; fi
  done
  echo "bootstrap: the sources of $package could not be downloaded" >&2
  return 1
}
fetch_source "$cache/libjsoncpp_*.orig.tar.*" libjsoncpp-dev
fetch_source "$cache/pugixml_*.orig.tar.*" pugixml
echo "bootstrap: done"
