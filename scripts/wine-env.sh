# Sourced by the scripts that run Windows programs: the Wine prefix inside the build tree,
# Japanese code page, quiet Wine, and one prefix set-up (fonts) per prefix.
#
# Two runtimes: CORVANE_WINE=win64 (the default) is Debian's 64-bit Wine for the x86_64 build;
# CORVANE_WINE=win32 is the i386 Wine, run by qemu user-mode emulation through binfmt_misc
# (scripts/setup.sh registers it), for the i686 build: the DLLs users install. Each runtime has
# its own prefix; one 64-bit wineserver serves either.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
CORVANE_WINE=${CORVANE_WINE:-win64}
case "$CORVANE_WINE" in
  win64)
    export WINEPREFIX=${CORVANE_WINEPREFIX:-$repo/build/wineprefix}
    WINE_LOADER=/usr/lib/wine/wine64
    WINE_SERVER=/usr/lib/wine/wineserver
    WINE_PRELOAD=
    ;;
  win32)
    export WINEPREFIX=${CORVANE_WINEPREFIX32:-$repo/build/wineprefix32}
    export WINEARCH=win32
    export WINESERVER=/usr/lib/wine/wineserver64
    WINE_LOADER=/usr/lib/wine/wine
    WINE_SERVER=$WINESERVER
    # qemu reports every fault with a trap number Wine cannot read; this library (built by the
    # set-up from tools/wine32/trapmend.c) restores it. ld.so expands $LIB per process, so i386
    # processes load the mend and the 64-bit wineserver an empty library.
    WINE_PRELOAD='/usr/local/lib/corvane-wine32/$LIB/trapmend.so'
    ;;
  *)
    echo "wine-env: CORVANE_WINE must be win32 or win64, not '$CORVANE_WINE'" >&2
    return 1 2>/dev/null || exit 1
    ;;
esac

# Wine takes its code page (932) from the locale names; glibc need not have the locale, and
# setting them through env keeps this shell from complaining about it.
wine_exec() {
  if [ -n "$WINE_PRELOAD" ]; then
    env LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 LD_PRELOAD="$WINE_PRELOAD" "$WINE_LOADER" "$@"
  else
    env LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 "$WINE_LOADER" "$@"
  fi
}

wine_server() {
  "$WINE_SERVER" "$@"
}

# The 32-bit runtime needs i386 programs to start through qemu. Without it every win32 test
# fails with this message, never a skip that would read as a pass.
wine_check_runtime() {
  [ "$CORVANE_WINE" = win32 ] || return 0
  local entry=/proc/sys/fs/binfmt_misc/corvane-i386 problem=
  if [ ! -x "$WINE_LOADER" ] || [ ! -x /usr/bin/qemu-i386 ]; then
    problem="the i386 Wine ($WINE_LOADER) or qemu-i386 is not installed: run scripts/setup.sh"
  elif [ ! -f "$entry" ] || ! grep -qx enabled "$entry"; then
    problem="i386 programs are not registered with binfmt_misc ($entry): run scripts/setup.sh as root; where binfmt_misc is not available the 32-bit runtime cannot run (README, \"32-bit runtime\")"
  elif ! ls /usr/local/lib/corvane-wine32/lib/i386-linux-gnu/trapmend.so >/dev/null 2>&1; then
    problem="the fault-report mend is not built: run scripts/setup.sh"
  fi
  if [ -n "$problem" ]; then
    echo "wine-env: 32-bit Wine cannot run: $problem" >&2
    return 1
  fi
}

wine_prepare_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.corvane-ready-2" ]; then
      wine_exec wineboot -i >/dev/null 2>&1 || true
      # Dialog fonts: the Japanese system fonts map to IPA Gothic. A crash prints its exception,
      # address and backtrace and ends the program, instead of a crash dialog nobody answers.
      reg=$(mktemp --suffix=.reg)
      printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' \
        '"MS PGothic"="IPAPGothic"' '"MS Gothic"="IPAGothic"' '"MS UI Gothic"="IPAPGothic"' '' \
        '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' \
        | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
      wine_exec regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1
      rm -f "$reg"
      wine_server -w
      touch "$WINEPREFIX/.corvane-ready-2"
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
