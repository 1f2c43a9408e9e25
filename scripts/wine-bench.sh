#!/usr/bin/env bash
# The Wine test bench of one build tree.
#   wine-bench.sh prefix BUILD        create the Wine prefix once (no installer prompts)
#   wine-bench.sh start BUILD         prefix, a virtual display unless one is given, a persistent wineserver
#   wine-bench.sh run BUILD EXE ARGS  run one Windows program on that bench; its exit code is ours
#   wine-bench.sh test BUILD EXE ARGS the same for a test program, its output given at its end
#   wine-bench.sh dpi BUILD DPI EXE ARGS  the same on the bench's second prefix, set to DPI
#   wine-bench.sh stop BUILD          end the wineserver and the virtual display
# With KVX_BENCH_DPI set, run and test use that second prefix at that DPI too.
set -euo pipefail
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

# A second prefix for runs at another DPI, so that the bench's own stays at 96 for the tests
# running beside them. Wine reads LogPixels when a program starts: one prefix serves every
# scale, one run at a time (CTest lock wine_dpi_prefix). Hard links make it in a moment;
# Wine replaces a registry file rather than writing into it, so those are copied.
dpi_prefix() {
  local dpi_bench=$bench/prefix-dpi
  if [ ! -f "$bench/prefix-dpi.ready" ]; then
    rm -rf "$dpi_bench"
    cp -al "$WINEPREFIX" "$dpi_bench"
    for reg in "$dpi_bench"/*.reg; do cp --remove-destination "$WINEPREFIX/${reg##*/}" "$reg"; done
    touch "$bench/prefix-dpi.ready"
  fi
  export WINEPREFIX=$dpi_bench
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
  run | test | dpi)
    [ -f "$bench/env" ] || { echo "wine bench not started: run '$0 start $build' first" >&2; exit 2; }
    . "$bench/env"
    if [ "$cmd" = dpi ]; then
      export KVX_BENCH_DPI=$1
      cmd=test
      shift
    fi
    if [ -n "${KVX_BENCH_DPI:-}" ]; then
      # A screen of its own, large enough for the panel at 200 %, where its windows take
      # no focus from the tests on the bench's screen.
      if [ ! -f "$bench/env-dpi" ]; then
        if [ "$MANAGED" = N ]; then
          (unset DISPLAY && start_display -dpi 1920x1200)
        else
          cp "$bench/env" "$bench/env-dpi" # a person's display: there it shows
        fi
      fi
      . "$bench/env-dpi"
      dpi_prefix
      # Its own server, kept between the runs of one bench; the bench's stop ends it.
      wineserver -p </dev/null >/dev/null 2>&1 || true
      set_dpi "$KVX_BENCH_DPI"
      export KVX_TEST_DPI=$KVX_BENCH_DPI
    fi
    [ "$cmd" = run ] && exec "$wine" "$@"
    run_test "$@"
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    [ -d "$bench/prefix-dpi" ] && WINEPREFIX=$bench/prefix-dpi wineserver -k 2>/dev/null || true
    stop_display ""
    stop_display -dpi
    ;;
  *) echo "usage: $0 prefix|start|run|test|dpi|stop BUILD [EXE ARGS...]" >&2; exit 2 ;;
esac
