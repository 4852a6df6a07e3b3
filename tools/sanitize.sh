#!/usr/bin/env bash
# Builds the tests with a sanitizer, in a build folder of its own, and runs
# them; every finding fails its test.
#
#   tools/sanitize.sh address [ctest arguments]   AddressSanitizer and
#                                                 UndefinedBehaviorSanitizer, build-asan/
#   tools/sanitize.sh thread [ctest arguments]    ThreadSanitizer, build-tsan/
#
# Without ctest arguments every test runs (the Look-parser fuzz test, which
# builds its own sanitized binary, is left to tools/test.sh); for example
# `tools/sanitize.sh thread -L concurrency` runs the concurrency tests only.
# The product bundle (nvcc) is not built here: the tests run the CPU pipeline.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

case "${1:-}" in
  address) build="$KALTHORNE_ROOT/build-asan" ;;
  thread) build="$KALTHORNE_ROOT/build-tsan" ;;
  *)
    echo "usage: $0 address|thread [ctest arguments]" >&2
    exit 2
    ;;
esac
kind="$1"
shift

"$KALTHORNE_ROOT/tools/setup.sh" || exit 1
cmake -S "$KALTHORNE_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALTHORNE_SANITIZE="$kind" -DKALTHORNE_BUILD_PRODUCT=OFF >/dev/null || exit 1
# KALTHORNE_BUILD_TARGET builds one target and what it needs (default: all).
cmake --build "$build" -j "$KALTHORNE_JOBS" ${KALTHORNE_BUILD_TARGET:+--target "$KALTHORNE_BUILD_TARGET"} || exit 1

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
cd "$build" || exit 1
# Sanitized code runs several times slower: a test gets fifteen minutes
# (under ThreadSanitizer those of the film, pipeline and golden labels get
# 45, tests/CMakeLists.txt).
ctest --output-on-failure --no-tests=error --timeout 900 -j "$KALTHORNE_JOBS" "$@"
