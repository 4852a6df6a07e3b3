#!/usr/bin/env bash
# Builds everything, the test bundle included, and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
"$KALTHORNE_ROOT/tools/setup.sh"
cmake -S "$KALTHORNE_ROOT" -B "$KALTHORNE_BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$KALTHORNE_BUILD" -j "$KALTHORNE_JOBS"
cd "$KALTHORNE_BUILD"
# A test that hangs fails after five minutes instead of stalling the run.
ctest --output-on-failure --timeout 300 -j "$KALTHORNE_JOBS"
