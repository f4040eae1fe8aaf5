#!/usr/bin/env bash
# Installs every Debian package the build, the player and the tests need.
# Idempotent; run as root on Debian 12.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

PKGS=(
  # cross toolchain, wine, X for window tests
  wine wine32:i386 fonts-wine xvfb xauth x11-apps imagemagick
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  cmake ninja-build make pkgconf dpkg-dev xz-utils bzip2 ca-certificates
  fonts-wqy-microhei
  # native build
  g++ clang googletest libgtest-dev libgmock-dev libbenchmark-dev
  libmpg123-dev libvorbis-dev libogg-dev libopenmpt-dev libsoundtouch-dev librubberband-dev
  # test tools
  python3 python3-pyftpdlib lame vorbis-tools sox
  pulseaudio
)

missing=()
for p in "${PKGS[@]}"; do
  name=${p%%:*}
  arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  if [ -n "$arch" ]; then q="$name:$arch"; else q="$name"; fi
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
