#!/usr/bin/env bash
# What survives an end that is not a logout (a logout killed before it removed the journal,
# and journals damaged, cut or of another file, included), and what a second program, a size
# limit and an ended save leave: several runs of the real program on one data folder.
#
#   journal.sh VORA TESTKIT KILL_AT_JOURNAL_REMOVAL
set -uo pipefail
export TZ=${TZ:-Asia/Tokyo} QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
VORA=$(readlink -f "$1")
TESTKIT=$(readlink -f "$2")
KILL_AT_JOURNAL_REMOVAL=$(readlink -f "$3")
work=$(mktemp -d /tmp/vora-journal-XXXXXX)
trap 'chattr -i "$work"/*/vora-backup 2>/dev/null; rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# run DIR SCRIPT: the program on DIR with the automation script SCRIPT; prints its status.
run() { (cd "$1" && timeout 60 "$VORA" --replay "$2" > /dev/null 2>> "$work/stderr"); echo $?; }
# start DIR SCRIPT: the same in the background; PID is its process.
# A watchdog ends it should it hang.
start() {
  (cd "$1" && exec "$VORA" --replay "$2" > /dev/null 2>> "$work/stderr") &
  PID=$!
  (sleep 90; kill -KILL $PID 2>/dev/null) > /dev/null 2>&1 &
}
# await FIFO: returns once the program waits on FIFO, with the FIFO open for writing on fd 3;
# fails when the program ended before.
await() {
  local i
  for i in $(seq 1 600); do
    if ls -l /proc/$PID/fd/ 2>/dev/null | grep -qF -- "-> $1"; then exec 3> "$1"; return 0; fi
    kill -0 $PID 2>/dev/null || break
    sleep 0.1
  done
  fail "the program never waited on $1"; exec 3<> "$1"; return 1
}
release() { echo go >&3; exec 3>&-; }

# Two cases confirmed, then the program waits on the FIFO.
cat > "$work/two_cases.replay" <<'S'
type 1000 trumpa
press 1
press 101
type 1001 一人目
press 1096
press 101
type 1001 二人目
press 1096
expect-rows 62
wait-fifo ../fifo
press 106
press 2
S
# The next start: the message, both cases, a logout.
cat > "$work/restored.replay" <<'S'
expect-dialog message
expect text 前回ログアウトせずに終了したため保存されていなかった変更 2 件を復元しました。ログアウトすると保存されます。
press 1
type 1000 trumpa
press 1
expect-rows 62
press 106
press 2
S

# fresh NAME: a data folder of the same 60 cases, its vora.dat with the original's time.
fresh() {
  mkdir -p "$work/$1"
  if [ -e "$work/original.dat" ]; then cp -p "$work/original.dat" "$work/$1/vora.dat"
  else (cd "$work/$1" && "$TESTKIT" make vora.dat 60 3); fi
}
mkfifo "$work/fifo"

# The reference: the session that logged out instead. Its folder is copied while it waits,
# which is what the disk holds when the power fails there.
fresh ref
cp -p "$work/ref/vora.dat" "$work/original.dat"
start "$work/ref" "$work/two_cases.replay"
await "$work/fifo"
cp -a "$work/ref" "$work/snapshot"
cp -a "$work/ref" "$work/unlinked"
cp -p "$work/snapshot/vora.dat.journal" "$work/journal"
release
wait $PID || fail "reference session: status $?"
cmp -s "$work/ref/vora.dat" "$work/original.dat" && fail "reference session saved nothing"
[ -e "$work/ref/vora.dat.journal" ] && fail "logout left the journal"

# Power failure: the snapshot restores byte for byte what the logout wrote.
[ "$(run "$work/snapshot" "$work/restored.replay")" = 0 ] || fail "restore after power failure"
cmp -s "$work/snapshot/vora.dat" "$work/ref/vora.dat" || fail "restored logout wrote other bytes"

