#!/usr/bin/env bash
# The Windows program under Wine beside the Linux program: both extract the
# 20-minute PAL title with AC-3 5.1 448 kbit/s (re-encoded to Layer II), in
# turn, ROUNDS times in the same run. Prints for each run the wall time and
# the CPU time (user, system; under Wine also the Wine server's), Wine's
# start cost (`--version`) on its own, the ratio of the wall times with and
# without that start cost, and the load average. A first, untimed run
# of each samples the CPU time, the waits and the nice value of every thread.
#
# Usage: bench/windows/run.sh [LINUX_BUILD] [WINDOWS_BUILD]
#   ROUNDS=5 by default; AUDIO=ac3:0 (AUDIO=ac3:0=copy: copy only);
#   OUTPUT_DIR: where both write their output (by default beside the title).
#   Wine opens no file unbuffered (it ignores FILE_FLAG_NO_BUFFERING), so its
#   output goes through the page cache while the Linux program's does not
#   (O_DIRECT); on a tmpfs (OUTPUT_DIR=/dev/shm) both write through it.
# Skips (status 0) where the Windows build or Wine is missing: `make windows`.
# A 32-bit build (build-win32) runs in another process than the one timed:
# its wall times hold, its CPU times do not.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux_build=${1:-build}
windows_build=${2:-build-win64}
rounds=${ROUNDS:-5}
audio=${AUDIO:-ac3:0}
seconds=${SECONDS_OF_TITLE:-1200}
work=${VOLTARK_BENCH_DIR:-/tmp/voltark-bench}
dvd="$work/dvd-$seconds"
out="$work/windows-$$"
cli="$root/$linux_build/bin/voltark-cli"
exe="$root/$windows_build/bin/voltark-cli.exe"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver64 || echo /usr/lib/wine/wineserver64)  # not the wrapper (-p0)

for need in "$cli" "$exe" "$wine" "$wineserver"; do
  if [ ! -x "$need" ]; then
    echo "bench/windows: $need missing (make build windows), skipped"
    exit 0
  fi
done
if [ ! -f "$dvd/VIDEO_TS/VTS_01_1.VOB" ]; then
  echo "== Making a ${seconds}-second title (AC-3 5.1 448 kbit/s) in $dvd (once)"
  bash tools/make-dvd-folder.sh --force -q "$dvd" "title=1 seconds=$seconds audio=ac3:6ch:448k"
fi
outputs=${OUTPUT_DIR:-$out}/voltark-windows-bench-$$
mkdir -p "$out" "$outputs"
cat "$dvd"/VIDEO_TS/VTS_01_*.VOB > /dev/null  # both read from memory

