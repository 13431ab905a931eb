#!/bin/sh
# Builds Tarvex and starts it on the bundled example, with the run started at once.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/scripts/install-deps.sh"

JOBS=$(nproc 2>/dev/null || echo 4)
cmake -S "$ROOT" -B "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$ROOT/build/release" -j "$JOBS" --target tarvex

EXAMPLE="$ROOT/examples/room"
if [ ! -x "$ROOT/build/release/frontend/tarvex" ]; then
    echo "run-example: the desktop program is not built yet" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    echo "run-example: no display. Run this from a desktop session, or under a virtual one:" >&2
    echo "  TARVEX_WITH_XVFB=1 scripts/install-deps.sh && xvfb-run -a scripts/run-example.sh" >&2
    exit 1
fi
exec "$ROOT/build/release/frontend/tarvex" -d "$EXAMPLE" -i room.case -c room.control -o OUTPUT -n 300 -g
