# Sourced: the environment of every Wine process of one build tree.
# Needs TAV_BUILD_DIR (a cross build's binary folder) and TAV_WINE_ARCH
# (win32 or win64; written into the build tree's wine-run).
: "${TAV_BUILD_DIR:?}"
_tav_scripts=$(cd "$(dirname "${BASH_SOURCE[0]:-$0}")" && pwd)
if [ -z "${TAV_WINE_ARCH:-}" ] && [ -s "$TAV_BUILD_DIR/wine-arch" ]; then
  TAV_WINE_ARCH=$(cat "$TAV_BUILD_DIR/wine-arch")
fi
export TAV_WINE_ARCH="${TAV_WINE_ARCH:-win32}"
if [ "$TAV_WINE_ARCH" = win64 ]; then
  export TAV_WINE=/usr/lib/wine/wine64
else
  export TAV_WINE=/usr/lib/wine/wine
fi
if [ -x /usr/lib/wine/wineserver64 ]; then
  export TAV_WINESERVER=/usr/lib/wine/wineserver64
else
  export TAV_WINESERVER=/usr/lib/wine/wineserver32
fi
export WINESERVER="$TAV_WINESERVER"
export TAV_WINE_STATE="$TAV_BUILD_DIR/wine"
export WINEPREFIX="${TAV_WINEPREFIX:-$TAV_WINE_STATE/prefix}"
export WINEARCH="$TAV_WINE_ARCH"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export ALSA_CONFIG_PATH="$_tav_scripts/alsa-null.conf"
# While a test session is up, its own X server, whatever DISPLAY the caller
# brings along: a DISPLAY left from another session (or one since restarted)
# names a server that is gone or not ours, and every window would then fail
# in CreateWindowEx. TAV_KEEP_DISPLAY=1 keeps the caller's (to watch the
# windows on a real screen); with no session up the caller's DISPLAY stands.
if [ -s "$TAV_WINE_STATE/display" ] && { [ -z "${DISPLAY:-}" ] ||
     { [ -e "$TAV_WINE_STATE/session" ] && [ -z "${TAV_KEEP_DISPLAY:-}" ]; }; }; then
  export DISPLAY=":$(cat "$TAV_WINE_STATE/display")"
fi
if [ -S "$TAV_WINE_STATE/pulse/native" ]; then
  export PULSE_SERVER="unix:$TAV_WINE_STATE/pulse/native"
  export PULSE_COOKIE="$TAV_WINE_STATE/pulse/cookie"
fi
unset _tav_scripts
