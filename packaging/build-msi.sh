#!/usr/bin/env bash
# Builds the Windows Installer package from the staged files: wixl reads kvxucpl.wxs, then
# msibuild sets in the tables what wixl 0.101 does not take from the source.
#   build-msi.sh OUTPUT VERSION PRODUCT_CODE STAGE_DIR ICON [x64]
# VERSION is the installer's three-part version (1.0.1); the text users see goes in with it.
# ICON is the panel's icon, for Add/Remove Programs.
# x64: a package of the 64-bit build, which only the bench of a machine without a 32-bit
# system-call layer makes; the product ships 32-bit.
set -euo pipefail
out=$1 version=$2 productCode=$3 stage=$4 icon=$5 arch=${6:-x86}
programFiles=ProgramFilesFolder
[ "$arch" = x64 ] && programFiles=ProgramFiles64Folder
source=$(cd "$(dirname "$0")" && pwd)/kvxucpl.wxs
IFS=. read -r major minor patch <<<"$version"
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
# wixl finds the files named in the source in its working directory: the staged ones and the icon.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$stage"/* "$work"/
ln -s "$icon" "$work/kvxucpl.ico"
cd "$work"
wixl -a "$arch" -D Version="$version" -D VersionText="$major.$minor$patch" \
  -D ProductCode="$productCode" -D ProgramFiles="$programFiles" -o "$out" "$source"
# The start at logon only with STARTATLOGON=1 (the default); the old version removed before the new one is installed, so that what the old one
# wrote never outlives it; and the two public properties passed on to the part of the
# installation that runs as the system.
msibuild "$out" \
  -q "UPDATE Component SET Condition = 'STARTATLOGON = \"1\"' WHERE Component = 'StartAtLogon'" \
  -q "UPDATE InstallExecuteSequence SET Sequence = 1501 WHERE Action = 'RemoveExistingProducts'" \
  -q "UPDATE Property SET Value = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;STARTATLOGON;PROFILE' WHERE Property = 'SecureCustomProperties'"
# A 64-bit package writes and searches the 64-bit view of the registry, as the 64-bit setup
# program does.
if [ "$arch" = x64 ]; then
  msibuild "$out" \
    -q "UPDATE Component SET Attributes = 256 WHERE Attributes = 0" \
    -q "UPDATE Component SET Attributes = 260 WHERE Attributes = 4" \
    -q "UPDATE RegLocator SET Type = 18 WHERE Type = 2"
fi
