#!/usr/bin/env bash
# Builds the test suite for 64-bit Windows and runs it under Wine, in one
# private Wine prefix for the whole run; then the same for 32-bit Windows
# (i686) in a 32-bit prefix, where Debian's wine32 (i386) is installed
# (scripts/install-deps.sh windows installs it). voltark.exe (64-bit) is
# driven under Wine on a virtual X server (scripts/test-windows-gui.sh).
# Then, when the Linux build is there (make test made it), checks that
# voltark-cli.exe of each lists and extracts the test discs as the Linux
# program does.
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
# The server itself, not Debian's wrapper (which passes -p0, an idle time of
# nought): wineserver64 serves 32-bit prefixes too.
server=$(command -v wineserver64 || echo /usr/lib/wine/wineserver64)

# One Wine server for a series of programs, its session opened by a
# program of our own before they start. The first program of a session
# starts Wine's services (services.exe, rpcss.exe, winedevice.exe ...),
# which inherit its standard error and keep it open while they run: a test
# that opened a session looked hung to ctest, however quickly it had passed,
# until its time limit. A server that ends when idle between two programs
# would open a new session in the middle of the series, and a program
# starting while it ends dies at once ("recvmsg: Connection reset by
# peer"), so it is kept (-p) until killed.
open_session() {  # BUILD
  "$server" -k 2> /dev/null || true
  "$server" -p || { sleep 1; "$server" -p; }  # an old one may take a moment to end
  bash scripts/wine-run.sh "$1/bin/voltark-cli.exe" --version > /dev/null 2>&1
}

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
  open_session "$build"
  trap '"$server" -k 2>/dev/null || true' EXIT
  # Each test still gets two minutes (its TIMEOUT) and one more try, and a
  # second failure fails the run.
  (cd "$build" && ctest --output-on-failure -j "$JOBS" --repeat until-pass:2)

  # The desktop program, driven on a virtual X server (it starts servers of
  # its own, with that display).
  if [ "$cpu" = x86_64 ]; then
    "$server" -k 2> /dev/null || true
    bash scripts/test-windows-gui.sh "$build"
  fi

  if [ -x build/bin/voltark-cli ]; then
    open_session "$build"  # the desktop run ended its servers
    bash scripts/compare-windows-cli.sh build/bin/voltark-cli "$build/bin/voltark-cli.exe"
  else
    echo "build/bin/voltark-cli is not built: the comparison with the Linux program is left out"
  fi
  "$server" -k 2> /dev/null || true
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
