#!/usr/bin/env bash
# Extraction benchmark: a 20-minute PAL title with AC-3 5.1 448 kbit/s,
# extracted by voltark-cli and, in the same run, by ffmpeg doing the same job
# (video copied, audio to MP2 384 kbit/s stereo, MPEG-PS). Prints both wall
# times, the ratio, peak memory, the CPU time (user + system, and system
# alone) of both jobs with the load average, the CPU time and the waits of
# each of our threads, and the audio alignment at the end of the title
# against its start.
#
# Usage: bench/extract/run.sh [BUILD_DIR]   (SECONDS=1200 by default)
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/../.."
root=$PWD
seconds=${SECONDS_OF_TITLE:-1200}
work=${VOLTARK_BENCH_DIR:-/tmp/voltark-bench}
dvd="$work/dvd-$seconds"
cli="$root/$build/bin/voltark-cli"
onsets="$root/tests/extract/audio_onsets.py"
mkdir -p "$work"

if [ ! -x "$cli" ]; then
  echo "voltark-cli not built in $build" >&2
  exit 1
fi
if [ ! -f "$dvd/VIDEO_TS/VTS_01_1.VOB" ]; then
  echo "== Making a ${seconds}-second title (AC-3 5.1 448 kbit/s) in $dvd (once)"
  bash tools/make-dvd-folder.sh --force -q "$dvd" "title=1 seconds=$seconds audio=ac3:6ch:448k"
fi
input=$(ls "$dvd"/VIDEO_TS/VTS_01_*.VOB | sort -V | paste -sd'|')
# Warm the page cache so that both runs read from memory.
cat "$dvd"/VIDEO_TS/VTS_01_*.VOB > /dev/null

ours="$work/voltark.mpg"
theirs="$work/ffmpeg.vob"

# Wall time (s) and peak resident memory (KiB) of a command, from time -v.
measure() {
  local log=$1
  shift
  /usr/bin/time -v "$@" 2> "$log" > /dev/null || { cat "$log" >&2; return 1; }
}
wall_seconds() {
  awk -F': ' '/Elapsed \(wall clock\)/ {
    n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$1"
}
peak_kib() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }
# CPU time: user + system, and system alone, in seconds.
cpu_seconds() {
  awk -F': ' '/User time/ {u = $2} /System time/ {s = $2} END {printf "CPU user+sys %.2f s, sys %.2f s", u + s, s}' "$1"
}

# CPU seconds and waits (voluntary context switches) of each thread of a
# running process, sampled until it ends.
thread_times() {
  local pid=$1 out=$2
  : > "$out.raw"
  while kill -0 "$pid" 2> /dev/null; do
    for task in /proc/"$pid"/task/*; do
      [ -r "$task/stat" ] || continue
      # comm may hold blanks: fields after the closing parenthesis.
      awk -v tid="${task##*/}" '{ line = $0; sub(/^.*\) /, "", line); split(line, f, " ");
           name = $0; sub(/^[0-9]+ \(/, "", name); sub(/\) .*$/, "", name);
           print tid, name, f[12] + f[13] }' "$task/stat" 2> /dev/null > "$out.line" || continue
      # Waits: the times the thread gave up the processor of its own accord.
      waits=$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status" 2> /dev/null) || continue
      [ -s "$out.line" ] && echo "$(cat "$out.line") ${waits:-0}" >> "$out.raw"
    done
    sleep 0.2
  done
  awk '{ last[$1] = $3; name[$1] = $2; waits[$1] = $4 }
       END { for (t in last) printf "%-16s %.2f s CPU, %d waits\n", name[t], last[t] / 100, waits[t] }' \
    "$out.raw" | sort > "$out"
}

echo "== voltark-cli extract"
# The warm-up run gives the figures of each thread: sampling them takes
# processor time from our two threads, so the timed run goes unwatched.
# Each job writes a new file: cutting an earlier 360 MB output down to nothing
# costs the file system about 0.2 s, which is not the job's.
rm -f "$ours"
"$cli" extract "$dvd" --title 1 --audio ac3:0 --output "$ours" > /dev/null 2>&1 &
job=$!
sleep 0.1
thread_times "$job" "$work/voltark.threads"
wait "$job"
rm -f "$ours"
measure "$work/voltark.time" "$cli" extract "$dvd" --title 1 --audio ac3:0 --output "$ours"

echo "== ffmpeg -c:v copy -c:a mp2 -b:a 384k -ac 2 -f vob"
rm -f "$theirs"
measure "$work/ffmpeg.time" ffmpeg -v error -y -i "concat:$input" -c:v copy -c:a mp2 -b:a 384k -ac 2 \
  -f vob "$theirs"

our_time=$(wall_seconds "$work/voltark.time")
their_time=$(wall_seconds "$work/ffmpeg.time")
printf 'voltark-cli: %6.2f s  (%5.0fx real time)  peak memory %6.1f MiB\n' "$our_time" \
  "$(echo "$seconds / $our_time" | bc -l)" "$(echo "$(peak_kib "$work/voltark.time") / 1024" | bc -l)"
printf 'ffmpeg:      %6.2f s  (%5.0fx real time)  peak memory %6.1f MiB\n' "$their_time" \
  "$(echo "$seconds / $their_time" | bc -l)" "$(echo "$(peak_kib "$work/ffmpeg.time") / 1024" | bc -l)"
printf 'ratio voltark/ffmpeg: %.2f\n' "$(echo "$our_time / $their_time" | bc -l)"
echo "voltark-cli: $(cpu_seconds "$work/voltark.time");  ffmpeg: $(cpu_seconds "$work/ffmpeg.time");  load average $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -s "$work/voltark.threads" ]; then
  echo "CPU and waits by thread (an earlier run, sampled every 0.2 s: the last 0.2 s may be missing):"
  sed 's/^/  /' "$work/voltark.threads"
fi

# Alignment: the burst onsets mark whole seconds of the source's time line;
# each lies at k seconds plus a constant delay after the first picture. The
# delay at the end of the title must equal the one at its start.
alignment() {
  local file=$1 name=$2
  local v a
  v=$(ffprobe -v error -select_streams v:0 -show_entries stream=start_time -of csv=p=0 "$file")
  a=$(ffprobe -v error -select_streams a:0 -show_entries stream=start_time -of csv=p=0 "$file")
  : > "$work/$name.onsets"
  # The first and the last 8 seconds, decoded exactly by sample count.
  local from
  for from in 0 $(( (seconds - 8) * 48000 )); do
    ffmpeg -v error -y -i "$file" -map 0:a -af "atrim=start_sample=$from:end_sample=$(( from + 8 * 48000 ))" \
      -f s16le -ac 2 -ar 48000 "$work/$name.raw"
    python3 "$onsets" "$work/$name.raw" | awk -v from="$from" '{ print $1 + from }' >> "$work/$name.onsets"
  done
  awk -v v="$v" -v a="$a" -v who="$name" '
    { t = a + $1 / 48000 - v; k = int(t + 0.5); d = (t - k) * 1000; if (NR == 1) { d0 = d; k0 = k } dl = d; kl = k; n++ }
    END { printf "%s: %d onsets; delay after the picture time %.2f ms at %d s, %.2f ms at %d s: drift %.2f ms\n",
          who, n, d0, k0, dl, kl, dl - d0
          exit (n < 2 || dl - d0 > 2 || d0 - dl > 2) ? 1 : 0 }' "$work/$name.onsets"
}
status=0
alignment "$ours" voltark || status=1
alignment "$theirs" ffmpeg || true
exit $status
