#!/usr/bin/env bash
# Prepares the build tree's Wine prefix once: boot, CJK font replacement, DPI.
# A second argument names another prefix to prepare the same way.
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd)
export WINEPREFIX="${2:-$build/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/.tivra-ready" ]; then
  "$wine" wineboot -i >/dev/null 2>&1 || true
  cat > "$build/$(basename "$WINEPREFIX")-fonts.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Microsoft YaHei UI"="WenQuanYi Micro Hei"
"Microsoft YaHei"="WenQuanYi Micro Hei"
"SimSun"="WenQuanYi Micro Hei"
"Segoe UI"="WenQuanYi Micro Hei"
"Tahoma"="WenQuanYi Micro Hei"
REG
  "$wine" regedit "$build/$(basename "$WINEPREFIX")-fonts.reg" >/dev/null 2>&1
  # Caption buttons draw with Marlett, which a fresh prefix lacks.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  /usr/lib/wine/wineserver -w || true
  touch "$WINEPREFIX/.tivra-ready"
fi
