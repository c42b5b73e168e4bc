#!/usr/bin/env bash
# Builds the programs and starts the client against the bundled demo platform on loopback, in the
# architecture this machine can run (the product's own, i686, where it can).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash tools/bootstrap.sh
source tools/wine_env.sh
arch="${QUORVANE_ARCH:-$(quorvane_pick_arch)}" || { echo "this machine can run neither architecture"; exit 1; }
echo "demo: running the $arch build"
build="$(QUORVANE_ARCH="$arch" bash tools/build.sh quorvane quorvupdate | tail -n 1)"
quorvane_use_arch "$arch"
if [ -z "${DISPLAY:-}" ]; then
  # No screen: a private X display, automatic sign-in, a screenshot, then the end.
  export QUORVANE_DEMO_HEADLESS=1
  trap quorvane_stop_all EXIT
  quorvane_start_display
fi
quorvane_start_wine
python3 "$here/tools/demo.py" --bin "$build/bin" "$@"
