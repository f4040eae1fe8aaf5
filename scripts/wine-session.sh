#!/usr/bin/env bash
# The session the Windows tests of one build tree run in:
#   wine-session.sh up BUILD_DIR    prefix, X server, null-sink sound server, wineserver
#   wine-session.sh down BUILD_DIR  stops them again
set -uo pipefail
cmd=${1:?}; export TAV_BUILD_DIR=$(realpath "${2:?}")
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/wine-env.sh"
S="$TAV_WINE_STATE"
mkdir -p "$S"

stop_pid() { [ -s "$1" ] && kill "$(cat "$1")" 2>/dev/null; rm -f "$1"; }
alive() { [ -s "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

case "$cmd" in
up)
  # A session that is already up stays as it is: the test run brings it up
  # before ctest, whose own set-up step then finds it running. Restarting it
  # under running tests would take their X server and wineserver away.
  if [ -e "$S/session" ] && alive "$S/xvfb.pid" && "$TAV_WINESERVER" -k0 2>/dev/null; then
    echo "wine session already up: DISPLAY=$(cat "$S/display" 2>/dev/null) prefix=$WINEPREFIX"
    exit 0
  fi
  rm -f "$S/session"
  "$HERE/make-wine-prefix.sh" || exit 1
  # X server for window tests
  if [ -z "${TAV_KEEP_DISPLAY:-}" ]; then
    stop_pid "$S/xvfb.pid"; rm -f "$S/display"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$S/display" \
      </dev/null >"$S/xvfb.log" 2>&1 &
    echo $! > "$S/xvfb.pid"
    for _ in $(seq 100); do [ -s "$S/display" ] && break; sleep 0.05; done
    [ -s "$S/display" ] || { echo "Xvfb did not start"; cat "$S/xvfb.log"; exit 1; }
    export DISPLAY=":$(cat "$S/display")"
  fi
  # sound server with a null sink: DirectSound gets a device paced in real time
  if command -v pulseaudio >/dev/null; then
    stop_pid "$S/pulse.pid"
    P="$S/pulse"; rm -rf "$P"; mkdir -p "$P/home"
    cat > "$P/null.pa" <<PA
load-module module-null-sink sink_name=nullsink rate=48000
set-default-sink nullsink
load-module module-native-protocol-unix auth-anonymous=1 socket=$P/native
PA
    HOME="$P/home" XDG_RUNTIME_DIR="$P" setsid pulseaudio -n -F "$P/null.pa" --daemonize=no \
      --exit-idle-time=-1 --use-pid-file=no --disallow-exit </dev/null >"$P/log" 2>&1 &
    echo $! > "$S/pulse.pid"
    for _ in $(seq 100); do [ -S "$P/native" ] && break; sleep 0.05; done
    cp "$P/home/.config/pulse/cookie" "$P/cookie" 2>/dev/null || true
  fi
  "$TAV_WINESERVER" -k 2>/dev/null; "$TAV_WINESERVER" -w 2>/dev/null
  setsid "$TAV_WINESERVER" -p </dev/null >/dev/null 2>&1
  # Start the prefix's services now, away from any test's output: started by
  # the first test they would hold its output open until the session ends.
  "$TAV_WINE" cmd /c exit 0 </dev/null >/dev/null 2>&1
  # Keep the desktop open for the whole session, for the same reason: a desktop
  # reopened by a test would keep that test's output open (tests/common/desktop_keeper.cpp).
  if [ -x "$TAV_BUILD_DIR/bin/desktop_keeper.exe" ]; then
    rm -f "$S/desktop.ready"
    setsid "$TAV_WINE" "$TAV_BUILD_DIR/bin/desktop_keeper.exe" "Z:$S/desktop.ready" </dev/null >/dev/null 2>&1 &
    for _ in $(seq 200); do [ -e "$S/desktop.ready" ] && break; sleep 0.05; done
    [ -e "$S/desktop.ready" ] || echo "warning: the desktop keeper did not report; tests may wait on a reopened desktop"
  fi
  touch "$S/session"
  echo "wine session up: DISPLAY=$(cat "$S/display" 2>/dev/null) prefix=$WINEPREFIX"
  ;;
down)
  rm -f "$S/session"
  "$TAV_WINESERVER" -k 2>/dev/null
  stop_pid "$S/pulse.pid"
  stop_pid "$S/xvfb.pid"
  rm -f "$S/display"
  echo "wine session down"
  ;;
*) echo "usage: wine-session.sh up|down BUILD_DIR" >&2; exit 2 ;;
esac
exit 0
