#!/usr/bin/env bash
# The soak of the control panel, with one command:
#   bash bench/soak/soak.sh [BUILD] [--short] [--race] [--storm] [--stall]
# BUILD (default build/) must be built (scripts/build.sh). Starts that tree's Wine bench,
# runs soak_bench.exe (about 11 minutes, every phase bounded; --short: under a minute;
# --race: the starts-and-exit phase alone; --storm: the storms alone; --stall: the stalls
# alone), prints its figures and stops the bench
# again; exits 1 when a phase failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build
args=()
for a in "$@"; do
  case $a in
    --short|--race|--storm|--stall) args+=("$a") ;;
    *) build=$a ;;
  esac
done
exe=$build/bench/soak/soak_bench.exe
[ -f "$exe" ] || { echo "no $exe: build first (bash scripts/build.sh)" >&2; exit 2; }
"$root/scripts/wine-bench.sh" start "$build" >/dev/null
trap '"$root/scripts/wine-bench.sh" stop "$build"' EXIT
# The soak starts the stand-in and the panels on a pipe of its own; a hard limit above its
# own ones ends it should it ever hang.
timeout 1200 "$root/scripts/wine-bench.sh" run "$build" "$exe" "${args[@]}"
