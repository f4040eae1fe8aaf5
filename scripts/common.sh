# Sourced by the top-level scripts: paths and the few facts they share.
TAV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TAV_CACHE=${TAV_CACHE:-/var/cache/tavolen}
TAV_BUILD=${TAV_BUILD:-$TAV_ROOT/build}
TAV_JOBS=${TAV_JOBS:-$(nproc)}

# Can this machine run 32-bit x86 programs? (Some kernels ship without ia32
# emulation; then the Windows code is tested in its x86_64 build.)
tav_can_run_32bit() {
  local probe="$TAV_BUILD/.ia32-probe"
  mkdir -p "$TAV_BUILD"
  # a minimal static i386 ELF that exits with status 42
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  [ $? -eq 42 ]
}

tav_xdeps() {  # arch -> prints the prefix, building it when needed
  local arch=$1 prefix="$TAV_CACHE/xdeps-$1"
  mkdir -p "$TAV_CACHE"
  # one build at a time per prefix: a second caller waits, then finds it done
  flock "$prefix.lock" "$TAV_ROOT/third_party/build-xdeps.sh" "$prefix" "$arch" >&2 || return 1
  echo "$prefix"
}

tav_configure_cross() {  # arch build-dir [cmake args...]
  local arch=$1 dir=$2; shift 2
  local xdeps; xdeps=$(tav_xdeps "$arch") || return 1
  cmake -S "$TAV_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$TAV_ROOT/cmake/mingw-$arch-posix.cmake" -DTAV_XDEPS="$xdeps" "$@" >/dev/null
}

# The folder layout the player runs in: the program with its two libraries
# beside it, the Winamp DSP plug-ins (dsp_*.dll) in "Plugins", and the other
# folders it looks in. Stages every deliverable the build lists.
tav_stage_player() {  # build-dir stage-dir
  local list=$1/deliverables.txt st=$2 f
  [ -s "$list" ] || { echo "no $list: the build is not configured for Windows" >&2; return 1; }
  mkdir -p "$st/AddIns" "$st/Plugins" "$st/PluginCfg"
  while IFS= read -r f; do
    [ -f "$f" ] || { echo "not built: $f" >&2; return 1; }
    case $(basename "$f") in
      dsp_*.dll) cp "$f" "$st/Plugins/" ;;
      *) cp "$f" "$st/" ;;
    esac || return 1
  done < "$list"
}

# A measurement from outside in the build's Wine session: brings the session
# up unless it is (TAV_SESSION_OURS=1 then, for tav_leave_session) and takes
# on its environment.
tav_enter_session() {  # build-dir
  TAV_SESSION_OURS=
  if ! [ -e "$1/wine/session" ]; then
    bash "$TAV_ROOT/scripts/wine-session.sh" up "$1" >/dev/null
    TAV_SESSION_OURS=1
  fi
  export TAV_BUILD_DIR=$1
  . "$TAV_ROOT/scripts/wine-env.sh"
}

tav_leave_session() {  # build-dir: takes down a session tav_enter_session brought up
  [ -z "${TAV_SESSION_OURS:-}" ] || bash "$TAV_ROOT/scripts/wine-session.sh" down "$1" >/dev/null
}
