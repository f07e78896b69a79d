#!/usr/bin/env bash
# Two accounts of one group on one data folder, as a ward sets it up, and the folders a program
# must refuse: the real program run as users this script makes (and removes at its end).
#
#   group_folder.sh VORA TESTKIT
# Needs root (or sudo without a password) to make the users and the group; else it says SKIP
# and ends with status 77.
set -uo pipefail
export TZ=${TZ:-Asia/Tokyo}
if [ "$(id -u)" != 0 ]; then
  if sudo -n true 2> /dev/null; then
    exec sudo -n env TZ="$TZ" bash "$0" "$@"
  fi
  echo "SKIP: making the test's users and group needs root or sudo without a password"
  exit 77
fi
for tool in useradd groupadd userdel groupdel setpriv; do
  command -v $tool > /dev/null || { echo "SKIP: no $tool"; exit 77; }
done
VORA=$(readlink -f "$1")
TESTKIT=$(readlink -f "$2")

w=$(mktemp -d /tmp/vora-group-XXXXXX)
group=vg$$ nurse=vn$$ doctor=vd$$ stranger=vs$$
pid=""
cleanup() {
  # A program still running keeps its user from being removed.
  [ -n "$pid" ] && kill -KILL "$pid" 2> /dev/null && sleep 0.5
  for user in $nurse $doctor $stranger; do userdel "$user" 2> /dev/null; done
  groupdel $group 2> /dev/null
  rm -rf "$w"
}
trap cleanup EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

groupadd $group || { echo "SKIP: groupadd failed"; exit 77; }
useradd -U -M -s /usr/sbin/nologin -G $group $nurse &&
  useradd -U -M -s /usr/sbin/nologin -G $group $doctor &&
  useradd -U -M -s /usr/sbin/nologin $stranger || { fail "useradd"; exit 1; }

# The program and the scripts where every account may read them; what the users write goes to
# out/, never into the data folders, whose listings are compared.
chmod 755 "$w"
mkdir -m 755 "$w/bin" && cp "$VORA" "$w/bin/vora" && chmod 755 "$w/bin/vora"
mkdir -m 1777 "$w/out"
mkfifo -m 666 "$w/fifo"
for user in $nurse $doctor $stranger; do
  install -d -m 700 -o $user -g $user "$w/home-$user" "$w/run-$user"
done
lang=C.UTF-8
locale -a 2> /dev/null | grep -qix 'ja_JP.utf-\?8' && lang=ja_JP.UTF-8

