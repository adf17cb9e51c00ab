#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator of the Windows test build.
# The prefix is the run's own (WINEPREFIX, set by scripts/test-windows.sh);
# Wine's own notes are off.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:?WINEPREFIX must name the Wine prefix of the run}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
exec "$wine" "$@"
