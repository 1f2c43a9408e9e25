#!/usr/bin/env bash
# The Wine test bench of one build tree.
#   wine-bench.sh prefix BUILD        create the Wine prefix once (no installer prompts)
#   wine-bench.sh start BUILD         prefix, a virtual display unless one is given, a persistent wineserver
#   wine-bench.sh run BUILD EXE ARGS  run one Windows program on that bench; its exit code is ours
#   wine-bench.sh test BUILD EXE ARGS the same for a test program, its output given at its end
#   wine-bench.sh dpi BUILD DPI EXE ARGS  the same on the bench's second prefix, set to DPI
#   wine-bench.sh contrast BUILD EXE ARGS the same on a prefix in high-contrast white on black
#   wine-bench.sh stop BUILD          end the wineservers and the virtual displays
# With KVX_BENCH_DPI set, run and test use that second prefix at that DPI too; with
# KVX_BENCH_CONTRAST=1, the high-contrast one.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cmd=$1 build=$(cd "$2" && pwd)
shift 2
bench=$build/wine-bench
export WINEPREFIX=$bench/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The loader of the architecture the build tree was made for (scripts/arch.sh).
if [ "$("$(dirname "$0")/arch.sh")" = x86_64 ]; then
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  wine=/usr/lib/wine/wine64
else
  export WINEARCH=win32
  wine=wine
fi

make_prefix() {
  [ -f "$bench/prefix.ready" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$bench"
  "$wine" wineboot -i >"$bench/wineboot.log" 2>&1
  # A crash must fail the test at once, not wait on a dialog.
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  touch "$bench/prefix.ready"
}

# On a person's display the window manager manages Wine's windows; on our own virtual
# display there is none, and unmanaged windows then hide without a 2-second wait for one.
set_managed() {
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$1" /f >/dev/null 2>&1
}

# start_display SUFFIX SIZE: a display for the bench's programs, named in envSUFFIX; a virtual
# one is xvfbSUFFIX.pid
start_display() {
  local name=env$1 xvfb=xvfb$1 size=$2
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "export DISPLAY=$DISPLAY MANAGED=Y" >"$bench/$name"
    return 0
  fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    setsid Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >"$bench/$xvfb.log" 2>&1 </dev/null &
    echo $! >"$bench/$xvfb.pid"
    for _ in $(seq 100); do
      DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && { echo "export DISPLAY=:$n MANAGED=N" >"$bench/$name"; return 0; }
      kill -0 "$(cat "$bench/$xvfb.pid")" 2>/dev/null || break
      sleep 0.05
    done
  done
  echo "no virtual display could be started" >&2
  return 1
}

stop_display() {
  if [ -f "$bench/xvfb$1.pid" ]; then
    kill "$(cat "$bench/xvfb$1.pid")" 2>/dev/null || true
    rm -f "$bench/xvfb$1.pid"
  fi
  rm -f "$bench/env$1"
}

# Prefixes of their own for runs that change what every program on the bench would see: one
# for runs at another DPI, so that the bench's own stays at 96 for the tests running beside
# them (Wine reads LogPixels when a program starts: one prefix serves every scale, one run at
# a time, CTest lock wine_dpi_prefix), and one in high-contrast colours (lock
# wine_contrast_prefix). Hard links make one in a moment; Wine replaces a registry file
# rather than writing into it, so those are copied.
copy_prefix() {
  local name=$1 copy=$bench/prefix-$1
  if [ ! -f "$copy.ready" ]; then
    rm -rf "$copy"
    cp -al "$WINEPREFIX" "$copy"
    for reg in "$copy"/*.reg; do cp --remove-destination "$WINEPREFIX/${reg##*/}" "$reg"; done
    if [ "$name" = contrast ]; then
      WINEPREFIX=$copy "$wine" regedit /S "$(winepath_of "$here/wine-high-contrast.reg")" \
        >/dev/null 2>&1
      WINEPREFIX=$copy wineserver -w
    fi
    touch "$copy.ready"
  fi
  export WINEPREFIX=$copy
}

# The Windows path of a file of ours (Wine's drive Z: is the root of the file system).
winepath_of() {
  local path=$1
  echo "Z:${path//\//\\}"
}

# on_copy NAME SIZE: the programs run on the prefix copy NAME, with a screen of its own of
# SIZE where its windows take no focus from the tests on the bench's screen (on a person's
# display they show there), and a server of its own, kept between runs until the bench stops.
on_copy() {
  local name=$1 size=$2
  if [ ! -f "$bench/env-$name" ]; then
    if [ "$MANAGED" = N ]; then
      (unset DISPLAY && start_display "-$name" "$size")
    else
      cp "$bench/env" "$bench/env-$name"
    fi
  fi
  . "$bench/env-$name"
  copy_prefix "$name"
  wineserver -p </dev/null >/dev/null 2>&1 || true
}

set_dpi() {
  local value=$1
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$value" /f >/dev/null 2>&1
  "$wine" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$value" /f >/dev/null 2>&1
}

run_test() {
  # A test's output goes through a file: Wine's desktop process, started by the first
  # program that shows a window, would otherwise hold ctest's pipe open until every other
  # program on the bench has ended.
  local out rc=0
  out=$(mktemp)
  "$wine" "$@" >"$out" 2>&1 </dev/null || rc=$?
  cat "$out"
  rm -f "$out"
  return $rc
}

case $cmd in
  prefix) make_prefix ;;
  start)
    # A bench left running by an earlier start of this tree goes first, or its display
    # would outlive the pid file that names it.
    "$0" stop "$build"
    make_prefix
    start_display "" 1280x800
    . "$bench/env"
    # -p: the server persists between test programs, so each one starts in about 30 ms.
    wineserver -p </dev/null >"$bench/wineserver.log" 2>&1
    set_managed "$MANAGED"
    # Start Wine's own services (explorer, plugplay, winedevice) now, away from the tests'
    # output pipes: a test whose output they inherited would never seem to end.
    "$wine" wineboot </dev/null >"$bench/session.log" 2>&1
    echo "wine bench ready on $DISPLAY"
    ;;
  run | test | dpi | contrast)
    [ -f "$bench/env" ] || { echo "wine bench not started: run '$0 start $build' first" >&2; exit 2; }
    . "$bench/env"
    if [ "$cmd" = dpi ]; then
      export KVX_BENCH_DPI=$1
      cmd=test
      shift
    elif [ "$cmd" = contrast ]; then
      export KVX_BENCH_CONTRAST=1
      cmd=test
    fi
    if [ -n "${KVX_BENCH_DPI:-}" ]; then
      on_copy dpi 1920x1200 # large enough for the panel at 200 %
      set_dpi "$KVX_BENCH_DPI"
      export KVX_TEST_DPI=$KVX_BENCH_DPI
    elif [ -n "${KVX_BENCH_CONTRAST:-}" ]; then
      on_copy contrast 1280x800
    fi
    [ "$cmd" = run ] && exec "$wine" "$@"
    run_test "$@"
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    for copy in dpi contrast; do
      [ -d "$bench/prefix-$copy" ] && WINEPREFIX=$bench/prefix-$copy wineserver -k 2>/dev/null || true
      stop_display "-$copy"
    done
    stop_display ""
    ;;
  *) echo "usage: $0 prefix|start|run|test|dpi|contrast|stop BUILD [EXE ARGS...]" >&2; exit 2 ;;
esac