# as USER COMMAND...: COMMAND as USER, with that user's groups, home and runtime folder, in
# the place of the shell that runs this (so that, started in the background, its process is
# the program's).
as() {
  local user=$1
  shift
  exec setpriv --reuid=$user --regid=$user --init-groups \
    env -i PATH=/usr/bin:/bin HOME="$w/home-$user" XDG_RUNTIME_DIR="$w/run-$user" \
    QT_QPA_PLATFORM=offscreen TZ="$TZ" LANG="${LANG_AS:-C.UTF-8}" "$@"
}
# run USER FOLDER SCRIPT: the program of USER on FOLDER driven by SCRIPT; prints its status.
# What an earlier run saved in out/ goes first (the folder is sticky: one user cannot replace
# another's file).
run() {
  rm -f "$w"/out/*
  (as "$1" timeout 60 "$w/bin/vora" --data-dir="$2" --replay "$3" > /dev/null 2>> "$w/stderr")
  echo $?
}
# listing DIR: every entry with its type, mode, owner, group and checksum.
listing() {
  (cd "$1" && find . -printf '%p %y %m %u %g %s\n' | sort && find . -type f -exec md5sum {} + | sort)
}
# made PATH: mode, owner and group of PATH.
made() { stat -c '%a %U %G' "$1"; }
expect_made() {
  [ "$(made "$1")" = "$2" ] || fail "$1 is $(made "$1" 2>&1), expected $2"
}
shown() { iconv -f CP932 -t UTF-8 "$w/out/$1"; }
# refused USER FOLDER PATTERN WHAT: the program of USER on FOLDER tells a text matching PATTERN
# (a grep pattern, whole), ends with status 1 and changes nothing there.
refused() {
  local before status
  before=$(listing "$2")
  status=$(run "$1" "$2" "$w/refused.replay")
  [ "$status" = 1 ] || fail "$4: status $status"
  [ "$(listing "$2")" = "$before" ] || fail "$4: the folder changed"
  shown refused.txt | grep -qx -- "$3" || fail "$4: told $(shown refused.txt)"
}

cat > "$w/refused.replay" << S
expect-dialog message
save-text text $w/out/refused.txt
press 1
S
cat > "$w/quit.replay" << 'S'
press 2
S
cat > "$w/new_case.replay" << 'S'
type 1000 trumpa
press 1
press 101
type 1001 追加の症例
press 1096
press 106
press 2
S

# --- Two members of the group on a folder set up for it (2770, the data file 0660).
S=$w/shared
mkdir "$S" && chgrp $group "$S" && chmod 2770 "$S"
"$TESTKIT" reportable "$S/vora.dat" 患者一@2005-4-1 患者二@2005-5-1
chown $nurse:$group "$S/vora.dat" && chmod 660 "$S/vora.dat"

cat > "$w/nurse.replay" << S
type 1000 trumpa
press 1
press 101
type 1001 看護師の症例
press 1096
expect-rows 3
wait-fifo $w/fifo
press 106
press 2
S
as $nurse "$w/bin/vora" --data-dir="$S" --replay "$w/nurse.replay" > /dev/null 2>> "$w/stderr" &
pid=$!
(sleep 90; kill -KILL $pid) > /dev/null 2>&1 &
waiting=0
for i in $(seq 1 600); do
  if ls -l /proc/$pid/fd/ 2> /dev/null | grep -qF -- "-> $w/fifo"; then waiting=1; break; fi
  kill -0 $pid 2> /dev/null || break
  sleep 0.1
done
[ $waiting = 1 ] || fail "the nurse's program never waited"
expect_made "$S/vora.dat.lock" "660 $nurse $group"
expect_made "$S/vora.dat.journal" "660 $nurse $group"

# The doctor is refused while the nurse works, and changes nothing.
refused $doctor "$S" "このデータファイルは別のプログラムが使用中です（コンピューター $(hostname)、プロセス $pid、[0-9/]* [0-9:]* から）。そのプログラムを終了してから起動し直してください。このプログラムは終了します。" \
  "the second member"

# The nurse's program is killed; the doctor's next start restores her case, keeps the day's
# backup at logout, and writes the exports and the report: every file the group's.
kill -KILL $pid
wait $pid 2> /dev/null
cat > "$w/doctor.replay" << S
expect-dialog message
save-text text $w/out/restored.txt
press 1
type 1000 qelvo
press 1
expect-rows 3
menu 32771
expect-dialog 157
press 1
menu 32772
expect-dialog 157
press 1
press 104
type 1251 2005
press 1173
press 1
expect-dialog 152
press 1
expect-dialog 142
press 1096
press 106
press 2
S
status=$(LANG_AS=$lang run $doctor "$S" "$w/doctor.replay")
[ "$status" = 0 ] || fail "the doctor's session ($lang): status $status"
shown restored.txt | grep -q "変更 1 件を復元しました" || fail "the doctor was told: $(shown restored.txt)"
[ "$("$TESTKIT" get "$S/vora.dat" cases)" = 3 ] || fail "the nurse's case was not saved"
[ "$("$TESTKIT" get "$S/vora.dat" case.2.strName)" = 看護師の症例 ] || fail "the saved case is not the nurse's"
[ -e "$S/vora.dat.journal" ] && fail "the journal is left after the save"
backup=$S/vora-backup/vora-$(date +%Y%m%d).dat
[ -f "$backup" ] || fail "the doctor's logout made no backup"
[ "$("$TESTKIT" get "$backup" cases)" = 2 ] || fail "the backup is not the file replaced"
expect_made "$S/vora-backup" "2770 $doctor $group"
expect_made "$backup" "660 $nurse $group" # a hard link: the replaced file itself
expect_made "$S/vora.dat" "660 $doctor $group"
for file in vora_list.csv vora_list.xlsx KRV2006.txt; do
  expect_made "$S/$file" "660 $doctor $group"
done
expect_made "$S/vora.dat.lock" "660 $nurse $group"
others=$(find "$S" \( ! -group $group -o -perm /007 \) -printf '%p ')
[ -z "$others" ] || fail "outside the group, or open to others: $others"

# The nurse goes on where the doctor saved.
status=$(run $nurse "$S" "$w/new_case.replay")
[ "$status" = 0 ] || fail "the nurse after the doctor: status $status"
[ "$("$TESTKIT" get "$S/vora.dat" cases)" = 4 ] || fail "the nurse's later case was not saved"
expect_made "$S/vora.dat" "660 $nurse $group"

# --- A first registry in an empty folder set up for the group is the group's; one in a new
# folder of a user's own stays that user's.
E=$w/empty
mkdir "$E" && chgrp $group "$E" && chmod 2770 "$E"
status=$(run $nurse "$E" "$w/new_case.replay")
[ "$status" = 0 ] || fail "first registry in a group folder: status $status"
expect_made "$E/vora.dat" "660 $nurse $group"
expect_made "$E/vora.dat.lock" "660 $nurse $group"
P=$w/home-$nurse/own/registry
status=$(run $nurse "$P" "$w/new_case.replay")
[ "$status" = 0 ] || fail "first registry in a new folder: status $status"
expect_made "$w/home-$nurse/own" "700 $nurse $nurse"
expect_made "$P" "700 $nurse $nurse"
expect_made "$P/vora.dat" "600 $nurse $nurse"
expect_made "$P/vora.dat.lock" "600 $nurse $nurse"

# --- A lock file left by root (one "sudo vora"), for root alone: refused with what to do.
L=$w/rootlock
mkdir "$L" && chgrp $group "$L" && chmod 2770 "$L"
"$TESTKIT" make "$L/vora.dat" 3 && chown $nurse:$group "$L/vora.dat" && chmod 660 "$L/vora.dat"
touch "$L/vora.dat.lock" && chown root:root "$L/vora.dat.lock" && chmod 600 "$L/vora.dat.lock"
refused $nurse "$L" "データファイルを安全に使えないため終了します（vora.dat.lock：書き込みまたは読み込みの権限がありません）。フォルダーとファイルに書き込めるよう、管理者に依頼してください。" \
  "root's lock file"

# --- A folder the user may read but not write: refused at start instead of failing at logout;
# --verify-data still reads the registry there.
R=$w/readonly
mkdir -m 755 "$R" && "$TESTKIT" make "$R/vora.dat" 3 && chmod 644 "$R/vora.dat"
refused $doctor "$R" "データファイルを安全に使えないため終了します（$R：書き込みまたは読み込みの権限がありません）。フォルダーとファイルに書き込めるよう、管理者に依頼してください。" \
  "read-only folder"
verified=$(as $doctor "$w/bin/vora" --data-dir="$R" --verify-data 2>> "$w/stderr")
status=$?
[ "$status" = 0 ] && grep -qx 'cases: 3' <<< "$verified" && grep -qx 'status: ok' <<< "$verified" ||
  fail "--verify-data in a read-only folder: status $status: $verified"

# --- A data file of a group the user is not in: what the user makes beside it gives that
# group's bits to nobody rather than to the user's own group.
G=$w/foreign
mkdir -m 777 "$G" && "$TESTKIT" make "$G/vora.dat" 3 && chmod 664 "$G/vora.dat"
status=$(run $stranger "$G" "$w/quit.replay")
[ "$status" = 0 ] || fail "a data file of another group: status $status"
expect_made "$G/vora.dat.lock" "604 $stranger $stranger"

grep -v '^QStandardPaths:' "$w/stderr" >&2
[ $failed = 0 ] && echo "ok: group_folder.sh"
exit $failed
