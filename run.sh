#!/usr/bin/env bash
# Installs what is missing, builds, and starts Velkaro with the given arguments.
# Without programmer hardware configured, the simulated programmer serves every port.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target velkaro-cli velkaro_data >/dev/null
exec build/bin/velkaro-cli "$@"
