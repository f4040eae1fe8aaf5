#!/usr/bin/env bash
# The player's CPU time at rest or playing, measured from outside under Wine:
#   measure-player-cpu.sh [-b BUILD_DIR] [-s SECONDS] [-w SETTLE] [-f RATE] [FILE|none]
# Stages the build's deliverables into BUILD_DIR/measure/Tavolen, starts the
# player in the build's Wine session (brought up if it is not), and with a
# FILE puts it alone in the play list and clicks "上一曲" (player_remote.exe),
# which plays it; "none" (the default) leaves the player at rest. After SETTLE
# seconds (default 8: the output devices rest after a grace time) it reads the
# CPU time of the player's process and of each of its threads, and of the
# Wine server and the session's sound server, over SECONDS (default 20), and
# prints each as a percentage of one core. FILE "gen" plays a generated
# 3-minute 128 kbps MP3. With -z the file is paused once it plays (a paused
# stream at rest). With -p CMD, CMD runs after the measurement while the
# player still runs, with PLAYER_PID in its environment (a profiler, e.g.
# -p 'perf record -g -p $PLAYER_PID -o /tmp/p.data -- sleep 10'). With -f RATE
# the player is not started: dsound_floor_probe.exe plays one looping buffer of
# silence at RATE Hz the way the library opens its device, and is measured in
# its place (the sound system's own cost, the floor under playing).
# BUILD_DIR defaults to build/win32 (the i686 build); it needs the targets
# "deliverables" and "player_remote" (with -f: "dsound_floor_probe").
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
build=$HERE/../build/win32 seconds=20 settle=8 hook= pause= floor=
while getopts b:s:w:p:f:z opt; do
  case $opt in
    b) build=$OPTARG ;; s) seconds=$OPTARG ;; w) settle=$OPTARG ;; p) hook=$OPTARG ;; z) pause=1 ;;
    f) floor=$OPTARG ;;
    *) sed -n 2,22p "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
file=${1:-none}
build=$(realpath "$build")
. "$HERE/common.sh"
if [ -n "$floor" ]; then
  [ -x "$build/bin/dsound_floor_probe.exe" ] || { echo "build dsound_floor_probe in $build first" >&2; exit 1; }
  file=none
else
  [ -x "$build/bin/player_remote.exe" ] || { echo "build player_remote in $build first" >&2; exit 1; }
fi

stage=$build/measure/Tavolen
rm -rf "$build/measure"
tav_stage_player "$build" "$stage"
cp "$build/bin/player_remote.exe" "$build/measure/"
if [ "$file" = gen ]; then
  file=$build/measure/music128.mp3
  # two chords and noise, changing every second, so that the meters move
  sox -q -n -r 44100 -c 2 -b 16 "$build/measure/music.wav" synth 180 pinknoise \
    synth 180 sine mix 220-880 synth 180 sine amod 0.5 vol 0.6
  lame --quiet -b 128 "$build/measure/music.wav" "$file"
  rm -f "$build/measure/music.wav"
fi
if [ "$file" != none ]; then
  file=$(realpath "$file")
  printf 'Z:%s\r\n' "${file//\//\\}" > "$stage/PlayList.m3u"
fi

tav_enter_session "$build"

cd "$stage"
# wine replaces itself with the program's own process: this is its id
if [ -n "$floor" ]; then
  "$TAV_WINE" "$build/bin/dsound_floor_probe.exe" $((settle + seconds + 30)) "$floor" </dev/null \
    >"$build/measure/player.log" 2>&1 &
else
  "$TAV_WINE" Tavolen.exe </dev/null >"$build/measure/player.log" 2>&1 &
fi
player=$!
finish() {
  [ -n "$floor" ] || "$TAV_WINE" "$build/measure/player_remote.exe" close 5 >/dev/null 2>&1 || true
  for _ in $(seq 100); do kill -0 "$player" 2>/dev/null || break; sleep 0.1; done
  kill "$player" 2>/dev/null || true
  tav_leave_session "$build"
  return 0
}
trap finish EXIT

