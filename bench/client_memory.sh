#!/usr/bin/env bash
# Private memory of the client with its first tab and with 10 browsers open: the real main
# window, skins and engine stand-in in one process (client_memory_probe, built with the tests)
# against a loopback site. Prints both figures and their ratio.
#   bench/client_memory.sh [BUILD_DIR]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
. tools/wine_env.sh
ARCH=${QUORVANE_ARCH:-$(quorvane_pick_arch)}
quorvane_use_arch "$ARCH"
BUILD=${1:-$ROOT/build/$ARCH}
echo "architecture: $ARCH, cores: $(nproc)"
quorvane_start_display
quorvane_start_wine
trap quorvane_stop_all EXIT
cmake --build "$BUILD" --target client_memory_probe >/dev/null
LINE=$(cd "$BUILD/bin" && quorvane_wine client_memory_probe.exe | tr -d '\r' | grep '^{')
echo "$LINE" | python3 -c '
import json, sys
r = json.loads(sys.stdin.read())
one, ten = r["private_1"], r["private_10"]
print("private memory, 1 browser:   %7.1f MiB" % (one / 1048576))
print("private memory, %d browsers: %7.1f MiB" % (r["browsers_10"], ten / 1048576))
print("ratio 10/1: %.2f, per further browser: %.0f KiB" % (ten / one, (ten - one) / 9 / 1024))
'
