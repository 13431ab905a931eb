#!/bin/sh
# Checks first that the solver's kernels read only the arrays they name; then
# builds both builds with every test and runs them, under CTest and each test
# program once directly; then the engine tests and the raster operations under
# AddressSanitizer and UndefinedBehaviorSanitizer, the front end, the platform
# layer and the solver's worker threads under ThreadSanitizer, and a bounded
# fuzz run of the three file readers.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)

echo "== kernels read only the arrays they name"
# A kernel, a kernel piece or a helper (a struct, or an inline function, at
# the left margin of the engine's equation files) reaches the data groups only
# through the arrays it names as static constexpr members (or the axis table's);
# the values of a pass come from the routine that sets the pass up.
if ! awk '
    FNR == 1 { inside = 0 }
    /^(struct|class|inline) / {
        if ($0 ~ /}$/ && $0 !~ /^(struct|class)/) one = 1; else { inside = 1; one = 0 }
    }
    (inside || one) && /(fields|coefs|c2eq|resid|runctl|pbtable|griddim|gridline|regions|uvaltab|domsums|mixlen|runflags)\.|[^_a-z.]grid\(\)|loops::grid/ && !/static constexpr/ {
        print FILENAME ":" FNR ": " $0; bad = 1
    }
    one { one = 0 }
    inside && /^};?$/ { inside = 0 }
    END { exit bad }
' "$ROOT"/engine/engine_*.cpp "$ROOT"/engine/solver_kernels.h "$ROOT"/engine/axis.h "$ROOT"/engine/extensions_balances.cpp; then
    echo "test-all: a kernel or helper above reads a data group directly; name the array as a member" >&2
    exit 1
fi

"$ROOT/scripts/install-deps.sh"

JOBS=$(nproc 2>/dev/null || echo 4)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

echo "== release build and tests"
cmake -S "$ROOT" -B "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$ROOT/build/release" -j "$JOBS"
(cd "$ROOT/build/release" && ctest -j "$JOBS" --timeout 600)

# CTest gives every test a process of its own; a test must also pass after
# whatever ran before it in the same process. Each program once, as one
# process, all at the same time.
echo "== each test program of both builds run directly, as one process"
failed=""
pids=""
for prog in "$ROOT"/build/release/tests/*_tests "$ROOT"/build/release/tests/*_tests_small; do
    [ -x "$prog" ] || continue
    name=$(basename "$prog")
    (cd "$ROOT/build/release/tests" && TARVEX_SOURCE_DIR="$ROOT" "$prog" --gtest_brief=1 \
         >"$ROOT/build/release/tests/$name.direct.log" 2>&1) &
    pids="$pids $!:$name"
done
for entry in $pids; do
    wait "${entry%%:*}" || failed="$failed ${entry#*:}"
done
if [ -n "$failed" ]; then
    for name in $failed; do
        echo "-- $name, run directly:"
        tail -n 60 "$ROOT/build/release/tests/$name.direct.log"
    done
    echo "failed when run directly:$failed"
    exit 1
fi

echo "== engine, viewer-computation and raster tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$ROOT" -B "$ROOT/build/asan" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
      -DTARVEX_SANITIZE=ON -DTARVEX_FRONTEND=OFF -DTARVEX_BENCH=OFF >/dev/null
cmake --build "$ROOT/build/asan" -j "$JOBS"
(cd "$ROOT/build/asan" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
     ctest -j "$JOBS" --timeout 900 -R '^(common|engine|engine_small|engine_parallel|viewcalc|viewcalc_small|raster)\.')

echo "== front-end, platform and parallel-solver tests under ThreadSanitizer"
cmake -S "$ROOT" -B "$ROOT/build/tsan" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
      -DTARVEX_TSAN=ON -DTARVEX_BENCH=OFF >/dev/null
cmake --build "$ROOT/build/tsan" -j "$JOBS" --target platform_tests frontend_tests engine_parallel_tests
(cd "$ROOT/build/tsan" && ctest -j "$JOBS" --timeout 900 -R '^(platform|frontend|engine_parallel)\.')

if [ -f "$ROOT/fuzz/CMakeLists.txt" ]; then
    echo "== fuzz runs of the case, control and saved-data readers"
    "$ROOT/scripts/fuzz.sh" "${TARVEX_FUZZ_SECONDS:-60}"
fi
echo "== all tests passed"
