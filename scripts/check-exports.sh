#!/usr/bin/env bash
# Static check of the shipped Windows binaries, for machines that cannot run
# them (no 32-bit programs) as well as those that can:
#   - each library exports exactly the names of its .def file, undecorated
#     (name@bytes in the .def is exported as name);
#   - every import of the program and of each library resolves: imports from
#     our libraries against their exports, imports from system libraries
#     against Wine's builds of them where Wine's DLLs are installed; a library
#     that is neither (a compiler runtime that would have to be shipped) fails.
#
#   check-exports.sh SOURCE_DIR FILE...   (Tavolen.exe, bass.dll, bfxs.dll, dsp_*.dll)
# A library's .def is the one of the same name in SOURCE_DIR outside tests/.
set -uo pipefail
src=${1:?usage: check-exports.sh SOURCE_DIR FILE...}; shift
[ $# -gt 0 ] || { echo "usage: check-exports.sh SOURCE_DIR FILE..." >&2; exit 2; }

# the architecture of the first file that is there
objdump=
for f in "$@"; do
  [ -f "$f" ] || continue
  case $(x86_64-w64-mingw32-objdump -f "$f" 2>/dev/null) in
    *"file format pei-i386"*) objdump=i686-w64-mingw32-objdump; wine_dlls=/usr/lib/i386-linux-gnu/wine/i386-windows ;;
    *"file format pei-x86-64"*) objdump=x86_64-w64-mingw32-objdump; wine_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows ;;
  esac
  break
done
[ -n "$objdump" ] || { echo "check-exports: no Windows program or library among: $*" >&2; exit 2; }
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "FAILED: $*"; status=1; }

# Export names of a PE file, sorted.
exports_of() {
  "$objdump" -p "$1" | awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
    on && /^$/ { on = 0 } on && /^\t\[ *[0-9]+\] / { print $NF }' | sort -u
}
# Imports of a PE file as "dll<TAB>name" lines (dll in lower case; "#ordinal"
# for an import by number).
imports_of() {
  "$objdump" -p "$1" | awk -F'\t' '
    /^\tDLL Name: / { dll = tolower(substr($2, 11)); next }
    /^\tvma: / { on = 1; next }
    on && /^$/ { on = 0; next }
    on && NF >= 3 {
      n = split($3, w, " ")
      print dll "\t" (n >= 2 ? w[2] : "#" w[1])
    }' | sort -u
}
# Names a .def file exports, undecorated, sorted.
def_names() {
  awk '{ sub(/;.*/, "") } /^[ \t]*$/ { next }
    toupper($1) == "LIBRARY" || toupper($1) == "NAME" { next }
    toupper($1) == "EXPORTS" { on = 1; next }
    on { n = $1; sub(/=.*/, "", n); sub(/@[0-9]+$/, "", n); print n }' "$1" | sort -u
}

declare -A ours  # our library (lower case) -> its export list
for f in "$@"; do
  name=$(basename "$f"); lower=${name,,}
  [ -f "$f" ] || { fail "$name: not built"; continue; }
  case $lower in
  *.dll)
    mapfile -t defs < <(find "$src" -name "${name%.*}.def" -not -path "*/tests/*" -not -path "*/build/*" -not -path "*/.git/*")
    if [ ${#defs[@]} -ne 1 ]; then fail "$name: ${#defs[@]} .def files named ${name%.*}.def"; continue; fi
    exports_of "$f" > "$tmp/$lower.exports"
    def_names "${defs[0]}" > "$tmp/$lower.def"
    ours[$lower]="$tmp/$lower.exports"
    decorated=$(grep -cE '@[0-9]+$|^_' "$tmp/$lower.exports")
    if ! diff -q "$tmp/$lower.def" "$tmp/$lower.exports" >/dev/null; then
      fail "$name: its exports differ from ${defs[0]#"$src"/} (< .def only, > DLL only):"
      diff "$tmp/$lower.def" "$tmp/$lower.exports" | grep '^[<>]' | head -20
    elif [ "$decorated" -ne 0 ]; then
      fail "$name: $decorated decorated export names"
    else
      echo "$name: $(wc -l < "$tmp/$lower.exports") exports, equal to ${defs[0]#"$src"/}, undecorated"
    fi
    ;;
  esac
done

for f in "$@"; do
  [ -f "$f" ] || continue
  name=$(basename "$f")
  imports_of "$f" > "$tmp/imports"
  own=0 system=0 unchecked=0
  for dll in $(cut -f1 "$tmp/imports" | sort -u); do
    want=$(awk -F'\t' -v d="$dll" '$1 == d { print $2 }' "$tmp/imports")
    count=$(echo "$want" | wc -l)
    if [ -n "${ours[$dll]:-}" ]; then
      missing=$(comm -23 <(echo "$want" | sort -u) "${ours[$dll]}")
      [ -z "$missing" ] || fail "$name: imports from $dll that it does not export: $(echo $missing)"
      own=$((own + count))
    elif [ -f "$wine_dlls/$dll" ]; then
      exports_of "$wine_dlls/$dll" > "$tmp/system.exports"
      missing=$(echo "$want" | grep -v '^#' | sort -u | comm -23 - "$tmp/system.exports")
      [ -z "$missing" ] || fail "$name: imports from $dll that Wine's $dll does not export: $(echo $missing)"
      system=$((system + count))
    elif [ -d "$wine_dlls" ]; then
      fail "$name: imports $dll, which is neither ours nor a system library"
    else
      unchecked=$((unchecked + count))
    fi
  done
  line="$name: $own imports from our libraries resolve"
  [ -d "$wine_dlls" ] && line="$line, $system from system libraries resolve against Wine's"
  [ "$unchecked" -gt 0 ] && line="$line, $unchecked from system libraries not checked (no Wine DLLs here)"
  echo "$line"
done
[ $status -eq 0 ] && echo "exports and imports: all as they should be"
exit $status
