#!/usr/bin/env bash
# Sets up the machine, configures, builds and runs every test.
# Usage: scripts/test.sh            (build dir: build/)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
./scripts/setup.sh
build=${KORVEL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
# Widget and player tests run headless.
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"$(nproc)" --timeout 600
