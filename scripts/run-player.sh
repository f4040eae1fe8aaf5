#!/usr/bin/env bash
# Installs everything, builds the Windows binaries and starts the player under Wine.
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$TAV_ROOT"
[ "$(id -u)" = 0 ] && bash scripts/install-packages.sh
if tav_can_run_32bit; then arch=i686; dir="$TAV_BUILD/run-win32"; else arch=x86_64; dir="$TAV_BUILD/run-win64"; fi
tav_configure_cross "$arch" "$dir"
cmake --build "$dir" -j "$TAV_JOBS" --target deliverables
tav_stage_player "$dir" "$dir/stage/Tavolen"
cd "$dir/stage/Tavolen"
exec "$dir/wine-run" Tavolen.exe
