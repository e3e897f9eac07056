# Sourced by the bench scripts that compare whole processes.
#
#   build_probes BUILD PEERS NAME...
# Compiles the peers' floor programs c/NAME.cpp into BUILD/peers/NAME, each once.
#
#   measure CMD [ARGS...]
# Runs the command $REPEAT times (default 3) under /usr/bin/time and prints
# "median_seconds max_peak_kb median_cpu_seconds"; CPU time (user + system) varies less than elapsed
# time on a shared machine. The last run's standard output goes to $MEASURE_OUT (default: discarded).
measure() {
  local timing times=() cpus=() peak=0 e kb u s
  timing=$(mktemp)
  for _ in $(seq "${REPEAT:-3}"); do
    /usr/bin/time -f "%e %M %U %S" -o "$timing" "$@" >"${MEASURE_OUT:-/dev/null}" 2>/dev/null
    read -r e kb u s < <(tail -1 "$timing")
    times+=("$e")
    cpus+=("$(echo "$u + $s" | bc -l)")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  rm -f "$timing"
  echo "$(_measure_median "${times[@]}") $peak $(_measure_median "${cpus[@]}")"
}

#   bytes_received CMD [ARGS...]
# The bytes the command received over its sockets (the sum of what recvfrom and recvmsg returned,
# counted with strace), or "-" without strace.
bytes_received() {
  command -v strace >/dev/null 2>&1 || { echo "-"; return; }
  local log
  log=$(mktemp "${TMPDIR:-/tmp}/sumora-bench.XXXXXX.strace")
  strace -f -qq -e trace=recvfrom,recvmsg -o "$log" "$@" >/dev/null 2>&1 || { rm -f "$log"; echo "-"; return; }
  awk '/= [0-9]+$/ { sum += $NF } END { printf "%.0f", sum }' "$log"
  rm -f "$log"
}

_measure_median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

build_probes() {
  local build=$1 peers=$2 name
  shift 2
  mkdir -p "$build/peers"
  for name in "$@"; do
    [ -x "$build/peers/$name" ] || g++ -O2 -std=c++17 -o "$build/peers/$name" "$peers/c/$name.cpp" -lsqlite3
  done
}
