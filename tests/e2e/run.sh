#!/usr/bin/env bash
# Runs one automation script against the real program in a scratch data folder.
#
#   run.sh SCRIPT VORA TESTKIT
#
# Lines of the script that start with "#@" are directions for this runner (the program reads
# them as comments):
#   #@ setup COMMAND    run in the data folder before the program starts
#   #@ status N         the exit status the program must end with (default 0)
#   #@ stderr TEXT      text that standard error must contain
#   #@ check COMMAND    run in the data folder after the program ended; must succeed
#   #@ at-fifo COMMAND  run in the data folder while the program waits at its step
#                       `wait-fifo ../fifo` (say, to take a folder's permissions away while
#                       the program works); several are run in their order
# COMMAND is bash, with $VORA, $TESTKIT and $SCRIPT_DIR set; the helper functions below are
# available too.
set -uo pipefail
source "$(dirname "$(readlink -f "$0")")/at_fifo.sh"

SCRIPT=$(readlink -f "$1")
VORA=$(readlink -f "$2")
TESTKIT=$(readlink -f "$3")
SCRIPT_DIR=$(dirname "$SCRIPT")
export VORA TESTKIT SCRIPT_DIR

# field KEY: one value of the saved data file, as `vora_testkit get` prints it.
field() { "$TESTKIT" get vora.dat "$1"; }
# expect_field KEY VALUE
expect_field() {
  local got
  got=$(field "$1") || { echo "no field $1" >&2; return 1; }
  [ "$got" == "$2" ] || { echo "field $1: expected [$2], got [$got]" >&2; return 1; }
}
# make_read_only DIR / make_writable DIR: a directory nobody may write to, root included.
make_read_only() { chmod 555 "$1"; touch "$1/.probe" 2>/dev/null && { rm -f "$1/.probe"; chattr +i "$1"; }; true; }
make_writable() { chattr -i "$1" 2>/dev/null; chmod 755 "$1"; }
export -f field expect_field make_read_only make_writable

work=$(mktemp -d /tmp/vora-e2e-XXXXXX)
cleanup() { make_writable "$work/data" 2>/dev/null; make_writable "$work" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/data"
cd "$work/data" || exit 1

expected_status=0
expected_stderr=""
at_fifo=""
while IFS= read -r line; do
  case "$line" in
    "#@ setup "*) bash -c "${line#\#@ setup }" || { echo "setup failed: $line" >&2; exit 1; } ;;
    "#@ status "*) expected_status=${line#\#@ status } ;;
    "#@ stderr "*) expected_stderr=${line#\#@ stderr } ;;
    "#@ at-fifo "*) at_fifo+="${line#\#@ at-fifo }"$'\n' ;;
  esac
done < "$SCRIPT"

if [ -n "$at_fifo" ]; then
  run_at_fifo "$work/fifo" "$at_fifo" "$VORA" --replay "$SCRIPT" > "$work/stdout" 2> "$work/stderr"
else
  timeout 90 "$VORA" --replay "$SCRIPT" > "$work/stdout" 2> "$work/stderr"
fi
status=$?
cat "$work/stderr" >&2
if [ "$status" != "$expected_status" ]; then
  echo "exit status $status, expected $expected_status" >&2
  exit 1
fi
if [ -n "$expected_stderr" ] && ! grep -qF -- "$expected_stderr" "$work/stderr"; then
  echo "standard error lacks: $expected_stderr" >&2
  exit 1
fi
while IFS= read -r line; do
  case "$line" in
    "#@ check "*) bash -c "${line#\#@ check }" || { echo "check failed: $line" >&2; exit 1; } ;;
  esac
done < "$SCRIPT"
echo "ok: $(basename "$SCRIPT")"
