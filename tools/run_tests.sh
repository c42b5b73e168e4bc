#!/usr/bin/env bash
# Installs what is missing, builds both programs and every test program, and runs all tests
# under Wine (Chinese code page 936) on a private X display. Ends with ctest's summary.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
build="$(bash tools/build.sh | tail -n 1)"
source tools/wine_env.sh
trap quorvane_stop_all EXIT
quorvane_start_display
quorvane_start_wine
ctest --test-dir "$build" --output-on-failure "$@"
