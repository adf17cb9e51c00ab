#!/usr/bin/env bash
# Runs every benchmark script beside its peer and prints the ratios.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
for script in bench/*/run.sh bench/extract/kept_audio.sh bench/extract/reencoded_tracks.sh; do
  [ -x "$script" ] || continue
  echo "== $script"
  "$script" "$build"
done
