#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine on a virtual display.
#   test.sh [--repeat N] [--busy] [CTEST ARGUMENTS...]
# --repeat N runs every test up to N times, stopping at its first failure; --busy keeps every
# core busy beside the tests. Both shake out tests that race the panel instead of waiting.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ctest_args=() busy=0
while [ $# -gt 0 ]; do
  case $1 in
    --repeat) ctest_args+=(--repeat "until-fail:$2"); shift 2 ;;
    --busy) busy=1; shift ;;
    *) ctest_args+=("$1"); shift ;;
  esac
done
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DKVX_TESTS=ON
build=${BUILD:-$root/build}
if [ "$("$root/scripts/arch.sh")" = i686 ]; then
  echo "Architecture: i686, the 32-bit build that ships."
else
  echo "Architecture: x86_64. This machine runs no 32-bit programs, so the tests run a 64-bit"
  echo "build of the same sources; the shipped 32-bit build is not run here."
fi
if [ "$busy" = 1 ]; then
  for _ in $(seq "$(nproc)"); do (while :; do :; done) & done
  trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
  echo "Beside $(nproc) busy loops."
fi
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "${ctest_args[@]}"
