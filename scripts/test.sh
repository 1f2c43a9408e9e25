#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine on a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DKVX_TESTS=ON
build=${BUILD:-$root/build}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
