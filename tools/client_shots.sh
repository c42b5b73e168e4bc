#!/bin/bash
# Screenshot of the main window with three tabs (real skins, engine stand-in, loopback pages)
# into docs/shots/main_window_tabs.png.
# Usage: tools/client_shots.sh [build folder]   (default: build/<arch>; builds client_memory_probe)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/tools/wine_env.sh"
arch="${QUORVANE_ARCH:-$(quorvane_pick_arch)}"
quorvane_use_arch "$arch"
build="${1:-$here/build/$arch}"
out="$here/docs/shots"
mkdir -p "$out"
cmake --build "$build" --target client_memory_probe -j2 >/dev/null
quorvane_start_display
quorvane_start_wine
trap quorvane_stop_all EXIT

log="$(mktemp)"
(cd "$build/bin" && quorvane_wine client_memory_probe.exe show >"$log" 2>/dev/null) &
pid=$!
for _ in $(seq 1 300); do
  grep -q '^ready' "$log" && break
  sleep 0.1
done
sleep 1   # let the last paint reach the X server
read -r _ x y w h < <(grep '^ready' "$log" | tr -d '\r')
# A maximised window overhangs the screen by its frame; keep what is on screen.
[ "$x" -lt 0 ] && { w=$((w + x)); x=0; }
[ "$y" -lt 0 ] && { h=$((h + y)); y=0; }
# Read straight from the server: xwd shows a Wine window lying inside a larger one as black.
python3 "$here/tools/screen_grab.py" - "$x" "$y" "$w" "$h" | convert ppm:- "$out/main_window_tabs.png"
echo "$out/main_window_tabs.png (${w}x${h})"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
rm -f "$log"
