#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator of the Windows test builds.
# The prefix is the run's own (WINEPREFIX, set by scripts/test-windows.sh);
# Wine's own notes are off. A 32-bit prefix (WINEARCH=win32) is run by the
# 32-bit loader of Debian's wine32 (i386), any other by wine64.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:?WINEPREFIX must name the Wine prefix of the run}
if [ "${WINEARCH:-}" = win32 ]; then
  wine=/usr/lib/wine/wine
else
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
fi
exec "$wine" "$@"
