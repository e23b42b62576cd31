#!/usr/bin/env bash
# Installs everything the builds and tests need on a Debian 12 machine, registers the 32-bit
# runtime (i386 Wine under qemu user-mode emulation, started through binfmt_misc), and fetches
# the Oniguruma sources into third_party/ (never committed), with our patches applied.
# Idempotent: fast when all is there. The binfmt registration is lost at reboot, so it is
# checked and redone on every run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  mingw-w64-i686-dev mingw-w64-x86-64-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth fonts-ipafont-gothic imagemagick
  googletest libbenchmark-dev libonig-dev clang libclang-rt-14-dev
  cmake ninja-build dpkg-dev patch zip unzip python3
  # CPython's email test messages: real mail the decoder's corpus test compares with Python.
  libpython3.11-testsuite
  # The 32-bit runtime: the i386 Wine, the X libraries it loads at run time (as the 64-bit
  # one has them), and gcc -m32 for the small library that mends qemu's fault reports.
  wine32:i386 libxrender1:i386 libxcursor1:i386 libxi6:i386 libxrandr2:i386
  libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386 gcc-multilib
)

# ---- Extra apt entries, derived from the machine's own ones --------------------------------
# For every enabled binary entry of the distribution's archive (the one that carries the release
# suite itself), the same entry as deb-src (Oniguruma's sources) and for the backports suite
# (qemu-user 10; the release's 7.2 cannot run Wine). Copying the entries keeps mirrors and keys.
derive_sources() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$(basename "$f")" in corvane*) continue ;; esac
    awk -v code="$codename" '
      function flush(   n, i, s, src, fields) {
        if (!bad && (" " types " ") ~ / deb / && (" " suites " ") ~ (" " code " ")) {
          n = split(suites, s, /[ \t]+/)
          src = ""
          for (i = 1; i <= n; i++)
            if (s[i] == code || s[i] == code "-updates") src = src (src == "" ? "" : " ") s[i]
          printf "Types: deb-src\nSuites: %s\n%s\n", src, rest
          printf "Types: deb\nSuites: %s-backports\n%s\n", code, rest
        }
        types = ""; suites = ""; rest = ""; bad = 0; last = ""
      }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ { if (last != "skip") rest = rest $0 "\n"; next }
      {
        key = tolower(substr($0, 1, index($0, ":") - 1))
        val = substr($0, index($0, ":") + 1); gsub(/^[ \t]+|[ \t]+$/, "", val)
        if (key == "types") { types = val; last = "skip" }
        else if (key == "suites") { suites = val; last = "skip" }
        else if (key == "enabled" && tolower(val) == "no") { bad = 1; last = "skip" }
        else { rest = rest $0 "\n"; last = key }
      }
      END { flush() }
    ' "$f"
  done
  # One-line entries: "deb [options] URI suite components...".
  local l
  for l in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$l" ] || continue
    awk -v code="$codename" '
      $1 == "deb" {
        line = $0; sub(/^deb[ \t]+/, "", line)
        opts = ""
        if (line ~ /^\[/) { opts = substr(line, 1, index(line, "]")); line = substr(line, index(line, "]") + 1) }
        n = split(line, w, /[ \t]+/); j = (w[1] == "" ? 2 : 1)
        uri = w[j]; suite = w[j + 1]; comps = ""
        for (i = j + 2; i <= n; i++) comps = comps " " w[i]
        if (suite == code) {
          print "#one-line deb-src " opts " " uri " " suite comps
          print "#one-line deb " opts " " uri " " code "-backports" comps
        } else if (suite == code "-updates") {
          print "#one-line deb-src " opts " " uri " " suite comps
        }
      }' "$l"
  done
}

need_update=0
write_if_changed() {  # file, content
  if [ -z "$2" ]; then
    if [ -f "$1" ]; then rm -f "$1"; need_update=1; fi
  elif [ ! -f "$1" ] || [ "$(cat "$1")" != "$2" ]; then
    printf '%s\n' "$2" > "$1"
    need_update=1
  fi
}
derived=$(derive_sources)
write_if_changed /etc/apt/sources.list.d/corvane.sources "$(printf '%s\n' "$derived" | grep -v '^#one-line ' || true)"
write_if_changed /etc/apt/sources.list.d/corvane.list "$(printf '%s\n' "$derived" | sed -n 's/^#one-line //p')"
if [ -z "$derived" ]; then
  echo "setup: no enabled apt entry for the '$codename' archive found to derive deb-src and backports from" >&2
  exit 1
fi
# The entry an earlier set-up wrote by hand.
if [ -f /etc/apt/sources.list.d/corvane-src.sources ]; then
  rm -f /etc/apt/sources.list.d/corvane-src.sources
  need_update=1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

# One query for all: the installed packages, foreign ones with their architecture.
installed=" $(dpkg-query -W -f='${db:Status-Abbrev}${binary:Package}\n' 2>/dev/null \
             | awk -v native=":$(dpkg --print-architecture)" \
                 '$1 == "ii" { sub(native "$", "", $2); printf "%s ", $2 }') "
