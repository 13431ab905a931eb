#!/bin/sh
# Builds the case-reader fuzz target with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it for a bounded time.
#   scripts/fuzz.sh [seconds]   (default 60)
# Fails on any crash, hang (an input running over 25 s), memory blow-up or
# sanitizer report; the input that caused it is left in build/fuzz/artifacts/.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_TO_RUN=${1:-60}
BUILD="$ROOT/build/fuzz"
JOBS=4

export CXX=clang++
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DTARVEX_FUZZ=ON -DTARVEX_SANITIZE=ON -DTARVEX_FRONTEND=OFF -DTARVEX_TESTS=OFF \
      -DTARVEX_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target case_reader_fuzz

# New inputs go to a scratch corpus; the hand-made seeds stay as they are.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
mkdir -p "$WORK/corpus" "$BUILD/artifacts"

echo "== fuzzing the case reader for $SECONDS_TO_RUN s"
status=0
TMPDIR="$WORK" \
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
"$BUILD/fuzz/case_reader_fuzz" \
    -max_total_time="$SECONDS_TO_RUN" -timeout=25 -rss_limit_mb=4096 -max_len=8192 \
    -dict="$ROOT/fuzz/case.dict" -artifact_prefix="$BUILD/artifacts/" -print_final_stats=1 \
    "$WORK/corpus" "$ROOT/fuzz/corpus" || status=$?
if [ "$status" -ne 0 ]; then
    echo "fuzz: the case reader failed (exit $status); see $BUILD/artifacts/" >&2
    exit 1
fi
echo "== fuzz run clean"
