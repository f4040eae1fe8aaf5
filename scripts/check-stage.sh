#!/usr/bin/env bash
# Stages the player of a cross build as scripts/run-player.sh does, into a
# scratch folder of the build, and checks what a user would find there: the
# program and its two libraries, every Winamp DSP plug-in we ship in
# "Plugins" (each dsp_*.dll the build made from a .def of ours), the folders
# the program looks in, and each file the same as the one built.
#   check-stage.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/common.sh"
build=$(realpath "${1:?usage: check-stage.sh BUILD_DIR}")
st="$build/stage-check/Tavolen"
rm -rf "$build/stage-check"
tav_stage_player "$build" "$st" || { echo "FAILED: staging"; exit 1; }
status=0
want() {  # built staged
  if [ ! -f "$2" ]; then echo "FAILED: ${2#"$st"/} is missing"; status=1
  elif ! cmp -s "$1" "$2"; then echo "FAILED: ${2#"$st"/} differs from $1"; status=1
  else echo "staged: ${2#"$st"/}"; fi
}
for f in Tavolen.exe bass.dll bfxs.dll; do want "$build/bin/$f" "$st/$f"; done
plugins=0
for f in "$build"/bin/dsp_*.dll; do
  [ -f "$f" ] || continue
  name=$(basename "$f")
  # a plug-in of ours has its .def outside the tests (the test libraries do not)
  [ -n "$(find "$TAV_ROOT" -name "${name%.dll}.def" -not -path "*/tests/*" -not -path "*/build/*" -print -quit)" ] || continue
  want "$f" "$st/Plugins/$name"; plugins=$((plugins + 1))
done
[ "$plugins" -gt 0 ] || { echo "FAILED: no plug-in of ours was built"; status=1; }
for d in AddIns Plugins PluginCfg; do
  [ -d "$st/$d" ] || { echo "FAILED: no folder $d"; status=1; }
done
stray=$(find "$st" -maxdepth 1 -iname 'dsp_*.dll')
[ -z "$stray" ] || { echo "FAILED: plug-ins beside the program: $stray"; status=1; }
[ $status -eq 0 ] && echo "the staged player holds every deliverable ($plugins plug-ins in Plugins)"
exit $status
