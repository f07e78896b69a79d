#!/usr/bin/env bash
# A workbook export that runs out of disk space: the message says so in Japanese, and once it
# shows, the program holds no temporary file, open or visible, and the space is free again,
# so the CSV export and the logout save that follow (which need that space) succeed.
#
#   full_disk.sh VORA TESTKIT
#
# The small disk is a tmpfs mounted in a mount namespace of the script's own (as root, or
# as a user in a user namespace); where neither can be made, the test is skipped (77).
set -uo pipefail
export TZ=${TZ:-Asia/Tokyo} QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
VORA=$(readlink -f "$1")
TESTKIT=$(readlink -f "$2")

if [ -z "${VORA_FULL_DISK_NAMESPACE:-}" ]; then
  if ! unshare --mount --map-root-user true 2>/dev/null; then
    echo "skipped: no mount namespace can be made here"
    exit 77
  fi
  VORA_FULL_DISK_NAMESPACE=1 exec unshare --mount --map-root-user bash "$0" "$VORA" "$TESTKIT"
fi

work=$(mktemp -d /tmp/vora-full-disk-XXXXXX)
trap 'umount "$work/disk" 2>/dev/null; rm -rf "$work"' EXIT
disk=$work/disk
mkdir -p "$disk"
# 20,000 cases: a data file of 5.6 MiB, a CSV export of 5.3 MiB; the workbook's sheet would
# take about 40 MiB of temporary space.
if ! mount -t tmpfs -o size=20m tmpfs "$disk"; then
  echo "skipped: no tmpfs can be mounted here"
  exit 77
fi
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
free_kib() { df --output=avail -k "$disk" | tail -1 | tr -d ' '; }

(cd "$disk" && "$TESTKIT" make vora.dat 20000) || { echo "setup failed" >&2; exit 1; }
mkfifo "$work/fifo"
cat > "$work/export.replay" <<'S'
type 1000 qelvo
press 1
menu 32772
wait-progress
expect-dialog message
expect text 「vora_list.xlsx」を保存できません（一時ファイルへの書き込みに失敗しました）：ディスクの空き容量が足りません。\nファイルは作成されていません。
wait-fifo ../fifo
press 1
menu 32771
wait-progress
expect-dialog 157
expect 1000 vora_list.csvにデータを書き込みました。
press 1
press 106
wait-progress
press 2
S
free_before=$(free_kib)
(cd "$disk" && exec "$VORA" --replay "$work/export.replay" > /dev/null 2> "$work/stderr") &
pid=$!
(sleep 90; kill -KILL $pid 2>/dev/null) > /dev/null 2>&1 &
watchdog=$!
waited=0
for _ in $(seq 1 600); do
  if ls -l /proc/$pid/fd/ 2>/dev/null | grep -qF -- "-> $work/fifo"; then waited=1; break; fi
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if [ $waited = 1 ]; then
  # The message is up: nothing of the export is left.
  open=$(ls -l /proc/$pid/fd/ | grep -F -- "-> $disk/" | grep -v -e 'vora\.dat\.lock$' -e 'vora\.dat\.journal$')
  [ -z "$open" ] || fail "files still open after the failed export: $open"
  listed=$(ls -A "$disk" | grep -v -e '^vora\.dat$' -e '^vora\.dat\.lock$' -e '^vora\.dat\.journal$')
  [ -z "$listed" ] || fail "files left in the data folder: $listed"
  free_after=$(free_kib)
  [ $((free_before - free_after)) -lt 512 ] ||
    fail "the failed export still holds $((free_before - free_after)) KiB"
  echo go > "$work/fifo"
else
  fail "the program never showed the failure"
fi
wait $pid
status=$?
kill $watchdog 2>/dev/null
cat "$work/stderr" | grep -v -e '^QStandardPaths' -e '^\[ERROR\]' >&2
[ $status = 0 ] || fail "exit status $status, expected 0 (the CSV export and the logout save)"
"$VORA" --verify-data "$disk/vora.dat" | grep -qx 'cases: 20000' ||
  fail "the saved vora.dat does not load"
[ -s "$disk/vora_list.csv" ] || fail "no vora_list.csv"
[ ! -e "$disk/vora_list.xlsx" ] || fail "a vora_list.xlsx was made"
[ $failed = 0 ] && echo "ok: full_disk"
exit $failed
