#!/usr/bin/env bash
# Where the program starts: the data folder chosen by the command line and the settings files,
# bad settings refused with their file and line, and a folder without file locks refused before
# anything is made in it.
#
#   start_checks.sh VORA TESTKIT NOFLOCK
# NOFLOCK is a library that, preloaded, makes flock fail with ENOLCK.
set -uo pipefail
export TZ=${TZ:-Asia/Tokyo} QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
VORA=$(readlink -f "$1")
TESTKIT=$(readlink -f "$2")
NOFLOCK=$(readlink -f "$3")
w=$(mktemp -d /tmp/vora-start-XXXXXX)
trap 'rm -rf "$w"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
unset XDG_CONFIG_HOME

# listing DIR: every file below DIR with its mode, size and checksum.
listing() { (cd "$1" && find . -printf '%p %y %m %s\n' | sort && find . -type f -exec md5sum {} + | sort); }

# --- A file system without locks: refused before the login, status 1, nothing made or changed.
cat > "$w/refused.replay" <<'S'
expect-dialog message
save-text text ../refused.txt
press 1
S
for setup in registry empty; do
  rm -rf "$w/nolock" && mkdir "$w/nolock"
  [ $setup = registry ] && "$TESTKIT" make "$w/nolock/vora.dat" 3 && touch "$w/nolock/.vora.dat.tmpAb12Cd"
  before=$(listing "$w/nolock")
  status=$(cd "$w/nolock" && LD_PRELOAD=$NOFLOCK timeout 60 "$VORA" --replay "$w/refused.replay" \
             > /dev/null 2>> "$w/stderr"; echo $?)
  [ "$status" = 1 ] || fail "ENOLCK ($setup): status $status"
  [ "$(listing "$w/nolock")" = "$before" ] || fail "ENOLCK ($setup): the folder changed: $(ls -A "$w/nolock")"
  shown=$(iconv -f CP932 -t UTF-8 "$w/refused.txt")
  [ "$shown" = "データファイルを安全に使えないため終了します（vora.dat.lock：この場所ではファイルのロックが使えません）。ファイルのロックが使える場所にデータフォルダーを置くよう、管理者に依頼してください。" ] ||
    fail "ENOLCK ($setup): message $shown"
done
# --verify-data takes no lock, so it reads a registry there.
(cd "$w/nolock" && "$TESTKIT" make vora.dat 3 && LD_PRELOAD=$NOFLOCK "$VORA" --verify-data) | grep -qx 'status: ok' ||
  fail "--verify-data without locks"

# --- The data folder: --data-dir=DIR, else the user's file, else the system's, else
# ~/vora-data; without --data-dir the working directory. Each candidate holds a registry of
# its own size, so the number of cases tells which one was read.
mkdir -p "$w/home/vora-data" "$w/home/.config/vora" "$w/sys" "$w/user" "$w/cmd" "$w/xdg/vora" "$w/cwd"
"$TESTKIT" make "$w/sys/vora.dat" 3
"$TESTKIT" make "$w/user/vora.dat" 4
"$TESTKIT" make "$w/home/vora-data/vora.dat" 5
"$TESTKIT" make "$w/cmd/vora.dat" 6
"$TESTKIT" make "$w/cwd/vora.dat" 7
export HOME=$w/home VORA_SYSTEM_CONFIG=$w/system.conf
user_conf=$w/home/.config/vora/vora.conf
# cases_read SYSTEM USER ARGS...: the cases --verify-data counts with those files ("-": none).
cases_read() {
  local system=$1 user=$2
  shift 2
  rm -f "$VORA_SYSTEM_CONFIG" "$user_conf"
  [ "$system" = - ] || printf '%s\n' "$system" > "$VORA_SYSTEM_CONFIG"
  [ "$user" = - ] || printf '%s\n' "$user" > "$user_conf"
  (cd "$w/cwd" && "$VORA" "$@" --verify-data 2>> "$w/stderr" | sed -n 's/^cases: //p')
}
while IFS='|' read -r system user args expected; do
  # shellcheck disable=SC2086
  got=$(cases_read "$system" "$user" $args)
  [ "$got" = "$expected" ] || fail "settings [$system] [$user] $args: read $got cases, expected $expected"
