#!/usr/bin/env bash
# Builds the programs and starts the client against the bundled demo platform on loopback.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
build="$(bash tools/build.sh quorvane quorvupdate | tail -n 1)"
source tools/wine_env.sh
if [ -z "${DISPLAY:-}" ]; then
  # No screen: a private X display, automatic sign-in, a screenshot, then the end.
  export QUORVANE_DEMO_HEADLESS=1
  trap quorvane_stop_all EXIT
  quorvane_start_display
fi
quorvane_start_wine
python3 "$here/tools/demo.py" --bin "$build/bin" "$@"
