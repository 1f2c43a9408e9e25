#!/usr/bin/env bash
# Builds the release packages into dist/: the setup program kvxucpl-VERSION-setup.exe and
# kvxucpl-VERSION.zip with the two executables, VERSION being the CMake project's.
# Extra arguments go to CMake, as with build.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$@"
# Packages of an earlier version or architecture must not be shipped with these.
rm -rf "$build/dist"
cmake --build "$build" --target package_setup
mkdir -p "$root/dist"
rm -f "$root"/dist/kvxucpl-*
for f in "$build"/dist/kvxucpl-*; do
  cp "$f" "$root/dist/"
  echo "dist/$(basename "$f")"
done
