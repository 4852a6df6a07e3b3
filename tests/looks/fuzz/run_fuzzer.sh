#!/bin/sh
# Builds the Look parser fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for a bounded time from the Look
# files in tests/looks/data.
# Usage: run_fuzzer.sh CLANGXX SOURCE_ROOT WORK_DIR SECONDS SOURCES...
set -eu
CXX="$1"; ROOT="$2"; WORK="$3"; SECONDS_TOTAL="$4"
shift 4
mkdir -p "$WORK/corpus"
cp "$ROOT"/tests/looks/data/*.prm "$WORK/corpus/"
"$CXX" -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$ROOT/looks" -I"$ROOT" \
  "$ROOT/tests/looks/fuzz/look_parser_fuzz.cpp" "$@" \
  -o "$WORK/look_parser_fuzz"
cd "$WORK"
exec ./look_parser_fuzz -max_total_time="$SECONDS_TOTAL" -max_len=20000 -timeout=10 \
  -print_final_stats=1 corpus
