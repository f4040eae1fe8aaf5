#!/usr/bin/env bash
# How long the player takes to end, measured from outside under Wine:
#   measure-player-exit.sh [-b BUILD_DIR] [-m close|exit] [-v]
# Stages the build's deliverables into BUILD_DIR/exitmeasure/Tavolen, starts
# the player in the build's Wine session (brought up if it is not) with a
# 60-second tone alone in its play list, plays it ("上一曲", player_remote.exe)
# and, while the session's sound server is recorded, ends the player: -m close
# (the default) as the close button does, -m exit by "退出" in its menu. With
# -v the play list and the VST window are shown too (their settings say so).
# Prints, in milliseconds after the end was asked for: when the last sound was
# heard, when the main window left the screen and when the process ended.
# BUILD_DIR defaults to build/win32; it needs the targets "deliverables" and
# "player_remote", and the session's sound server (pulseaudio, parec).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
build=$HERE/../build/win32 how=close visible=
while getopts b:m:v opt; do
  case $opt in
    b) build=$OPTARG ;; m) how=$OPTARG ;; v) visible=1 ;;
    *) sed -n 2,13p "$0" >&2; exit 2 ;;
  esac
done
build=$(realpath "$build")
. "$HERE/common.sh"
[ -x "$build/bin/player_remote.exe" ] || { echo "build player_remote in $build first" >&2; exit 1; }

work=$build/exitmeasure stage=$build/exitmeasure/Tavolen
rm -rf "$work"
tav_stage_player "$build" "$stage"
cp "$build/bin/player_remote.exe" "$work/"
sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 60 sine 440 vol 0.5
tone=$(realpath "$work/tone.wav")
printf 'Z:%s\r\n' "${tone//\//\\}" > "$stage/PlayList.m3u"
if [ -n "$visible" ]; then
  printf '[FormList]\r\nVisible=1\r\n[FormVST]\r\nVisible=1\r\n' | iconv -f utf-8 -t utf-16 > "$stage/Tavolen.ini"
fi

tav_enter_session "$build"
command -v parec >/dev/null && [ -n "${PULSE_SERVER:-}" ] || { echo "no sound server in the session" >&2; exit 1; }

cd "$stage"
"$TAV_WINE" Tavolen.exe </dev/null >"$work/player.log" 2>&1 &
player=$!
recorder=
finish() {
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null
  kill "$player" 2>/dev/null || true
  tav_leave_session "$build"
  return 0
}
trap finish EXIT
remote() { "$TAV_WINE" "$work/player_remote.exe" "$@" </dev/null >/dev/null 2>&1; }
remote previous 30 || { echo "the player did not come up" >&2; exit 1; }
remote previous 5
sleep 3

parec -d nullsink.monitor --format=s16le --rate=48000 --channels=2 --raw >"$work/sound.raw" &
recorder=$!
recording=$(date +%s%N)
sleep 1
asked=$(date +%s%N)
remote "$how" 5 &
off=
while kill -0 "$player" 2>/dev/null; do
  if [ -z "$off" ] && ! xwininfo -name "Tavolen V1.5" 2>/dev/null | grep -q IsViewable; then off=$(date +%s%N); fi
  sleep 0.02
done
ended=$(date +%s%N)
sleep 0.5
kill "$recorder"; wait "$recorder" 2>/dev/null || true
recorder=

/usr/bin/python3 - "$work/sound.raw" "$recording" "$asked" "${off:-$ended}" "$ended" <<'PY'
import array, sys
raw, recording, asked, off, ended = sys.argv[1], *map(int, sys.argv[2:])
data = open(raw, 'rb').read()
samples = array.array('h')
samples.frombytes(data[: len(data) // 4 * 4])
last = max((i // 2 for i, v in enumerate(samples) if abs(v) > 300), default=-1)
ms = lambda t: (t - asked) / 1e6
heard = ms(recording + last / 48000 * 1e9) if last >= 0 else float('nan')
print(f"last sound {heard:.0f} ms, window off the screen {ms(off):.0f} ms, process ended {ms(ended):.0f} ms")
PY
