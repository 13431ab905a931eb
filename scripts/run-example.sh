#!/bin/sh
# Builds Tarvex and starts it on the bundled example (a ventilated room), in a
# window on your display, with the run started at once. The run works in
# build/run-example/, where it writes its saved data (OUTPUT) and its
# residuals log (RESIDUALS); the example itself stays as it is.
# TARVEX_ITERATIONS sets the number of iterations (default 500).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run-example: Tarvex is a desktop program and there is no display to show it on." >&2
    echo "  Run this script from a desktop session (a terminal in your graphical login)," >&2
    echo "  or, on a machine without one, give it a virtual display:" >&2
    echo "    TARVEX_WITH_XVFB=1 scripts/install-deps.sh" >&2
    echo "    xvfb-run -a scripts/run-example.sh" >&2
    echo "  (on a virtual display the window is not seen; the program runs until it is stopped)." >&2
    exit 1
fi

"$ROOT/scripts/install-deps.sh"

JOBS=$(nproc 2>/dev/null || echo 4)
[ "$JOBS" -gt 4 ] && JOBS=4
cmake -S "$ROOT" -B "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$ROOT/build/release" -j "$JOBS" --target tarvex

PROGRAM="$ROOT/build/release/frontend/tarvex"
if [ ! -x "$PROGRAM" ]; then
    echo "run-example: the build did not make $PROGRAM" >&2
    exit 1
fi

RUNDIR="$ROOT/build/run-example"
mkdir -p "$RUNDIR"
cp "$ROOT/examples/room/room.case" "$ROOT/examples/room/room.control" "$RUNDIR/"

echo "run-example: starting Tarvex on examples/room (working in build/run-example); end it with File > Exit"
exec "$PROGRAM" -d "$RUNDIR" -i room.case -c room.control -n "${TARVEX_ITERATIONS:-500}" -g
