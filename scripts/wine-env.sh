#!/usr/bin/env bash
# Sourced by the scripts that run Windows programs under Wine: the project's
# private prefix (created once), the font that stands in for 新宋体, and an
# X display (the current one, or a private Xvfb when there is none).
export WINEPREFIX="${LINKHOARD_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/linkhoard/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

lh_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  if [ ! -f "$WINEPREFIX/.linkhoard-fonts" ]; then
    # 新宋体 does not exist under Wine: substitute a CJK font from Debian.
    # The value name is Chinese, so the .reg file is UTF-16.
    local reg
    reg=$(mktemp --suffix=.reg)
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"新宋体"="WenQuanYi Micro Hei"\r\n"SimSun"="WenQuanYi Micro Hei"\r\n"NSimSun"="WenQuanYi Micro Hei"\r\n' |
      iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
    wine regedit /S "$reg" >/dev/null 2>&1 || true
    wineserver -w || true
    rm -f "$reg"
    touch "$WINEPREFIX/.linkhoard-fonts"
  fi
}

# Uses $DISPLAY when it works, else starts a private Xvfb (and says so).
lh_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 91 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
      LH_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
      done
      echo "no usable display: started a private Xvfb on $DISPLAY (1920 x 1080)" >&2
      return 0
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

lh_stop_display() {
  if [ -n "${LH_XVFB_PID:-}" ]; then
    kill "$LH_XVFB_PID" 2>/dev/null || true
    wait "$LH_XVFB_PID" 2>/dev/null || true
  fi
}
