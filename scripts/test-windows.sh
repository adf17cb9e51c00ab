#!/usr/bin/env bash
# Builds the test suite for 64-bit Windows and runs it under Wine, in one
# private Wine prefix for the whole run; then the same for 32-bit Windows
# (i686) in a 32-bit prefix, where Debian's wine32 (i386) is installed
# (scripts/install-deps.sh windows installs it). Then, when the Linux build is
# there (make test made it), checks that voltark-cli.exe of each lists and
# extracts the test discs as the Linux program does.
#
# WINDOWS_TEST_ARCHES="x86_64 i686" by default; WINDOWS_TEST_BUILD names the
# x86_64 build folder (build-win64-tests), the i686 one is build-win32-tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
JOBS=${JOBS:-$(nproc)}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
export WINEDEBUG=-all
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

test_arch() {
  local cpu=$1 build=$2
  export WINEPREFIX=$root/$build/wineprefix
  if [ "$cpu" = i686 ]; then export WINEARCH=win32; else unset WINEARCH; fi
  echo "== Windows ($cpu) test suite under Wine"
  [ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja "${launcher[@]}" \
      -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/mingw-w64-$cpu.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DVOLTARK_BUILD_BENCH=OFF -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh"
  cmake --build "$build" -j "$JOBS"

  # The prefix is made once, before the tests start in parallel.
  [ -d "$WINEPREFIX" ] || bash scripts/wine-run.sh wineboot -i > /dev/null 2>&1 || true
  trap '"$wineserver" -k 2>/dev/null || true' EXIT
  # Under Wine a test program has been seen to hang or lose its server
  # connection once in a few hundred runs on a busy machine (never on Linux):
  # each test gets two minutes (its TIMEOUT) and one more try, and a second
  # failure fails the run.
  (cd "$build" && ctest --output-on-failure -j "$JOBS" --repeat until-pass:2)

  if [ -x build/bin/voltark-cli ]; then
    bash scripts/compare-windows-cli.sh build/bin/voltark-cli "$build/bin/voltark-cli.exe"
  else
    echo "build/bin/voltark-cli is not built: the comparison with the Linux program is left out"
  fi
  "$wineserver" -k 2> /dev/null || true
  trap - EXIT
}

for cpu in ${WINDOWS_TEST_ARCHES:-x86_64 i686}; do
  case $cpu in
    x86_64) test_arch x86_64 "${WINDOWS_TEST_BUILD:-build-win64-tests}" ;;
    i686)
      if [ -x /usr/lib/wine/wine ]; then
        test_arch i686 build-win32-tests
      else
        echo "== Windows (i686) tests left out: Debian's wine32 (i386) is not installed (scripts/install-deps.sh windows)"
      fi ;;
    *) echo "unknown Windows processor: $cpu" >&2; exit 2 ;;
  esac
done