[ -n "$floor" ] || "$TAV_WINE" "$build/measure/player_remote.exe" previous 30 >/dev/null 2>"$build/measure/remote.log" \
  || { [ "$file" = none ] || { echo "the player did not come up: $(cat "$build/measure/remote.log")" >&2; exit 1; }; }
if [ "$file" != none ]; then
  # "previous" waited for the window; the list plays now
  "$TAV_WINE" "$build/measure/player_remote.exe" previous 5 >/dev/null 2>&1 || true
  if [ -n "$pause" ]; then
    sleep 2
    "$TAV_WINE" "$build/measure/player_remote.exe" pause 5 >/dev/null 2>&1 || echo "could not pause" >&2
  fi
fi
sleep "$settle"

# CPU nanoseconds of a task (schedstat), else its utime+stime in clock ticks
tick_ns=$((1000000000 / $(getconf CLK_TCK)))
task_ns() {
  local s
  if [ -r "$1/schedstat" ] && read -r s _ < "$1/schedstat" 2>/dev/null; then echo "$s"; return; fi
  s=$(sed 's/.*) //' "$1/stat" 2>/dev/null) || { echo 0; return; }
  set -- $s
  echo $(( (${12} + ${13}) * tick_ns ))
}
snapshot() {  # lines: key name ns
  local t
  for t in /proc/"$player"/task/*; do
    echo "thread:${t##*/} $(tr ' ' _ < "$t/comm" 2>/dev/null || echo '?') $(task_ns "$t")"
  done
  # the session's other processes: the Wine server, the X server, the sound
  # server, and the prefix's own Wine programs (desktop, services)
  local p sum
  for p in $(pgrep -u "$(id -u)" .); do
    [ "$p" = "$player" ] && continue
    local key=
    if [ "$p" = "$(cat "$TAV_WINE_STATE/xvfb.pid" 2>/dev/null)" ]; then key=Xvfb
    elif [ "$p" = "$(cat "$TAV_WINE_STATE/pulse.pid" 2>/dev/null)" ]; then key=pulseaudio
    elif grep -qz "^WINEPREFIX=$WINEPREFIX$" "/proc/$p/environ" 2>/dev/null; then
      case $(cat "/proc/$p/comm" 2>/dev/null) in
        wineserver*) key=wineserver ;;
        *) key=other_wine_programs ;;
      esac
    fi
    [ -n "$key" ] || continue
    sum=0
    for t in /proc/"$p"/task/*; do sum=$((sum + $(task_ns "$t"))); done
    echo "proc:$p $key $sum"
  done
}
before=$(snapshot)
t0=$(date +%s%N)
sleep "$seconds"
after=$(snapshot)
t1=$(date +%s%N)
kill -0 "$player" 2>/dev/null || { echo "the player ended during the measurement" >&2; exit 1; }

load=$(cut -d' ' -f1-3 /proc/loadavg)
what=${file##*/}${pause:+ (paused)}
[ -z "$floor" ] || what="the bare DirectSound probe at $floor Hz"
echo "player CPU over $(( (t1 - t0) / 1000000 )) ms, $what, load average $load (percent of one core)"
awk -v span=$((t1 - t0)) -v pid="$player" -v main="${floor:+main}" -v name="$(cat /proc/"$player"/comm)" '
  NR == FNR { was[$1] = $3; next }
  { d = $3 - ($1 in was ? was[$1] : 0); pct = 100 * d / span
    if ($1 ~ /^thread:/) { total += pct; rows[++n] = sprintf("  %-8s %-18s %6.2f", substr($1, 8), (substr($1, 8) == pid ? (main == "" ? "GUI" : main) : $2), pct) }
    else other[$2] += pct }
  END {
    printf "process %s (%s): %.2f\n", pid, name, total
    for (i = 1; i <= n; i++) print rows[i] | "sort -k3 -nr"
    close("sort -k3 -nr")
    for (k in other) printf "%s: %.2f\n", k, other[k]
  }' <(echo "$before") <(echo "$after")
[ -z "$hook" ] || PLAYER_PID=$player bash -c "$hook"
