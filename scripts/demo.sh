#!/usr/bin/env bash
# Scans the bundled sample disc.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
echo "== Titles of the sample disc (samples/sample-dvd)"
"$build/bin/voltark-cli" scan samples/sample-dvd
