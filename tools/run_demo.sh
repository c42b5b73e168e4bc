#!/usr/bin/env bash
# Builds the programs and starts the client against the bundled demo platform on loopback, in the
# architecture this machine can run (the product's own, i686, where it can).
#   --update [--mandatory]   instead: install version N with its setup program into a fresh Wine
#                            prefix and update it to N+1 through the updater (tools/demo.py)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash tools/bootstrap.sh
source tools/wine_env.sh
arch="${QUORVANE_ARCH:-$(quorvane_pick_arch)}" || { echo "this machine can run neither architecture"; exit 1; }
echo "demo: running the $arch build"
update=0
for a in "$@"; do [ "$a" = "--update" ] && update=1; done
if [ $update -eq 1 ]; then
  build="$(QUORVANE_ARCH="$arch" bash tools/build.sh installer installer_next uidriver | tail -n 1)"
  # A fresh prefix of its own: setup writes into Program Files and the registry.
  export QUORVANE_WINEPREFIX_BASE="$build/demo-update/wine"
  rm -rf "$QUORVANE_WINEPREFIX_BASE-$arch"
  args=()
  for a in "$@"; do [ "$a" = "--update" ] || args+=("$a"); done
  version="$(sed -n 's/^QUORVANE_VERSION:STRING=//p' "$build/CMakeCache.txt")"
  next="$(sed -n 's/^QUORVANE_NEXT_VERSION:STRING=//p' "$build/CMakeCache.txt")"
  set -- --update "$build/out/quorvane-setup-$version-$arch.exe" "$build/out/quorvane-setup-$next-$arch.exe" \
         ${args[@]+"${args[@]}"}
else
  build="$(QUORVANE_ARCH="$arch" bash tools/build.sh quorvane quorvupdate | tail -n 1)"
fi
quorvane_use_arch "$arch"
if [ -z "${DISPLAY:-}" ]; then
  # No screen: a private X display, automatic sign-in, a screenshot, then the end.
  export QUORVANE_DEMO_HEADLESS=1
  trap quorvane_stop_all EXIT
  quorvane_start_display
fi
quorvane_start_wine
python3 "$here/tools/demo.py" --bin "$build/bin" "$@"
