#!/usr/bin/env bash
# Creates the private 32-bit Wine prefix named by WINEPREFIX (see wine-env.sh)
# once: boots it, copies Wine's own fonts and a CJK font into it and links the
# CJK font behind the common dialog faces, so Chinese window texts render.
set -euo pipefail
: "${WINEPREFIX:?}"
[ -f "$WINEPREFIX/.tavolen-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.tavolen-ready" ] && exit 0

rm -rf "$WINEPREFIX"
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=${TAV_WINE:-wine}
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
"$TAV_WINESERVER" -w

FONTS="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$FONTS"
cp /usr/share/wine/fonts/*.ttf "$FONTS/" 2>/dev/null || true
CJK=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
FACE="WenQuanYi Micro Hei"
[ -f "$CJK" ] || { echo "make-wine-prefix: $CJK missing (fonts-wqy-microhei)" >&2; exit 1; }
cp "$CJK" "$FONTS/"

REG="$WINEPREFIX.cjk.reg"
/usr/bin/python3 - "$REG" "$(basename "$CJK"),$FACE" "$FACE" <<'PYEOF'
import sys
path, link, face = sys.argv[1], sys.argv[2], sys.argv[3]
def multi_sz(s):
    data = (s + "\0\0").encode("utf-16-le")
    return "hex(7):" + ",".join("%02x" % b for b in data)
lines = ["Windows Registry Editor Version 5.00", "",
         r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]"]
for f in ["Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif", "Segoe UI", "DejaVu Sans", "Arial", "Lucida Sans Unicode"]:
    lines.append('"%s"=%s' % (f, multi_sz(link)))
lines += ["", r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
for f in ["SimSun", "NSimSun", "SimHei", "Microsoft YaHei", "Microsoft YaHei UI", "宋体", "新宋体", "黑体", "微软雅黑"]:
    lines.append('"%s"="%s"' % (f, face))
lines.append("")
open(path, "w", encoding="utf-16").write("\r\n".join(lines))
PYEOF
"$WINE" regedit /S "$REG" </dev/null >/dev/null 2>&1
"$TAV_WINESERVER" -w
rm -f "$REG"
touch "$WINEPREFIX/.tavolen-ready"
