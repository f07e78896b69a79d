# Sourced by the runners of automation scripts. run_at_fifo FIFO COMMAND PROGRAM ARGS... runs
# PROGRAM ARGS in the background; once it waits at its `wait-fifo FIFO` step, COMMAND runs with
# bash in the working directory (a folder made read-only while the program works, say) and the
# program goes on. Returns the program's exit status; a watchdog kills it after 90 s.
run_at_fifo() {
  local fifo=$1 command=$2 pid watchdog status i
  shift 2
  rm -f "$fifo" && mkfifo "$fifo" || return 1
  "$@" &
  pid=$!
  (sleep 90; kill -KILL $pid) > /dev/null 2>&1 &
  watchdog=$!
  for i in $(seq 1 600); do
    ls -l /proc/$pid/fd/ 2>/dev/null | grep -qF -- "-> $(readlink -f "$fifo")" && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  bash -c "$command" || echo "at-fifo: failed: $command" >&2
  # Opened for reading and writing, so that a program that never waited cannot hold this up.
  exec {release}<> "$fifo"
  echo go >&$release
  exec {release}>&-
  wait $pid
  status=$?
  kill $watchdog 2> /dev/null
  wait $watchdog 2> /dev/null
  return $status
}