# That logout killed after its vora.dat took the name, before the journal was removed: the
# next start says nothing and applies nothing; its logout saves what one after a whole logout
# saves.
cat > "$work/login_logout.replay" <<'S'
expect-dialog 130
type 1000 trumpa
press 1
expect-rows 62
press 106
press 2
S
status=$(cd "$work/unlinked" && LD_PRELOAD="$KILL_AT_JOURNAL_REMOVAL" timeout 60 "$VORA" --replay "$work/restored.replay" > /dev/null 2>> "$work/stderr"; echo $?)
[ "$status" = 137 ] || fail "logout killed at the journal's removal: status $status"
[ -e "$work/unlinked/vora.dat.journal" ] || fail "logout killed at the journal's removal: no journal left"
cmp -s "$work/unlinked/vora.dat" "$work/ref/vora.dat" || fail "logout killed at the journal's removal: vora.dat not in place"
cp -a "$work/ref" "$work/ref_again"
[ "$(run "$work/ref_again" "$work/login_logout.replay")" = 0 ] || fail "reference: login and logout"
[ "$(run "$work/unlinked" "$work/login_logout.replay")" = 0 ] || fail "start after the killed logout"
[ -e "$work/unlinked/vora.dat.journal" ] && fail "start after the killed logout left the journal"
ls "$work/unlinked"/vora.dat.journal.2* > /dev/null 2>&1 && fail "start after the killed logout put a journal aside"
cmp -s "$work/unlinked/vora.dat" "$work/ref_again/vora.dat" || fail "start after the killed logout saved other bytes"

for sig in KILL TERM HUP; do
  fresh "$sig"
  start "$work/$sig" "$work/two_cases.replay"
  await "$work/fifo"
  kill -$sig $PID
  exec 3>&-
  wait $PID
  status=$?
  if [ $sig != KILL ] && [ $status != 0 ]; then fail "SIG$sig: status $status"; fi
  cmp -s "$work/$sig/vora.dat" "$work/original.dat" || fail "SIG$sig: vora.dat changed"
  [ "$(run "$work/$sig" "$work/restored.replay")" = 0 ] || fail "SIG$sig: restore"
  [ "$("$TESTKIT" get "$work/$sig/vora.dat" cases)" = 62 ] || fail "SIG$sig: cases not saved"
done

# Ended by SIGTERM with dialogs open (the administrator menu and a list editor, which reopen on
# Escape): every dialog closes and the program ends without asking; the ward added is restored.
cat > "$work/in_dialog.replay" <<'S'
type 1000 qelvo
press 1
press 105
press 1011
type 1067 新病棟
press 1089
wait-fifo ../fifo
S
sed 's/変更 2 件/変更 1 件/; s/expect-rows 62/expect-rows 60/' "$work/restored.replay" > "$work/after_dialog.replay"
fresh dialog
wards=$("$VORA" --verify-data "$work/original.dat" | sed -n 's/^wards: //p')
start "$work/dialog" "$work/in_dialog.replay"
await "$work/fifo"
kill -TERM $PID
exec 3>&-
wait $PID || fail "SIGTERM in a dialog: status $?"
[ "$(run "$work/dialog" "$work/after_dialog.replay")" = 0 ] || fail "SIGTERM in a dialog: restore"
[ "$("$VORA" --verify-data "$work/dialog/vora.dat" | sed -n 's/^wards: //p')" = $((wards + 1)) ] ||
  fail "SIGTERM in a dialog: ward not saved"

# A password shown as changed is kept, though the program is killed with the dialog still open.
cat > "$work/password.replay" <<'S'
type 1000 qelvo
press 1
press 105
press 1000
expect-dialog 141
type 1091 kanri9
type 1092 kanri9
press 1168
expect 1170 パスワードは変更されました
wait-fifo ../fifo
S
cat > "$work/after_password.replay" <<'S'
expect-dialog message
expect text 前回ログアウトせずに終了したため保存されていなかった変更 1 件を復元しました。ログアウトすると保存されます。
press 1
type 1000 qelvo
press 1
expect-dialog 130
type 1000 kanri9
press 1
expect-dialog main
expect-enabled 105 1
press 106
press 2
S
fresh password
start "$work/password" "$work/password.replay"
await "$work/fifo"
kill -KILL $PID
exec 3>&-
wait $PID
[ "$(run "$work/password" "$work/after_password.replay")" = 0 ] || fail "password: restore"
[ "$("$TESTKIT" get "$work/password/vora.dat" admin)" = kanri9 ] || fail "password: not saved"

# A journal cut short in its last entry restores the entries before it.
fresh torn
head -c -5 "$work/journal" > "$work/torn/vora.dat.journal"
sed 's/変更 2 件/変更 1 件/; s/expect-rows 62/expect-rows 61/' "$work/restored.replay" > "$work/torn.replay"
[ "$(run "$work/torn" "$work/torn.replay")" = 0 ] || fail "torn journal"

