#!/usr/bin/env bash
# Sets up, builds and runs the main job: starts the stand-in driver with the demo scenario
# and asks the driver for its versions and devices.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
"$root/scripts/wine-bench.sh" start "$build" >/dev/null
stop_all() {
  "$root/scripts/simdriver.sh" stop "$build" >/dev/null 2>&1 || true
  "$root/scripts/wine-bench.sh" stop "$build"
}
trap stop_all EXIT
"$root/scripts/simdriver.sh" start "$build" --scenario demo
"$root/scripts/wine-bench.sh" run "$build" "$build/tools/kvxuinfo.exe" || true
