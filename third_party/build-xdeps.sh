#!/usr/bin/env bash
# Builds the decoder and DSP libraries as static i686 mingw-w64 libraries from
# Debian's own source packages. Usage: build-xdeps.sh PREFIX [i686|x86_64]
# The prefix is left alone when its stamp matches this script's inputs, so a
# cached prefix is reused as is.
set -euo pipefail
PREFIX=$(realpath -m "${1:?usage: build-xdeps.sh PREFIX}")
HERE=$(cd "$(dirname "$0")" && pwd)
ARCH=${2:-i686}
case "$ARCH" in
  i686) MPG123_CPU=x86 ;;
  x86_64) MPG123_CPU=x86-64 ;;
  *) echo "xdeps: unknown arch $ARCH" >&2; exit 2 ;;
esac
T=$ARCH-w64-mingw32
TC="$HERE/../cmake/mingw-$ARCH-posix.cmake"
PKGS="libogg libvorbis mpg123 libopenmpt soundtouch googletest"

stamp_inputs() {
  cat "$HERE/build-xdeps.sh" "$TC" "$HERE/../cmake/mingw-posix-common.cmake"
  $T-g++-posix -dumpversion
}
STAMP=$(stamp_inputs | sha256sum | cut -c1-16)
if [ -f "$PREFIX/.stamp" ] && [ "$(cat "$PREFIX/.stamp")" = "$STAMP" ]; then
  echo "xdeps: up to date in $PREFIX"
  exit 0
fi

SRC="$(dirname "$PREFIX")/xdeps.src"
mkdir -p "$SRC"
# Source packages: fetched once through a deb-src entry that is removed again.
if ! ls "$SRC"/*.dsc >/dev/null 2>&1 || [ "$(ls "$SRC"/*.dsc | wc -l)" -lt 6 ]; then
  LIST=/etc/apt/sources.list.d/tavolen-src.sources
  cat > "$LIST" <<SRCEOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRCEOF
  apt-get update -q -o Dir::Etc::sourcelist="$LIST" -o Dir::Etc::sourceparts=- -o APT::Get::List-Cleanup=0 >/dev/null
  # a missing signature file makes apt exit non-zero although the tarballs arrive
  (cd "$SRC" && apt-get source --download-only -q $PKGS -o Dir::Etc::sourcelist="$LIST" -o Dir::Etc::sourceparts=- ) || true
  rm -f "$LIST"
  apt-get update -q >/dev/null || true
fi
for p in $PKGS; do
  ls "$SRC"/${p}_*.dsc >/dev/null 2>&1 || { echo "xdeps: source package $p missing" >&2; exit 1; }
done

WORK="$PREFIX.work"
rm -rf "$WORK" "$PREFIX"
mkdir -p "$WORK" "$PREFIX"
(cd "$WORK" && for d in "$SRC"/*.dsc; do dpkg-source --no-check -x "$d" >/dev/null; done)

export CC=$T-gcc-posix CXX=$T-g++-posix
export AR=$T-ar RANLIB=$T-ranlib STRIP=$T-strip
export PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig" PKG_CONFIG_PATH=
export CPPFLAGS="-I$PREFIX/include" LDFLAGS="-L$PREFIX/lib"
export CFLAGS="-O2 -msse2 -mfpmath=sse" CXXFLAGS="-O2 -msse2 -mfpmath=sse"
AC="--host=$T --prefix=$PREFIX --enable-static --disable-shared"
J=$(nproc)

build_ac() {  # dir-glob, configure args...
  local dir; dir=$(ls -d "$WORK"/$1-*/ | head -1)
  shift
  mkdir -p "$dir/_b" && cd "$dir/_b"
  ../configure $AC "$@" >configure.log 2>&1 || { tail -40 configure.log; exit 1; }
  make -j"$J" >make.log 2>&1 || { tail -40 make.log; exit 1; }
  make install >/dev/null
}

build_ac libogg
build_ac libvorbis --disable-docs --disable-examples --disable-oggtest
build_ac mpg123 --with-cpu=$MPG123_CPU --with-audio=win32 --enable-network=no
build_ac libopenmpt --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
  --without-zlib --with-mpg123 --with-ogg --with-vorbis --with-vorbisfile --without-portaudio \
  --without-portaudiocpp --without-pulseaudio --without-sndfile --without-flac

st=$(ls -d "$WORK"/soundtouch-*/ | head -1)
cmake -S "$st" -B "$st/_b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TC" -DTAV_XDEPS="$PREFIX" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DSOUNDSTRETCH=OFF -DSOUNDTOUCH_DLL=OFF \
  -DCMAKE_CXX_FLAGS="-mmmx -msse -msse2 -mfpmath=sse" -DCMAKE_INSTALL_PREFIX="$PREFIX" >/dev/null
cmake --build "$st/_b" >/dev/null
cmake --install "$st/_b" >/dev/null

# GoogleTest sources for the Windows test executables (built by the project itself).
gt=$(ls -d "$WORK"/googletest-*/ | head -1)
rm -rf "$PREFIX/googletest-src"
cp -a "$gt" "$PREFIX/googletest-src"

rm -rf "$WORK"
echo "$STAMP" > "$PREFIX/.stamp"
echo "xdeps: built into $PREFIX"
