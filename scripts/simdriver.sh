#!/usr/bin/env bash
# The stand-in driver (kvxusim.exe) on the Wine bench of a build tree.
#   simdriver.sh start BUILD [--scenario demo|maximal|FILE] [--state FILE] [--trace FILE]
#                                   serve in the background until stopped; returns once ready
#   simdriver.sh stop BUILD         stop it (it sends its removal broadcast) and wait for its end
#   simdriver.sh cmd BUILD ARGS...  a control command: status, plug 2, stream on, fault clear, ...
# The bench must be started (wine-bench.sh start BUILD). Its output goes to
# BUILD/wine-bench/kvxusim.log. It serves the pipe named by KVX_SIMDRIVER_PIPE (default: the
# device name); a panel or kvxuinfo.exe started with the same variable reaches it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmd=$1 build=$(cd "$2" && pwd)
shift 2
device_name='{5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0}'
export KVX_SIMDRIVER_PIPE=${KVX_SIMDRIVER_PIPE:-$device_name}
exe=$build/simdriver/kvxusim.exe
log=$build/wine-bench/kvxusim.log
bench() { "$root/scripts/wine-bench.sh" run "$build" "$exe" "$@"; }

case $cmd in
  start)
    setsid "$root/scripts/wine-bench.sh" run "$build" "$exe" serve "$@" >"$log" 2>&1 </dev/null &
    pid=$!
    for _ in $(seq 200); do
      grep -q 'kvxusim: ready' "$log" 2>/dev/null && { head -n1 "$log"; exit 0; }
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    echo "the stand-in driver did not start:" >&2
    cat "$log" >&2
    exit 1
    ;;
  stop) bench stop ;;
  cmd) bench "$@" ;;
  *) echo "usage: $0 start|stop|cmd BUILD [ARGS...]" >&2; exit 2 ;;
esac