done <<EOF
-|-|--data-dir|5
# site settings|-|--data-dir|5
data-dir = $w/sys|-|--data-dir|3
-|data-dir = $w/user|--data-dir|4
data-dir = $w/sys|data-dir = $w/user|--data-dir|4
data-dir = $w/sys|# nothing of mine|--data-dir|3
data-dir = $w/sys|data-dir = ~/vora-data|--data-dir|5
data-dir = $w/sys|data-dir = $w/user|--data-dir=$w/cmd|6
data-dir = $w/sys|data-dir = $w/user||7
EOF
# XDG_CONFIG_HOME moves the user's file.
printf 'data-dir = %s\n' "$w/sys" > "$VORA_SYSTEM_CONFIG"
printf 'data-dir = %s\n' "$w/user" > "$user_conf"
printf 'data-dir = %s\n' "$w/cmd" > "$w/xdg/vora/vora.conf"
got=$(cd "$w/cwd" && XDG_CONFIG_HOME=$w/xdg "$VORA" --data-dir --verify-data | sed -n 's/^cases: //p')
[ "$got" = 6 ] || fail "XDG_CONFIG_HOME's file was not read: $got cases"

# Bad settings: the file and the line on standard error, status 2, no folder entered.
while IFS='|' read -r system user message; do
  rm -f "$VORA_SYSTEM_CONFIG" "$user_conf"
  [ "$system" = - ] || printf "$system" > "$VORA_SYSTEM_CONFIG"
  [ "$user" = - ] || printf "$user" > "$user_conf"
  status=$(cd "$w/cwd" && "$VORA" --data-dir --verify-data > /dev/null 2> "$w/bad.txt"; echo $?)
  [ "$status" = 2 ] || fail "bad settings [$system] [$user]: status $status"
  grep -qxF -- "vora: $message" "$w/bad.txt" || fail "bad settings: $(cat "$w/bad.txt"), expected: $message"
done <<EOF
# site\n\ndatadir = /srv\n|-|$w/system.conf:3: 知らないキーです: "datadir"
data-dir = $w/sys\n|data-dir $w/user\n|$user_conf:1: 「キー = 値」の形ではありません
-|data-dir = relative\n|$user_conf:1: data-dir: フォルダは / か ~/ で始めて書いてください: "relative"
EOF
# A folder named by the command line needs no settings, so bad ones are not read then.
[ "$(cases_read "datadir = x" - --data-dir="$w/cmd")" = 6 ] || fail "--data-dir=DIR read the settings"

# A folder the settings name is never made: a share that is not mounted must not become a new,
# empty registry.
printf 'data-dir = %s\n' "$w/share/anesthesia" > "$VORA_SYSTEM_CONFIG"
rm -f "$user_conf"
status=$(cd "$w/cwd" && "$VORA" --data-dir --verify-data > /dev/null 2> "$w/missing.txt"; echo $?)
[ "$status" = 1 ] || fail "missing folder of the settings: status $status"
[ -e "$w/share" ] && fail "the folder of the settings was made"
grep -qxF "vora: データフォルダ「$w/share/anesthesia」に入れません：ファイルまたはフォルダがありません" "$w/missing.txt" ||
  fail "missing folder: $(cat "$w/missing.txt")"

# The desktop entry's way, in Japanese: the program works in the folder the site names and saves
# there; a script named relative to where it was started is still found.
cat > "$w/cwd/new_case.replay" <<'S'
type 1000 trumpa
press 1
press 101
type 1001 設定の台帳
press 1096
press 106
press 2
S
printf 'data-dir = %s\n' "$w/sys" > "$VORA_SYSTEM_CONFIG"
rm -f "$user_conf"
lang=C.UTF-8
locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8' && lang=ja_JP.UTF-8
status=$(cd "$w/cwd" && LANG=$lang LC_ALL=$lang timeout 60 "$VORA" --data-dir --replay new_case.replay > /dev/null 2>> "$w/stderr"; echo $?)
[ "$status" = 0 ] || fail "run in the site's folder ($lang): status $status"
[ "$("$TESTKIT" get "$w/sys/vora.dat" cases)" = 4 ] || fail "the case was not saved in the site's folder"
[ "$("$TESTKIT" get "$w/cwd/vora.dat" cases)" = 7 ] || fail "the working directory's registry changed"

grep -v '^QStandardPaths:' "$w/stderr" >&2
[ $failed = 0 ] && echo "ok: start_checks.sh"
exit $failed