# A byte of a journal written whole changed (here in the last entry's checksum): the entry
# before it is restored and said so; the journal is kept as it was under a dated name.
fresh flipped
cp "$work/journal" "$work/flipped.journal"
last=$(($(stat -c %s "$work/journal") - 1))
byte=$(od -An -tu1 -j $last -N1 "$work/journal" | tr -d ' ')
printf "\\$(printf %03o $((byte ^ 1)))" |
  dd of="$work/flipped.journal" bs=1 seek=$last conv=notrunc status=none
cp "$work/flipped.journal" "$work/flipped/vora.dat.journal"
cat > "$work/flipped.replay" <<'S'
expect-dialog message
save-text text ../flipped.txt
press 1
type 1000 trumpa
press 1
expect-rows 61
press 106
press 2
S
[ "$(run "$work/flipped" "$work/flipped.replay")" = 0 ] || fail "flipped journal: status"
iconv -f CP932 -t UTF-8 "$work/flipped.txt" | grep -q "壊れた所より前の 1 件を復元しました" ||
  fail "flipped journal: message $(iconv -f CP932 -t UTF-8 "$work/flipped.txt")"
cmp -s "$work/flipped"/vora.dat.journal.2* "$work/flipped.journal" || fail "flipped journal: not kept as it was"
[ "$("$TESTKIT" get "$work/flipped/vora.dat" cases)" = 61 ] || fail "flipped journal: case not saved"

# A vora.dat whose modification time alone changed (a backup program touched it) keeps its
# journal.
fresh touched
cp -p "$work/journal" "$work/touched/vora.dat.journal"
touch -d '2001-01-01' "$work/touched/vora.dat"
[ "$(run "$work/touched" "$work/restored.replay")" = 0 ] || fail "touched vora.dat: restore"
ls "$work/touched"/vora.dat.journal.2* > /dev/null 2>&1 && fail "touched vora.dat: journal put aside"

# A journal of another vora.dat, and one that cannot be read: never applied, never deleted,
# renamed and told.
cat > "$work/aside.replay" <<'S'
expect-dialog message
save-text text ../aside.txt
press 1
type 1000 trumpa
press 1
expect-rows 60
menu 57665
S
mkdir -p "$work/other"
(cd "$work/other" && "$TESTKIT" make vora.dat 60 4)
cp "$work/journal" "$work/other/vora.dat.journal"
fresh damaged
printf 'VORAJNL2 but nothing more that fits' > "$work/damaged/vora.dat.journal"
for case in other damaged; do
  cp "$work/$case/vora.dat.journal" "$work/$case.journal"
  [ "$(run "$work/$case" "$work/aside.replay")" = 0 ] || fail "$case journal: status"
  [ -e "$work/$case/vora.dat.journal" ] && fail "$case journal: still in place"
  cmp -s "$work/$case"/vora.dat.journal.2* "$work/$case.journal" || fail "$case journal: not kept as it was"
  iconv -f CP932 -t UTF-8 "$work/aside.txt" > "$work/$case.txt"
done
grep -q "を適用しませんでした：いまのデータファイル「vora.dat」のものではありません" "$work/other.txt" ||
  fail "other journal: message $(cat "$work/other.txt")"
grep -q "の一部が壊れていて、読めませんでした" "$work/damaged.txt" ||
  fail "damaged journal: message $(cat "$work/damaged.txt")"

# The forced exit throws the session's changes away: no message, no case at the next start.
cat > "$work/forced.replay" <<'S'
type 1000 trumpa
press 1
press 101
type 1001 捨てる
press 1096
expect-rows 61
menu 57665
S
cat > "$work/after_forced.replay" <<'S'
expect-dialog 130
type 1000 trumpa
press 1
expect-rows 60
menu 57665
S
fresh forced
[ "$(run "$work/forced" "$work/forced.replay")" = 0 ] || fail "forced exit: status"
[ -e "$work/forced/vora.dat.journal" ] && fail "forced exit left the journal"
[ "$(run "$work/forced" "$work/after_forced.replay")" = 0 ] || fail "after forced exit"

