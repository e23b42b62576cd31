# Sourced by the scripts that run Windows programs: the Wine prefix inside the build tree,
# Japanese code page, quiet Wine, and one prefix set-up (fonts) per prefix.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${CORVANE_WINEPREFIX:-$repo/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE64=/usr/lib/wine/wine64

# Wine takes its code page (932) from the locale names; glibc need not have the locale, and
# setting them through env keeps this shell from complaining about it.
wine_exec() {
  env LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 "$WINE64" "$@"
}

wine_prepare_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
      wine_exec wineboot -i >/dev/null 2>&1 || true
      # Dialog fonts: the Japanese system fonts map to IPA Gothic.
      reg=$(mktemp --suffix=.reg)
      printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' \
        '"MS PGothic"="IPAPGothic"' '"MS Gothic"="IPAGothic"' '"MS UI Gothic"="IPAPGothic"' \
        | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
      wine_exec regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1
      rm -f "$reg"
      /usr/lib/wine/wineserver -w
      touch "$WINEPREFIX/.corvane-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

winepath_of() {
  printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"
}

# An X display for the windows: the caller's, or one Xvfb kept for this shell.
wine_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ]; then
    return 0
  fi
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      CORVANE_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
      done
    fi
  done
  echo "wine-env: no X display could be started" >&2
  return 1
}

wine_stop_display() {
  if [ -n "${CORVANE_XVFB_PID:-}" ]; then
    kill "$CORVANE_XVFB_PID" 2>/dev/null || true
    wait "$CORVANE_XVFB_PID" 2>/dev/null || true
    unset CORVANE_XVFB_PID
  fi
}
