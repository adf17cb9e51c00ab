# Sourced by the extraction benches: one command timed with /usr/bin/time -v
# into a log, and the wall and CPU (user + system) seconds read back from it.

run() {  # LOG COMMAND...
  local log=$1
  shift
  /usr/bin/time -v "$@" > /dev/null 2> "$log" || { cat "$log" >&2; return 1; }
}
wall() { awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$1"; }
cpu() { awk -F': ' '/User time/ {u = $2} /System time/ {s = $2} END {printf "%.2f", u + s}' "$1"; }