# Two programs on one folder: the second refuses, exits 1 and changes nothing; the first goes
# on and saves.
cat > "$work/first.replay" <<'S'
type 1000 trumpa
press 1
wait-fifo ../fifo
press 101
type 1001 先の人
press 1096
press 106
press 2
S
cat > "$work/second.replay" <<'S'
expect-dialog message
save-text text ../held.txt
press 1
S
fresh two
start "$work/two" "$work/first.replay"
await "$work/fifo"
listing() { (cd "$work/two" && find . -type f -printf '%p %s %T@\n' | sort && md5sum $(find . -type f | sort)); }
before=$(listing)
[ "$(run "$work/two" "$work/second.replay")" = 1 ] || fail "second program: status"
[ "$(listing)" = "$before" ] || fail "second program changed a file"
iconv -f CP932 -t UTF-8 "$work/held.txt" |
  grep -q "^このデータファイルは別のプログラムが使用中です（コンピューター $(hostname)、プロセス [0-9]*、[0-9/]* [0-9:]* から）。そのプログラムを終了してから起動し直してください。このプログラムは終了します。$" ||
  fail "second program: message $(iconv -f CP932 -t UTF-8 "$work/held.txt")"
release
wait $PID || fail "first program: status"
[ "$("$TESTKIT" get "$work/two/vora.dat" cases)" = 61 ] || fail "first program did not save"

# A save that was killed leaves its temporary file; the next start removes it, and those of
# the export and the report, and nothing else.
cat > "$work/quit.replay" <<'S'
press 2
S
fresh leftovers
(cd "$work/leftovers" && head -c 5000 vora.dat > .vora.dat.tmpAb12Cd && touch .vora_list.csv.tmpX1y2Z3 .KRV2006.txt.tmpQwErTy .vora_list.xlsx.tmp123456 .vora.dat.tmp keep.txt)
[ "$(run "$work/leftovers" "$work/quit.replay")" = 0 ] || fail "leftovers: status"
[ "$(cd "$work/leftovers" && ls -A | grep -v '^vora.dat.lock$' | tr '\n' ' ')" = ".vora.dat.tmp keep.txt vora.dat " ] ||
  fail "leftovers: $(ls -A "$work/leftovers")"

# Under a file size limit below the files' sizes the logout save, the export and the report
# say so and the program goes on; the files written before stay as they were. (The report's
# display holds the report's text too, more than the limit lets the script save.)
cat > "$work/limit.replay" <<'S'
type 1000 qelvo
press 1
press 106
expect-dialog message
expect text データファイル「vora.dat」を保存できません（一時ファイルへの書き込みに失敗しました）：ファイルが大きすぎます（サイズの上限を超えました）。\n以前のファイルはそのまま残っています。入力したデータは失われていません。
press 1
expect-dialog main
menu 32771
expect-dialog message
save-text text ../export_message.txt
press 1
expect-dialog main
press 104
type 1251 2005
press 1173
press 1
expect-dialog 152
press 1
expect-dialog 142
press 1096
expect-dialog main
menu 57665
S
mkdir -p "$work/limit"
(cd "$work/limit" && "$TESTKIT" reportable vora.dat $(for i in $(seq 1 80); do printf '患者%d@2005-4-1 ' $i; done) &&
  printf 'old\r\n' > vora_list.csv && printf 'old\r\n' > KRV2006.txt && cp vora.dat ../limit_before.dat)
status=$(cd "$work/limit" && ulimit -f 2 && timeout 60 "$VORA" --replay "$work/limit.replay" > /dev/null 2>> "$work/stderr"; echo $?)
[ "$status" = 0 ] || fail "size limit: status $status"
cmp -s "$work/limit/vora.dat" "$work/limit_before.dat" || fail "size limit: vora.dat changed"
[ "$(cat "$work/limit/vora_list.csv")" = $'old\r' ] || fail "size limit: export changed"
[ "$(cat "$work/limit/KRV2006.txt")" = $'old\r' ] || fail "size limit: report changed"
for shown in export_message; do
  iconv -f CP932 -t UTF-8 "$work/$shown.txt" | grep -q "ファイルが大きすぎます（サイズの上限を超えました）" ||
    fail "size limit: $shown: $(iconv -f CP932 -t UTF-8 "$work/$shown.txt" | head -2)"
done

cat "$work/stderr" >&2
[ $failed = 0 ] && echo "ok: journal.sh"
exit $failed
