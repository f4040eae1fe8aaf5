#!/usr/bin/env bash
# Builds the decoder and DSP libraries as static i686 mingw-w64 libraries from
# Debian's own source packages. Usage: build-xdeps.sh PREFIX [i686|x86_64]
# The prefix is left alone when its stamp matches the build's inputs (the
# build steps below, the toolchain files and the compiler), so a cached
# prefix is reused as is. The source packages come from the archives the
# machine's apt is already configured with: each of its deb entries is used
# as a deb-src entry, in a private apt state that leaves the machine's alone.
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
J=${TAV_JOBS:-$(nproc)}

stamp_inputs() {
  sed -n '/^# ---- build steps/,$p' "$HERE/build-xdeps.sh"
  cat "$TC" "$HERE/../cmake/mingw-posix-common.cmake"
  $T-g++-posix -dumpversion
}
STAMP=$(stamp_inputs | sha256sum | cut -c1-16)
# Prefixes stamped when the stamp covered the whole script (the fetching of
# the sources too) and built by these same steps and toolchain: their stamp,
# by the one they would have now.
declare -A SAME_BUILD=([a649c7a244875f00]=cd7f0f5d04f2098c [23c09dfe21c96337]=31d814945be38aea)
HAVE=$(cat "$PREFIX/.stamp" 2>/dev/null || true)
if [ -n "$HAVE" ] && { [ "$HAVE" = "$STAMP" ] || [ "$HAVE" = "${SAME_BUILD[$STAMP]:-}" ]; }; then
  echo "xdeps: up to date in $PREFIX"
  exit 0
fi

# The machine's deb entries as deb-src entries: one-line entries ("deb ..."
# becomes "deb-src ...") into $1/sources.list, deb822 stanzas of Types deb
# (not Enabled: no) into $1/sources.list.d/, each with Types: deb-src.
deb_src_entries() {
  local out=$1 f LIST PARTS
  eval "$(apt-config shell LIST Dir::Etc::sourcelist/f PARTS Dir::Etc::sourceparts/d)"
  mkdir -p "$out/sources.list.d"
  : > "$out/sources.list"
  for f in "$LIST" "$PARTS"*.list; do
    [ -f "$f" ] && sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$f" >> "$out/sources.list"
  done
  for f in "$PARTS"*.sources; do
    [ -f "$f" ] || continue
    awk 'function flush(  i) { if (n && deb && !off) { for (i = 1; i <= n; i++) print s[i]; print "" } n = deb = off = 0 }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      { line = $0
        if (tolower($1) == "types:") { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1; line = "Types: deb-src" }
        if (tolower($1) == "enabled:" && tolower($2) == "no") off = 1
        s[++n] = line }
      END { flush() }' "$f" > "$out/sources.list.d/$(basename "$f")"
  done
}

# Fetches the source packages into $1, through the deb-src entries, with apt's
# lists and caches in a scratch folder.
fetch_sources() {
  local dest=$1 apt; apt=$(mktemp -d)
  deb_src_entries "$apt"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial"
  local opts=(-o Dir::Etc::sourcelist="$apt/sources.list" -o Dir::Etc::sourceparts="$apt/sources.list.d"
              -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache")
  # an archive without sources makes update fail; what matters is below
  apt-get update -q "${opts[@]}" >"$apt/update.log" 2>&1 || true
  # a missing signature file makes apt exit non-zero although the tarballs arrive
  (cd "$dest" && apt-get source --download-only -q "${opts[@]}" $PKGS) >"$apt/source.log" 2>&1 || true
  for p in $PKGS; do
    ls "$dest"/${p}_*.dsc >/dev/null 2>&1 && continue
    echo "xdeps: source package $p not found through these entries:" >&2
    cat "$apt/sources.list" "$apt"/sources.list.d/* >&2
    tail -20 "$apt/update.log" "$apt/source.log" >&2
    rm -rf "$apt"
    return 1
  done
  rm -rf "$apt"
}

SRC="$(dirname "$PREFIX")/xdeps.src"
mkdir -p "$SRC"
if [ "$(ls "$SRC"/*.dsc 2>/dev/null | wc -l)" -lt 6 ]; then
  fetch_sources "$SRC"
fi
for p in $PKGS; do
  ls "$SRC"/${p}_*.dsc >/dev/null 2>&1 || { echo "xdeps: source package $p missing" >&2; exit 1; }
done

# ---- build steps (their text is part of the stamp) ----
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
