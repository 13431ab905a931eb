#!/bin/sh
# Builds the reader fuzz targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them for a bounded time.
#   scripts/fuzz.sh [target] [seconds]
#     target   case, control or saved (the case-file, control-file and
#              saved-data readers), or all (the default): the three at once,
#              side by side
#     seconds  how long each target runs (default 60)
#   scripts/fuzz.sh <seconds>     all three targets, as CI runs them
# Fails on any crash, hang (an input running over 25 s), memory blow-up,
# sanitizer report or broken check of a target; the input that caused it is
# left in build/fuzz/artifacts/<target>/. Each run ends with its totals:
# executions, and executions per second.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)

TARGET=all
case "${1:-}" in
    '' ) ;;
    *[!0-9]* ) TARGET=$1; shift ;;
esac
SECONDS_TO_RUN=${1:-60}
case "$TARGET" in
    case|control|saved|all) ;;
    *) echo "fuzz: unknown target '$TARGET' (case, control, saved or all)" >&2; exit 2 ;;
esac
case "$SECONDS_TO_RUN" in
    ''|*[!0-9]*) echo "fuzz: the duration must be a number of seconds" >&2; exit 2 ;;
esac

BUILD="$ROOT/build/fuzz"
JOBS=4

export CXX=clang++
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DTARVEX_FUZZ=ON -DTARVEX_SANITIZE=ON -DTARVEX_FRONTEND=OFF -DTARVEX_TESTS=OFF \
      -DTARVEX_BENCH=OFF >/dev/null
if [ "$TARGET" = all ]; then
    cmake --build "$BUILD" -j "$JOBS" --target case_reader_fuzz control_reader_fuzz saved_reader_fuzz
else
    cmake --build "$BUILD" -j "$JOBS" --target "${TARGET}_reader_fuzz"
fi

# New inputs go to a scratch corpus per target; the seeds in the sources stay
# as they are.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs one target; its output goes to the file named by $2, or to the
# terminal when $2 is empty.
run_target() {
    name=$1
    log=$2
    binary="$BUILD/fuzz/${name}_reader_fuzz"
    mkdir -p "$WORK/$name/corpus" "$WORK/$name/tmp" "$BUILD/artifacts/$name"
    case "$name" in
        case)    dict="$ROOT/fuzz/case.dict";    seeds="$ROOT/fuzz/corpus";         max_len=8192 ;;
        control) dict="$ROOT/fuzz/control.dict"; seeds="$ROOT/fuzz/corpus_control"; max_len=2048 ;;
        saved)
            dict="$ROOT/fuzz/saved.dict"; seeds="$WORK/saved/seeds"; max_len=8192
            # The files the program saves for the target's case.
            mkdir -p "$seeds"
            TMPDIR="$WORK/saved/tmp" TARVEX_FUZZ_SEEDS="$seeds" "$binary" >/dev/null 2>&1 || {
                echo "fuzz: the saved-data seeds could not be written" >&2
                return 1
            }
            ;;
    esac
    set -- -max_total_time="$SECONDS_TO_RUN" -timeout=25 -rss_limit_mb=4096 -max_len="$max_len" \
           -dict="$dict" -artifact_prefix="$BUILD/artifacts/$name/" -print_final_stats=1 \
           "$WORK/$name/corpus" "$seeds"
    if [ -n "$log" ]; then
        TMPDIR="$WORK/$name/tmp" "$binary" "$@" >"$log" 2>&1
    else
        TMPDIR="$WORK/$name/tmp" "$binary" "$@"
    fi
}

# The totals of a finished run, from its final statistics.
totals() {
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$1" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$1" | tail -n 1)
    echo "fuzz: $2 reader: ${execs:-?} executions, ${rate:-?} per second"
}

if [ "$TARGET" != all ]; then
    echo "== fuzzing the $TARGET reader for $SECONDS_TO_RUN s"
    status=0
    run_target "$TARGET" "$WORK/$TARGET.log" || status=$?
    tail -n 30 "$WORK/$TARGET.log"
    if [ "$status" -ne 0 ]; then
        echo "fuzz: the $TARGET reader failed (exit $status); see $BUILD/artifacts/$TARGET/" >&2
        exit 1
    fi
    totals "$WORK/$TARGET.log" "$TARGET"
    echo "== fuzz run clean"
    exit 0
fi

echo "== fuzzing the case, control and saved-data readers for $SECONDS_TO_RUN s, side by side"
pids=""
for t in case control saved; do
    run_target "$t" "$WORK/$t.log" &
    pids="$pids $t:$!"
done
failed=""
for entry in $pids; do
    t=${entry%%:*}
    status=0
    wait "${entry#*:}" || status=$?
    if [ "$status" -ne 0 ]; then
        failed="$failed $t"
        echo "fuzz: the $t reader failed (exit $status); see $BUILD/artifacts/$t/; its last lines:" >&2
        tail -n 40 "$WORK/$t.log" >&2
    else
        totals "$WORK/$t.log" "$t"
    fi
done
if [ -n "$failed" ]; then
    echo "fuzz: failed:$failed" >&2
    exit 1
fi
echo "== fuzz run clean"
