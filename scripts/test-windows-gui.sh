#!/usr/bin/env bash
# Drives voltark.exe under Wine on a virtual X server: it opens its main
# window on the sample disc (VOLTARK_DRIVES), scans it and quits with status
# 0 on Esc; an extraction started from it (a stream line selected, Extract,
# a name typed into Save As) writes its file through the EXTRACT dialog;
# without any source it says so and ends with status 1.
# With --screenshots FOLDER the main window and the extraction dialog are
# photographed into FOLDER.
#
#   scripts/test-windows-gui.sh BUILD_DIR [--screenshots FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:?name the Windows build folder}
shots=
[ "${2:-}" = --screenshots ] && shots=$(realpath "${3:?name the screenshot folder}")
exe=$root/$build/bin/voltark.exe
[ -f "$exe" ] || { echo "$exe is not built" >&2; exit 1; }
for tool in xvfb-run xdotool import; do
  command -v $tool >/dev/null || { echo "$tool is missing (make deps-windows installs it)" >&2; exit 1; }
done

# Inside the virtual X server: the program's windows in a Wine desktop of
# their own, which draws their frames (there is no window manager).
if [ -z "${VOLTARK_GUI_TEST_INNER:-}" ]; then
  export VOLTARK_GUI_TEST_INNER=1
  export WINEPREFIX=${WINEPREFIX:-$root/$build/wineprefix} WINEDEBUG=-all
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# A server started without this display (the test suite's) cannot show windows.
"$wineserver" -k 2>/dev/null || true
[ -d "$WINEPREFIX" ] || "$wine" wineboot -i > /dev/null 2>&1 || true
# Wine draws the caption buttons with Marlett (Debian's fonts-wine has it).
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ]; then cp -n /usr/share/wine/fonts/marlett.ttf "$fonts/"; fi
"$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f > /dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f > /dev/null 2>&1
# The desktop is made by the next server, with these settings.
"$wineserver" -k 2>/dev/null || true
# The prefix is the test suite's: its console programs get no desktop window.
trap '"$wine" reg delete "HKCU\\Software\\Wine\\Explorer" /v Desktop /f > /dev/null 2>&1 || true
      "$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
work=$(mktemp -d)

fail() { echo "FAIL: $*" >&2; ls -la "$work" >&2; import -window root "$work/failure.png" 2>/dev/null && echo "screen: $work/failure.png kept in /tmp" >&2 && cp "$work/failure.png" /tmp/voltark-gui-failure.png; exit 1; }

# Waits (at most $2 seconds) until a window named $1 (a regular expression)
# exists, or with "gone" until none does.
wait_window() {
  local name=$1 seconds=$2 want=${3:-there}
  for _ in $(seq $((seconds * 4))); do
    if xdotool search --name "$name" > /dev/null 2>&1; then [ "$want" = there ] && return 0
    else [ "$want" = gone ] && return 0; fi
    sleep 0.25
  done
  return 1
}

# Keys go to the window named $1 (a regular expression; the newest such).
keys_to() {
  local window
  window=$(xdotool search --name "$1" | tail -1)
  shift
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --delay 80 "$@"
}

shoot() {  # the Wine desktop's corner holding the window, into $shots/$1
  [ -n "$shots" ] || return 0
  import -window root -crop "$2" +repage "$shots/$1"
}

start_program() {
  (cd "$work" && VOLTARK_DRIVES="Z:${root//\//\\}\\samples\\sample-dvd" "$wine" "$exe"; echo $? > "$work/status") &
  wait_window '^VOLTARK mpeg2 extractor$' 60 || fail "the main window did not open"
  # The first scan runs in the "REFRESH" dialog before the loop starts
  # (on the small sample it may have come and gone already).
  wait_window '^VOLTARK$' 5 || true
  wait_window '^VOLTARK$' 60 gone || fail "the scan dialog did not close"
  sleep 1
}

wait_status() {
  for _ in $(seq 120); do [ -s "$work/status" ] && break; sleep 0.25; done
  [ -s "$work/status" ] || fail "the program did not end"
  cat "$work/status"
}

# 1. Open, scan, Esc.
main_window_run() {
  rm -f "$work/status"
  start_program
  shoot voltark-win32-main-window.png 392x272+0+0
  keys_to '^VOLTARK mpeg2 extractor$' Escape
  status=$(wait_status)
  [ "$status" = 0 ] || fail "Esc ended the program with status $status, not 0"
  echo "main window: opened, scanned the sample disc, Esc gave status 0"
}

# 2. An extraction: the AC3 line of title 1 (the list's fourth line), Extract,
#    a name typed into Save As, the completion box answered.
extraction_run() {
  rm -f "$work/status" "$work"/film*
  start_program
  keys_to '^VOLTARK mpeg2 extractor$' alt+t Home Down Down Down alt+x
  wait_window '^Save MPEG2 stream as$' 30 || fail "Save As did not open"
  sleep 1
  output="Z:${work//\//\\}\\film"
  keys_to '^Save MPEG2 stream as$' ctrl+a
  xdotool type --delay 40 "$output"
  keys_to '^Save MPEG2 stream as$' Return
  wait_window '^VOLTARK$' 30 || fail "the EXTRACT dialog did not open"
  # The completion box ("MPEG2 extraction done!") is up while the dialog is.
  for _ in $(seq 240); do
    [ "$(xdotool search --name '^VOLTARK$' 2>/dev/null | wc -l)" -ge 2 ] && break
    sleep 0.25
  done
  sleep 1
  shoot voltark-win32-extract-dialog.png 520x350+0+0
  keys_to '^VOLTARK$' Return
  wait_window '^VOLTARK$' 60 gone || fail "the EXTRACT dialog did not close"
  keys_to '^VOLTARK mpeg2 extractor$' Escape
  status=$(wait_status)
  [ "$status" = 0 ] || fail "the program ended with status $status after the extraction"
  # The default extension "MPG" is added (Wine writes it in lower case).
  film=$(find "$work" -maxdepth 1 -iname film.mpg | head -1)
  [ -n "$film" ] && [ -s "$film" ] || fail "no output file film.MPG was written"
  [ "$(head -c 4 "$film" | od -An -tx1 | tr -d ' ')" = 000001ba ] || fail "$film does not start with a pack header"
  echo "extraction: $(basename "$film") written through the EXTRACT dialog ($(stat -c %s "$film") bytes), status 0"
}

# 3. No source at all (Wine has no DVD drive): "No DVD drive found", status 1.
no_source_run() {
  rm -f "$work/status"
  (cd "$work" && env -u VOLTARK_DRIVES "$wine" "$exe"; echo $? > "$work/status") &
  wait_window '^VOLTARK$' 60 || fail "no message box came without a source"
  sleep 1
  xdotool search --name '^VOLTARK mpeg2 extractor$' > /dev/null 2>&1 && fail "a main window was made without a source"
  keys_to '^VOLTARK$' Return
  status=$(wait_status)
  [ "$status" = 1 ] || fail "without a source the program ended with status $status, not 1"
  echo "no source: the message box, no main window, status 1"
}

# Keys typed while Wine is still busy with a window may be lost on a loaded
# machine: each run gets one more try, in a fresh server, before it fails.
retry() {
  ( "$1" ) && return 0
  echo "$1 failed once; trying again" >&2
  "$wineserver" -k 2>/dev/null || true
  ( "$1" )
}
retry main_window_run
retry extraction_run
retry no_source_run
