#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program with the given
# arguments; `./run.sh cli ARGS` starts velkaro-cli instead. Without programmer hardware
# configured, the simulated programmer serves every port.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ "${1:-}" = "cli" ]; then
    shift
    cmake --build build --parallel "$(nproc)" --target velkaro-cli velkaro_data >/dev/null
    exec build/bin/velkaro-cli "$@"
fi
cmake --build build --parallel "$(nproc)" --target velkaro velkaro_data >/dev/null
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display to show the window on; use ./run.sh cli ARGS for the" \
         "command-line tool, or start the window under xvfb-run" >&2
    exit 1
fi
exec build/bin/velkaro "$@"