# One private prefix, its server kept running for the whole bench, so that
# every Wine run starts the same way; stopped at the end.
export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all
cleanup() {
  "$wineserver" -k 2> /dev/null || true
  rm -rf "$out" "$outputs"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
"$wineserver" -p
"$wine" "$exe" --version > /dev/null 2>&1  # makes the prefix
server_pid() {
  local id p
  id=$(printf 'server-%x-%x' "0x$(stat -c %D "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for p in $(pgrep -f wineserver); do
    case $(readlink "/proc/$p/cwd" 2> /dev/null) in */"$id") echo "$p"; return ;; esac
  done
}
server=$(server_pid)
server_ticks() { [ -n "$server" ] && awk '{ sub(/^.*\) /, ""); split($0, f, " "); print f[12] + f[13] }' "/proc/$server/stat" || echo 0; }
tick=$(getconf CLK_TCK)

linux_job=("$cli" extract "$dvd" --title 1 --audio "$audio" --output "$outputs/linux.mpg")
# Wine 8 leaves every thread at the priority it started with (it calls no
# setpriority), while the Linux program run by root raises its encoder and
# writer threads (nice -5, -10). The Linux program without that right (no
# CAP_SYS_NICE) runs as Wine's does: the "even" column.
even_job=("${linux_job[@]}")
if [ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null; then
  even_job=(setpriv --bounding-set=-sys_nice "${linux_job[@]}")
fi
wine_job=("$wine" "$exe" extract "Z:$dvd" --title 1 --audio "$audio" --output "Z:$outputs/wine.mpg")

# Runs a job under GNU time; prints "wall user sys" in seconds.
timed() {
  local log=$out/time
  rm -f "$outputs/linux.mpg" "$outputs/wine.mpg"
  /usr/bin/time -f '%e %U %S' -o "$log" "$@" > /dev/null 2> "$out/stderr" || { cat "$out/stderr" >&2; return 1; }
  cat "$log"
}

# CPU seconds, waits (voluntary switches), preemptions and nice value of
# each thread of a job, sampled every 0.1 s until it ends.
threads() {
  local name=$1 pid
  shift
  rm -f "$outputs/linux.mpg" "$outputs/wine.mpg" "$out/samples"
  "$@" > /dev/null 2>&1 &
  pid=$!
  while kill -0 "$pid" 2> /dev/null; do
    for task in /proc/"$pid"/task/*; do
      awk -v tid="${task##*/}" '
        FNR == 1 && FILENAME ~ /stat$/ { sub(/^.*\) /, ""); split($0, f, " "); cpu = f[12] + f[13]; nice = f[17] }
        /^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 }
        END { if (cpu != "") print tid, cpu, v, n, nice }' "$task/stat" "$task/status" 2> /dev/null || true
    done >> "$out/samples"
    sleep 0.1
  done
  wait "$pid" || true
  echo "  $name threads (CPU s, waits, preemptions, nice; the last 0.1 s may be missing):"
  # The last sample of each thread.
  awk '{ last[$1] = $0 } END { for (t in last) print last[t] }' "$out/samples" | sort -n |
    awk -v hz="$tick" '{ printf "    %-8s %5.2f s  %6d  %6d  %3d\n", $1, $2 / hz, $3, $4, $5 }'
}

echo "== voltark-cli extract --audio $audio: Linux ($linux_build) and Wine ($windows_build), $rounds rounds, output in $outputs"
threads Linux "${linux_job[@]}"
threads Wine "${wine_job[@]}"

printf '%-5s %-19s %-11s %-26s %-10s %-6s %-6s %-6s %s\n' round "Linux wall user sys" "even wall" \
  "Wine wall user sys server" "Wine start" ratio "-start" "/even" load
for round in $(seq "$rounds"); do
  read -r lw lu ls < <(timed "${linux_job[@]}")
  read -r ew _ _ < <(timed "${even_job[@]}")
  read -r vw _ _ < <(timed "$wine" "$exe" --version)
  before=$(server_ticks)
  read -r ww wu ws < <(timed "${wine_job[@]}")
  ss=$(awk -v a="$before" -v b="$(server_ticks)" -v hz="$tick" 'BEGIN { printf "%.2f", (b - a) / hz }')
  load=$(cut -d' ' -f1 /proc/loadavg)
  ratio=$(awk -v w="$ww" -v l="$lw" 'BEGIN { printf "%.2f", w / l }')
  net=$(awk -v w="$ww" -v v="$vw" -v l="$lw" 'BEGIN { printf "%.2f", (w - v) / l }')
  even=$(awk -v w="$ww" -v v="$vw" -v e="$ew" 'BEGIN { printf "%.2f", (w - v) / e }')
  printf '%-5s %5.2f %5.2f %5.2f   %5.2f       %5.2f %5.2f %5.2f %5.2f    %5.2f      %-6s %-6s %-6s %s\n' \
    "$round" "$lw" "$lu" "$ls" "$ew" "$ww" "$wu" "$ws" "$ss" "$vw" "$ratio" "$net" "$even" "$load"
  echo "$ratio $net $even" >> "$out/ratios"
done
median() { sort -n -k"$1" "$out/ratios" | awk -v k="$1" '{ r[NR] = $k } END { printf "%.2f", r[int((NR + 1) / 2)] }'; }
echo "median wall ratio Wine/Linux: $(median 1); Wine's start taken off: $(median 2); and against the Linux program at even priorities: $(median 3)"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
