#!/usr/bin/env bash
# Installs everything and runs every test: the native build (with and without
# sanitizers), and the Windows build under Wine. Exits non-zero when anything fails.
set -uo pipefail
. "$(dirname "$0")/common.sh"
cd "$TAV_ROOT"

if [ "$(id -u)" = 0 ]; then
  bash scripts/install-packages.sh || exit 1
fi

passed=0; failed=0; skipped=0; status=0
retried=()  # "label: test (first run: ...)" for every test that passed only when run again
stage() { printf '\n=== %s (%s)\n' "$1" "$(date -u +%H:%M:%S)"; }
summary() {
  echo "all: $passed passed, $failed failed, $skipped skipped, ${#retried[@]} passed only when run again"
  local t
  for t in "${retried[@]}"; do echo "  run again: $t"; done
}
# Tests of a ctest log that failed and then passed when ctest ran them again
# (--repeat until-pass), with how their first run ended.
retried_in() {  # log
  awk '
    /Test +#[0-9]+: / {
      line = $0
      sub(/.*Test +#[0-9]+: /, "", line)
      name = line; sub(/ .*/, "", name)
      result = line; sub(/^[^ ]+ \.+ */, "", result); sub(/^\*\*\*/, "", result); gsub(/ +/, " ", result)
      if (result ~ /^Passed/) { if (name in first) print name " (first run: " first[name] ")"; delete first[name] }
      else if (!(name in first)) first[name] = result
    }' "$1"
}
run_ctest() {  # build-dir label [ctest args]
  local dir=$1 label=$2; shift 2
  local log="$dir/ctest-${label//[^a-z0-9]/_}.log"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error "$@" 2>&1 | tee "$log" | grep -vE '^ +[0-9]+/[0-9]+ Test +#[0-9]+: .* +Passed' 
  local rc=${PIPESTATUS[0]}
  local line; line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    local total fail
    fail=$(echo "$line" | sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2/')
    local skip; skip=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log")
    passed=$((passed + total - fail - skip)); failed=$((failed + fail)); skipped=$((skipped + skip))
  fi
  local t
  while IFS= read -r t; do
    [ -n "$t" ] && retried+=("$label: $t")
  done < <(retried_in "$log")
  [ "$rc" -eq 0 ] || { echo "FAILED: $label"; status=1; }
}
# The Wine session (X server, sound server, wineserver and the prefix's
# services) is up before ctest starts: ctest lists each test program's cases by
# running it when it loads the tests, and services started by that first Wine
# process would hold ctest's output pipe open. Only the real-time tests (their
# labels end in _real_time; they run alone) get a second run when the first
# fails: under Wine their pace is set by Wine's mixer, which falls behind on a
# loaded machine. Every test that needed it is named in the summary.
run_wine_ctest() {  # build-dir label
  local dir=$1 label=$2
  bash scripts/wine-session.sh up "$dir" || { echo "FAILED: Wine session for $label"; status=1; return; }
  run_ctest "$dir" "$label" -j 4 -LE real_time
  # (the first run's clean-up step has taken the session down)
  bash scripts/wine-session.sh up "$dir" >/dev/null || { echo "FAILED: Wine session for $label"; status=1; return; }
  run_ctest "$dir" "$label (real time)" -L real_time --repeat until-pass:2
  bash scripts/wine-session.sh down "$dir" >/dev/null
}
build() {  # build-dir label
  if ! cmake --build "$1" -j "$TAV_JOBS" >"$1/build.log" 2>&1; then
    grep -E 'error|Error|FAILED' "$1/build.log" | head -40
    echo "FAILED: build $2"; status=1; return 1
  fi
}
T0=$(date +%s)

stage "native build"
cmake -S . -B "$TAV_BUILD/ci-native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
  build "$TAV_BUILD/ci-native" native && { stage "native tests"; run_ctest "$TAV_BUILD/ci-native" native -j "$TAV_JOBS"; }

stage "native build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B "$TAV_BUILD/ci-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAV_SANITIZE=ON -DTAV_BENCHMARKS=OFF >/dev/null &&
  build "$TAV_BUILD/ci-asan" asan && { stage "sanitizer tests"; ASAN_OPTIONS=detect_leaks=1 run_ctest "$TAV_BUILD/ci-asan" asan -j "$TAV_JOBS"; }

# The audio library and the engine (where the GUI thread meets the update thread) once
# more under ThreadSanitizer; only those components, so the stage stays short.
stage "native build with ThreadSanitizer (audio library and engine)"
cmake -S . -B "$TAV_BUILD/ci-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_SANITIZE_THREAD=ON -DTAV_BENCHMARKS=OFF \
  -DTAV_COMPONENTS="support;audiolib;bfxs;engine" >/dev/null &&
  build "$TAV_BUILD/ci-tsan" tsan && { stage "thread sanitizer tests"; run_ctest "$TAV_BUILD/ci-tsan" tsan -j "$TAV_JOBS"; }

if [ -n "${TAV_NATIVE_ONLY:-}" ]; then
  summary; exit $status
fi
stage "32-bit Windows build (the deliverables)"
tav_configure_cross i686 "$TAV_BUILD/ci-win32" && build "$TAV_BUILD/ci-win32" win32 && {
  # these run nothing, so they check the shipped build also where it cannot run
  stage "exports and imports of the deliverables, and the staged player"
  mapfile -t shipped < "$TAV_BUILD/ci-win32/deliverables.txt"
  bash scripts/check-exports.sh "$TAV_ROOT" "${shipped[@]}" || { echo "FAILED: exports and imports"; status=1; }
  bash scripts/check-stage.sh "$TAV_BUILD/ci-win32" || { echo "FAILED: staged player"; status=1; }
}
if tav_can_run_32bit; then
  stage "Windows tests under 32-bit Wine"
  run_wine_ctest "$TAV_BUILD/ci-win32" win32
else
  echo "this machine cannot run 32-bit programs: the Windows tests run in the x86_64 build"
  stage "64-bit Windows build (for the tests)"
  tav_configure_cross x86_64 "$TAV_BUILD/ci-win64" && build "$TAV_BUILD/ci-win64" win64 &&
    { stage "Windows tests under 64-bit Wine"; run_wine_ctest "$TAV_BUILD/ci-win64" win64; }
fi

# screenshots the window tests saved for review, as PNG
for shots in "$TAV_BUILD"/ci-win*/screenshots "$TAV_BUILD"/ci-win*/bin/screenshots; do
  [ -d "$shots" ] || continue
  for f in "$shots"/*.bmp; do
    [ -f "$f" ] && convert "$f" "${f%.bmp}.png" && rm -f "$f"
  done
  echo "screenshots: $shots"
done

stage "done in $(( $(date +%s) - T0 )) s"
summary
exit $status