missing=()
for p in "${packages[@]}"; do
  case "$installed" in *" $p "*) ;; *) missing+=("$p") ;; esac
done
# qemu-user must be the backports one (10.x); the release's 7.2 leaves Wine spinning.
qemu_version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
need_qemu=0
if [ -z "$qemu_version" ] || dpkg --compare-versions "$qemu_version" lt 1:8; then need_qemu=1; fi

if [ ${#missing[@]} -gt 0 ] || [ $need_qemu -eq 1 ] || [ $need_update -eq 1 ]; then
  apt-get update -q || true
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # wine32's post-install scripts print "Exec format error" while binfmt is not yet registered.
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ $need_qemu -eq 1 ]; then
  echo "setup: installing qemu-user from $codename-backports"
  apt-get install -y -q --no-install-recommends -t "$codename-backports" qemu-user
fi

# ---- binfmt_misc: i386 ELF programs run through qemu-i386 ----------------------------------
# With the P flag the kernel passes the program's own argv[0]; qemu knows to expect that when
# its file name ends in -binfmt-P. The link lives in a permanent place, not /tmp.
libexec=/usr/local/libexec/corvane
mkdir -p "$libexec"
ln -sfn /usr/bin/qemu-i386 "$libexec/qemu-i386-binfmt-P"
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
fi
have_binfmt=1
if [ ! -w "$binfmt/register" ]; then
  # Everything else still works; the test command then fails every win32 Windows test with
  # this reason rather than skip them.
  echo "setup: WARNING: binfmt_misc is not available here ($binfmt/register missing or read-only):" >&2
  echo "setup: 32-bit Wine cannot start; every win32 Windows test will fail. See README, \"32-bit runtime\"." >&2
  have_binfmt=0
fi
want_interp="$libexec/qemu-i386-binfmt-P"
entry="$binfmt/corvane-i386"
if [ $have_binfmt -eq 1 ]; then
  if [ -f "$entry" ] && { ! grep -qx enabled "$entry" || ! grep -qx "interpreter $want_interp" "$entry" \
                          || ! grep -q '^flags: .*P' "$entry"; }; then
    echo -1 > "$entry"
  fi
  # Another registration for i386 ELF (say a distribution's qemu-i386) would shadow ours.
  for other in "$binfmt"/qemu-i386 "$binfmt"/i386; do
    if [ -f "$other" ]; then echo -1 > "$other"; fi
  done
  if [ ! -f "$entry" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":corvane-i386:M::$magic:$mask:$want_interp:P" > "$binfmt/register"
  fi
fi

# ---- The mend for qemu's fault reports -----------------------------------------------------
# ld.so expands $LIB per process: the i386 copy for Wine's processes, an empty x86_64 copy for
# the 64-bit wineserver that serves them.
mend_dir=/usr/local/lib/corvane-wine32
mend_src="$here/tools/wine32/trapmend.c"
i386_lib=$mend_dir/lib/i386-linux-gnu
x64_lib=$mend_dir/lib/x86_64-linux-gnu
if [ ! -f "$i386_lib/trapmend.so" ] || [ "$mend_src" -nt "$i386_lib/trapmend.so" ] \
   || [ ! -f "$x64_lib/trapmend.so" ]; then
  mkdir -p "$i386_lib" "$x64_lib"
  gcc -m32 -O2 -Wall -Wextra -Werror -shared -fPIC -o "$i386_lib/trapmend.so.new" "$mend_src" -ldl
  mv "$i386_lib/trapmend.so.new" "$i386_lib/trapmend.so"
  echo '' | gcc -x c -O2 -shared -fPIC -o "$x64_lib/trapmend.so" -
fi

# ---- Oniguruma's sources -------------------------------------------------------------------
onig_dir="$here/third_party/onig"
if [ ! -f "$onig_dir/CMakeLists.txt" ]; then
  work=$(mktemp -d)
  (cd "$work" && apt-get source --download-only libonig >/dev/null)
  tarball=$(ls "$work"/libonig_*.orig.tar.gz | head -n 1)
  rm -rf "$onig_dir" && mkdir -p "$onig_dir"
  tar -xzf "$tarball" -C "$onig_dir" --strip-components=1
  rm -rf "$work"
fi
# Our build of Oniguruma limits the work of a whole search, not only its retries.
if ! grep -q step_limit_in_search "$onig_dir/src/oniguruma.h"; then
  patch -p1 -s -d "$onig_dir" < "$here/patches/oniguruma-step-limit.patch"
fi
# ---- The 32-bit runtime's Wine prefix (build/wineprefix32), made once ----------------------
if [ $have_binfmt -eq 1 ]; then
  (export CORVANE_WINE=win32; source "$here/scripts/wine-env.sh"; wine_check_runtime; wine_prepare_prefix)
fi
echo "setup: ready"
