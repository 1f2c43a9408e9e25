#!/usr/bin/env bash
# Configures and builds into BUILD (default: build/) for the architecture the bench runs
# (scripts/arch.sh). Extra arguments go to CMake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
arch=$("$root/scripts/arch.sh")
# A tree configured for the other architecture starts afresh: its compiler is cached.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q "mingw-$arch.cmake" "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
