# Sourced by the run and test scripts: a Wine prefix with the Chinese code page, an X display
# (Xvfb), and a persistent wineserver so that each program starts quickly.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-quorvane}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono/Gecko installation prompts: nothing here needs them and there is no network for them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY

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

quorvane_start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || true
  # Xvfb has no window manager: Wine manages its windows itself (otherwise every closing
  # window waits for a manager that never answers). Also finishes the prefix set-up.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
}

quorvane_stop_all() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${QUORVANE_XVFB_PID:-}" ]; then kill "$QUORVANE_XVFB_PID" 2>/dev/null || true; fi
}
