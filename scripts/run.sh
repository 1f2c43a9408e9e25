#!/usr/bin/env bash
# Sets up, builds and runs the main job: asks the driver for its versions and devices.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
"$root/scripts/wine-bench.sh" start "$build" >/dev/null
trap '"$root/scripts/wine-bench.sh" stop "$build"' EXIT
"$root/scripts/wine-bench.sh" run "$build" "$build/tools/kvxuinfo.exe" || true
