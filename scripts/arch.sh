#!/usr/bin/env bash
# Prints the Windows architecture that this machine's Wine runs: i686, the product's own,
# where the kernel runs 32-bit programs; x86_64 where it cannot (some virtual machines have
# no 32-bit system-call layer, and Wine's 32-bit loader then fails with "Exec format
# error"). KVX_ARCH=i686|x86_64 overrides. Needs scripts/setup.sh to have run.
set -euo pipefail
if [ -n "${KVX_ARCH:-}" ]; then
  echo "$KVX_ARCH"
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo i686
else
  echo x86_64
fi
