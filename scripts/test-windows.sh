#!/usr/bin/env bash
# Builds the test suite for 64-bit Windows and runs it under Wine, in one
# private Wine prefix for the whole run. Then, when the Linux build is there
# (make test made it), checks that voltark-cli.exe lists and extracts the
# test discs as the Linux program does. voltark.exe is driven under Wine on a
# virtual X server (scripts/test-windows-gui.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
JOBS=${JOBS:-$(nproc)}
build=${WINDOWS_TEST_BUILD:-build-win64-tests}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

export WINEPREFIX=$root/$build/wineprefix WINEDEBUG=-all
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DVOLTARK_BUILD_BENCH=OFF -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh"
cmake --build "$build" -j "$JOBS"

# The prefix is made once, before the tests start in parallel.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -d "$WINEPREFIX" ] || "$wine" wineboot -i > /dev/null 2>&1 || true
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
trap '"$wineserver" -k 2>/dev/null || true' EXIT
# Under Wine a test program has been seen to hang or lose its server
# connection once in a few hundred runs on a busy machine (never on Linux):
# each test gets two minutes (its TIMEOUT) and one more try, and a second
# failure fails the run.
(cd "$build" && ctest --output-on-failure -j "$JOBS" --repeat until-pass:2)

# The desktop program, driven on a virtual X server.
bash scripts/test-windows-gui.sh "$build"

if [ -x build/bin/voltark-cli ]; then
  bash scripts/compare-windows-cli.sh build/bin/voltark-cli "$build/bin/voltark-cli.exe"
else
  echo "build/bin/voltark-cli is not built: the comparison with the Linux program is left out"
fi
