# Sourced by the run and test scripts: a private X display (Xvfb) and the Wine environment of one
# architecture, as tools/winarch.py defines it (loader, prefix with code page 936, persistent
# wineserver). Call quorvane_use_arch ARCH first; then start programs with quorvane_wine.
_quorvane_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

quorvane_winarch() { python3 "$_quorvane_root/tools/winarch.py" "$@"; }

# The architecture to run when one is enough: the product's own where it runs, else the other.
quorvane_pick_arch() {
  local a
  a="$(quorvane_winarch runnable | head -n 1)"
  [ -n "$a" ] || return 1
  echo "$a"
}

quorvane_use_arch() {
  eval "$(quorvane_winarch env "$1")"
}

quorvane_wine() { env LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 "$WINELOADER" "$@"; }
quorvane_winpath() { quorvane_winarch winpath "$1"; }

quorvane_start_display() {
  if [ -n "${QUORVANE_KEEP_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
  done
  Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
  QUORVANE_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
}

quorvane_start_wine() { quorvane_winarch boot "${QUORVANE_ARCH:?quorvane_use_arch first}"; }
quorvane_stop_wine() { [ -z "${QUORVANE_ARCH:-}" ] || quorvane_winarch stop "$QUORVANE_ARCH"; }

quorvane_stop_all() {
  quorvane_stop_wine
  if [ -n "${QUORVANE_XVFB_PID:-}" ]; then kill "$QUORVANE_XVFB_PID" 2>/dev/null || true; fi
}
