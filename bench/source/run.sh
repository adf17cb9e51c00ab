#!/usr/bin/env bash
# Walk throughput of the title scanner over a page-cached title, beside
# `cat FILE > /dev/null` on the same file. Target: walk >= 1/2 of cat's rate.
#   bench/source/run.sh [BUILD_DIR] [MIB]
set -euo pipefail
build=${1:-build}
mib=${2:-1024}
tool="$build/bin/bench_title_walk"
[ -x "$tool" ] || { echo "missing $tool (build the benchmarks)" >&2; exit 1; }

dir=$(mktemp -d /tmp/voltark-bench-XXXXXX)
trap 'rm -rf "$dir"' EXIT
"$tool" make "$dir" "$mib"
file="$dir/VIDEO_TS/VTS_01_1.VOB"
bytes=$(stat -c %s "$file")
cat "$file" > /dev/null  # into the page cache

best_cat=0
best_walk=0
best_touch=0
for run in 1 2 3; do
  start=$(date +%s.%N)
  cat "$file" > /dev/null
  end=$(date +%s.%N)
  rate=$(awk -v b="$bytes" -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", b / (e - s) / 1e6 }')
  best_cat=$(awk -v a="$best_cat" -v b="$rate" 'BEGIN { print (b > a) ? b : a }')
  rate=$("$tool" walk "$dir")
  best_walk=$(awk -v a="$best_walk" -v b="$rate" 'BEGIN { print (b > a) ? b : a }')
  rate=$("$tool" touch "$dir")
  best_touch=$(awk -v a="$best_touch" -v b="$rate" 'BEGIN { print (b > a) ? b : a }')
done
ratio=$(awk -v w="$best_walk" -v c="$best_cat" 'BEGIN { printf "%.2f", w / c }')
echo "one whole mapping, a byte per pack: $best_touch MB/s (the ceiling of mapped reading here)"
echo "title walk: $best_walk MB/s   cat: $best_cat MB/s   ratio walk/cat: $ratio (target >= 0.50)  [$mib MiB, best of 3]"
