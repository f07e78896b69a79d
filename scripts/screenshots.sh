#!/usr/bin/env bash
# Makes the pictures of the user's guide with the program itself.
#
#   scripts/screenshots.sh BUILD_DIR [OUT_DIR]
#
# Runs every automation script of docs/screens/scripts/ with BUILD_DIR/vora, each in a scratch
# data folder of its own that holds the example registry (vora_testkit example), and copies the
# pictures of its `shot FILE` steps (FILE relative to the data folder) to OUT_DIR under their
# file names. Without OUT_DIR the pictures go to a temporary folder that is removed afterwards,
# which checks that every picture can still be made.
#
# Lines starting "#@ setup COMMAND" run COMMAND with bash in the data folder before the program
# starts, "#@ at-fifo COMMAND" while it waits at its step `wait-fifo ../fifo`; make_read_only
# DIR is at hand there. "#@ status N" names the exit status the program must end with
# (default 0). "#@ locale NAME" runs the program under the locale NAME (as a desktop in that
# language sets LANG), which must be installed. A script whose program ends otherwise, or whose
# pictures are not all there, fails this script.
set -uo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_DIR [OUT_DIR]" >&2
  exit 2
fi
BUILD=$(readlink -f "$1")
VORA=$BUILD/vora
TESTKIT=$BUILD/tests/vora_testkit
SCRIPTS=$(readlink -f "$(dirname "$0")/../docs/screens/scripts")
for program in "$VORA" "$TESTKIT"; do
  [ -x "$program" ] || { echo "missing $program (build it first)" >&2; exit 2; }
done
source "$(dirname "$(readlink -f "$0")")/../tests/e2e/at_fifo.sh"
export TZ=${TZ:-Asia/Tokyo}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

if [ $# -eq 2 ]; then
  mkdir -p "$2" && OUT=$(readlink -f "$2") || exit 2
  KEEP=1
else
  OUT=$(mktemp -d /tmp/vora-screens-XXXXXX)
  KEEP=0
fi

# A folder nobody may write to, root included, and back.
make_read_only() { chmod 555 "$1"; touch "$1/.probe" 2>/dev/null && { rm -f "$1/.probe"; chattr +i "$1"; }; true; }
make_writable() { chattr -i "$1" 2>/dev/null; chmod 755 "$1"; }
export -f make_read_only

work=""
cleanup() {
  [ -n "$work" ] && { make_writable "$work/data" 2>/dev/null; rm -rf "$work"; }
  [ "$KEEP" = 1 ] || rm -rf "$OUT"
}
trap cleanup EXIT

# Runs one script; prints what went wrong and returns non-zero when a picture is not made.
shoot() {
  local script=$1 name shots=() status expected locale file at_fifo
  name=$(basename "$script")
  work=$(mktemp -d /tmp/vora-shot-XXXXXX)
  mkdir "$work/data"
  (
    cd "$work/data" || exit 1
    "$TESTKIT" example vora.dat || { echo "$name: cannot make the example registry" >&2; exit 1; }
    while IFS= read -r line; do
      case "$line" in
        "#@ setup "*) bash -c "${line#\#@ setup }" || { echo "$name: setup failed: $line" >&2; exit 1; } ;;
      esac
    done < "$script"
  ) || { make_writable "$work/data"; rm -rf "$work"; work=""; return 1; }
  mapfile -t shots < <(sed -n 's/^shot //p' "$script")
  expected=$(sed -n 's/^#@ status //p' "$script" | tail -1)
  at_fifo=$(sed -n 's/^#@ at-fifo //p' "$script")
  locale=$(sed -n 's/^#@ locale //p' "$script" | tail -1)
  if [ -n "$locale" ] && [ -n "$(LC_ALL=$locale locale 2>&1 >/dev/null)" ]; then
    echo "$name: the locale $locale is not installed (scripts/install-deps.sh makes it)" >&2
    make_writable "$work/data"; rm -rf "$work"; work=""
    return 1
  fi
  (
    cd "$work/data" || exit 1
    [ -n "$locale" ] && export LANG=$locale LC_ALL=$locale
    if [ -n "$at_fifo" ]; then
      run_at_fifo "$work/fifo" "$at_fifo" "$VORA" --replay "$script" \
        > "$work/stdout" 2> "$work/stderr"
    else
      timeout 60 "$VORA" --replay "$script" > "$work/stdout" 2> "$work/stderr"
    fi
  )
  status=$?
  grep -v '^QStandardPaths:' "$work/stderr" >&2
  make_writable "$work/data"
  local failed=0
  if [ "$status" != "${expected:-0}" ]; then
    echo "$name: the program ended with status $status, expected ${expected:-0}" >&2
    failed=1
  fi
  for file in "${shots[@]}"; do
    if [ -f "$work/data/$file" ]; then
      cp "$work/data/$file" "$OUT/$(basename "$file")" || failed=1
    else
      echo "$name: no picture $file" >&2
      failed=1
    fi
  done
  rm -rf "$work"
  work=""
  [ "$failed" = 0 ] && echo "ok: $name (${#shots[@]} pictures)"
  return "$failed"
}

scripts=("$SCRIPTS"/*.replay)
[ -e "${scripts[0]}" ] || { echo "no scripts in $SCRIPTS" >&2; exit 2; }
result=0
for script in "${scripts[@]}"; do
  shoot "$script" || result=1
done
[ "$KEEP" = 1 ] && [ "$result" = 0 ] && echo "pictures in $OUT"
exit "$result"
