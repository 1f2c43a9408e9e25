#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages, when it is missing.
# Wine's recommended packages come along on purpose: its X11 driver's extensions (XRender,
# XRandR, XInput...) and its fonts, which dialog layouts are measured in.
set -euo pipefail
# Both Wine loaders and both compilers: the bench runs the 32-bit product where the kernel
# runs 32-bit programs, else a 64-bit build of it (scripts/arch.sh).
packages=(cmake make g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest nlohmann-json3-dev
          wine wine32:i386 wine64 fonts-wine xvfb x11-utils imagemagick xdotool nsis zip
          python3 python3-jsonschema msitools wixl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
# Wine runs 32-bit Windows programs with the i386 libraries.
dpkg --print-foreign-architectures | grep -qx i386 || "${as_root[@]}" dpkg --add-architecture i386
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
