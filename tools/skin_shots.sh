#!/bin/bash
# Screenshots of the client's skins at 100 % and 150 % into docs/shots/ (PNG).
# Usage: tools/skin_shots.sh [build folder]   (default: build/<arch>; builds skin_preview)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/tools/wine_env.sh"
arch="${QUORVANE_ARCH:-$(quorvane_pick_arch)}"
quorvane_use_arch "$arch"
build="${1:-$here/build/$arch}"
out="$here/docs/shots"
mkdir -p "$out"
cmake --build "$build" --target skin_preview -j2 >/dev/null
quorvane_start_display
quorvane_start_wine
trap quorvane_stop_all EXIT

shot() {  # skin dpi name [menu skin]
  local log
  log="$(mktemp)"
  (cd "$build/bin" && quorvane_wine skin_preview.exe "$1" "$2" 6 ${4:-} >"$log" 2>/dev/null) &
  local pid=$!
  for _ in $(seq 1 100); do
    grep -q '^ready' "$log" && break
    sleep 0.1
  done
  sleep 1   # let the first paint reach the X server
  read -r _ x y w h < <(grep '^ready' "$log" | tr -d '\r')
  python3 "$here/tools/screen_grab.py" - "$x" "$y" "$w" "$h" | convert ppm:- "$out/$3.png"
  echo "$out/$3.png (${w}x${h})"
  wait "$pid" || true
  rm -f "$log"
}

shot lm_Login.xml 96 login_100
shot lm_Login.xml 144 login_150
shot MainWindow.xml 96 main_100
shot MainWindow.xml 144 main_150
shot ConfirmDlg.xml 96 confirm_100
shot MainWindow.xml 96 menu_tray_100 menu_tray.xml
shot MainWindow.xml 144 menu_tray_150 menu_tray.xml
