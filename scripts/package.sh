#!/usr/bin/env bash
# Builds the release packages into dist/: the setup program kvxucpl-VERSION-setup.exe, the
# Windows Installer package kvxucpl-VERSION.msi and kvxucpl-VERSION.zip with the executables,
# VERSION being the CMake project's.
# Extra arguments go to CMake, as with build.sh. What ships is the 32-bit build, made in a tree
# of its own whatever the bench of this machine runs (KVX_ARCH=x86_64 for a 64-bit package).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export KVX_ARCH=${KVX_ARCH:-i686}
export BUILD=${BUILD:-$root/build-$KVX_ARCH}
build=$BUILD
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
