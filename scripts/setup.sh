#!/usr/bin/env bash
# Installs everything the builds and tests need on a Debian 12 machine, and fetches the
# Oniguruma sources into third_party/ (never committed), with our patches applied. Idempotent:
# fast when all is there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  mingw-w64-i686-dev mingw-w64-x86-64-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth fonts-ipafont-gothic imagemagick
  googletest libbenchmark-dev libonig-dev clang libclang-rt-14-dev
  cmake ninja-build dpkg-dev patch zip unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

src_list=/etc/apt/sources.list.d/corvane-src.sources
need_update=0
if [ ! -f "$src_list" ]; then
  # Source entries for the same archive the machine already uses, for Oniguruma's sources.
  cat > "$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  apt-get update -q || true
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

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
echo "setup: ready"
