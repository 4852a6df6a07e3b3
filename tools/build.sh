#!/usr/bin/env bash
# Builds the OpenFX bundle build/Kalthorne.ofx.bundle (needs nvcc).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
"$KALTHORNE_ROOT/tools/setup.sh"
cmake -S "$KALTHORNE_ROOT" -B "$KALTHORNE_BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$KALTHORNE_BUILD" --target Kalthorne -j "$KALTHORNE_JOBS"
echo "Bundle: $KALTHORNE_BUILD/Kalthorne.ofx.bundle"
