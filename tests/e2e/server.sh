#!/usr/bin/env bash
# Workstations of a department on one PostgreSQL server, each a real program driven by a
# script: two and eight adding and correcting cases at the same moment, a conflict on one
# case, the server stopped and started while a program works, and the start failures. Runs
# under pg_virtualenv, which makes the server for the run (PGHOST, PGPORT, PGUSER, PGPASSWORD).
#
#   server.sh VORA TESTKIT
set -euo pipefail
VORA=$1
TESTKIT=$2
: "${PGHOST:?run under pg_virtualenv}"
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
w=$(mktemp -d)
# No settings file of this machine or user decides for the programs.
export VORA_SYSTEM_CONFIG=$w/none.conf XDG_CONFIG_HOME=$w/xdg
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    pkill -9 -P "$pid" 2>/dev/null || true
    kill -9 "$pid" 2>/dev/null || true
  done
  [ -n "${VORA_KEEP_TEST_DIR:-}" ] || rm -rf "$w"
}
trap cleanup EXIT
fail() {
  echo "server.sh: $*" >&2
  for out in "$w"/*/out.txt; do
    [ -s "$out" ] && grep -v XDG_RUNTIME_DIR "$out" | sed "s|^|$(basename "$(dirname "$out")"): |" >&2
  done
  exit 1
}
sql() { psql -X -q -t -A -d vora_e2e -c "$1"; }

psql -X -q -c "CREATE DATABASE vora_e2e"
S="--server=dbname=vora_e2e"
# The roles' passwords become the data file's at the import.
printf 'init-admin\ninit-user\n' | "$VORA" "$S" --init-server > /dev/null
"$TESTKIT" make "$w/start.dat" 50
"$VORA" "$S" --import-data "$w/start.dat" > /dev/null

# run_ws NAME SCRIPT: the program in a folder of its own, in the background.
run_ws() {
  mkdir -p "$w/$1"
  (
    cd "$w/$1"
    status=0
    timeout 300 "$VORA" "$S" --replay "$2" > out.txt 2>&1 || status=$?
    echo "$status" > status
  ) &
  pids+=($!)
}
# release NAME: opens the FIFO NAME for writing, which returns once the program waits at it.
release() {
  timeout 120 bash -c "exec 3> '$w/$1'" || fail "no program waited at $1"
}
# until_sql QUERY VALUE: waits until the query gives the value.
until_sql() {
  for _ in $(seq 1800); do
    [ "$(sql "$1")" = "$2" ] && return 0
    sleep 0.1
  done
  fail "the server never gave $2 for: $1 (it gave $(sql "$1"))"
}
expect_status() {
  for _ in $(seq 3000); do
    [ -s "$w/$1/status" ] && break
    sleep 0.1
  done
  [ "$(cat "$w/$1/status" 2>/dev/null)" = "$2" ] ||
    fail "$1 ended with $(cat "$w/$1/status" 2>/dev/null), expected $2: $(cat "$w/$1/out.txt")"
}

# --- N workstations at once: each adds K cases and corrects its last one, all of them
# starting together; then each exports the patient list, which must equal the list of a fresh
# export of the server's registry.
K=4
at_once() {
  local n=$1 i k
  for i in $(seq "$n"); do
    mkfifo "$w/go$n-$i" "$w/done$n-$i"
    {
      echo "type 1000 qelvo"
      echo "press 1"
      echo "wait-fifo ../go$n-$i"
      for k in $(seq $K); do
        echo "press 101"
        echo "expect-dialog 133"
        echo "type 1001 端末${i}症例${k}_$n"
        echo "type 1009 術式${k}"
        echo "press 1096"
        echo "expect-dialog main"
      done
      # Its own cases alone, the newest first: the last one is corrected.
      echo "press 103"
      echo "check 1258 1"
      echo "press 1260"
      echo "type 1286 端末${i}症例"
      echo "press 1096"
      echo "expect-cell 1 3 端末${i}症例${K}_$n"
      echo "click 250 50"
      echo "expect-dialog 133"
      echo "type 1009 端末${i}が直した術式"
      echo "press 1096"
      echo "expect-dialog main"
      echo "wait-fifo ../done$n-$i"
      echo "wait-ms 3000"
      echo "menu 32771"
      echo "expect-dialog 157"
      echo "press 1"
      echo "press 106"
      echo "press 2"
    } > "$w/at-once-$n-$i.replay"
    run_ws "at-once-$n-$i" "$w/at-once-$n-$i.replay"
  done
  local before
  before=$(sql "SELECT count(*) FROM vora.cases")
  for i in $(seq "$n"); do release "go$n-$i"; done
  until_sql "SELECT count(*) FROM vora.cases WHERE name LIKE '端末%\_$n' AND procedure LIKE '%が直した術式'" "$n"
  until_sql "SELECT count(*) FROM vora.cases" "$((before + n * K))"
  for i in $(seq "$n"); do release "done$n-$i"; done
  for i in $(seq "$n"); do expect_status "at-once-$n-$i" 0; done
  # Every case once, at its own record index.
  [ "$(sql "SELECT count(DISTINCT name) FROM vora.cases WHERE name LIKE '端末%\_$n'")" = $((n * K)) ] ||
    fail "$n at once: cases lost or doubled: $(sql "SELECT name FROM vora.cases WHERE name LIKE '端末%\_$n' ORDER BY 1")"
  [ "$(sql "SELECT count(*) = max(record_index) + 1 FROM vora.cases")" = t ] ||
    fail "$n at once: record indexes not one after the other"
  printf 'qelvo\ntrumpa\n' | "$VORA" "$S" --export-data "$w/fresh$n.dat" > /dev/null
  "$TESTKIT" export "$w/fresh$n.dat" "$w/fresh$n.csv"
  for i in $(seq "$n"); do
    cmp -s "$w/fresh$n.csv" "$w/at-once-$n-$i/vora_list.csv" ||
      fail "$n at once: workstation $i's list differs from a fresh export:" \
        "$(diff <(iconv -f CP932 -t UTF-8 "$w/fresh$n.csv") \
                <(iconv -f CP932 -t UTF-8 "$w/at-once-$n-$i/vora_list.csv") | cut -c1-150)"
  done
}
at_once 2
at_once 8

# --- A conflict: both open the newest case; a confirms; b's confirmation is refused with
# what changed, the form stays open with what was typed, and the second OK keeps b's version
# as b's form shows it (the procedure b saw, the ward b typed).
mkfifo "$w/a-opened" "$w/b-ready" "$w/b-opened"
cat > "$w/a.replay" <<'EOF'
type 1000 trumpa
press 1
click 250 50
expect-dialog 133
wait-fifo ../a-opened
type 1009 Ａが直した術式
press 1096
expect-dialog main
press 106
press 2
EOF
cat > "$w/b.replay" <<'EOF'
type 1000 trumpa
press 1
click 250 50
expect-dialog 133
wait-fifo ../b-ready
type 1011 Ｂの病棟
wait-fifo ../b-opened
press 1096
expect-dialog message
save-text text ../conflict.txt
press 1
expect-dialog 133
expect 1011 Ｂの病棟
press 1096
expect-dialog main
press 106
press 2
EOF
newest=$(sql "SELECT record_index FROM vora.cases ORDER BY surgery_date DESC, last_change DESC LIMIT 1")
seen=$(sql "SELECT procedure FROM vora.cases WHERE record_index = $newest")
run_ws a "$w/a.replay"
run_ws b "$w/b.replay"
# b has the case open before a changes it.
release b-ready
release a-opened
until_sql "SELECT procedure FROM vora.cases WHERE record_index = $newest" "Ａが直した術式"
release b-opened
expect_status a 0
expect_status b 0
conflict=$(iconv -f CP932 -t UTF-8 < "$w/conflict.txt")
case "$conflict" in
  *別の端末*術式*) ;;
  *) fail "conflict message: $conflict" ;;
esac
[ "$(sql "SELECT procedure || '|' || ward FROM vora.cases WHERE record_index = $newest")" = "$seen|Ｂの病棟" ] ||
  fail "after the conflict: $(sql "SELECT procedure || '|' || ward FROM vora.cases WHERE record_index = $newest")"

# --- The server stops while a program works: the confirmation is refused with the form kept;
# once the server is back the program connects by itself and the same OK is kept.
mkfifo "$w/logged-in" "$w/stopped" "$w/started"
cat > "$w/restart.replay" <<'EOF'
type 1000 trumpa
press 1
wait-fifo ../logged-in
press 101
type 1001 停止中の症例
wait-fifo ../stopped
press 1096
expect-dialog message
save-text text ../refused.txt
press 1
expect-dialog 133
expect 1001 停止中の症例
wait-fifo ../started
press 1096
expect-dialog main
press 106
press 2
EOF
run_ws restart "$w/restart.replay"
release logged-in
pg_ctlcluster "$PGVERSION" regress stop -m fast
release stopped
for _ in $(seq 100); do [ -s "$w/refused.txt" ] && break; sleep 0.1; done
pg_ctlcluster "$PGVERSION" regress start
until_sql "SELECT count(*) FROM pg_stat_activity WHERE application_name LIKE 'vora %'" 1
release started
expect_status restart 0
refused=$(iconv -f CP932 -t UTF-8 < "$w/refused.txt")
case "$refused" in
  *接続*入力した内容はこの画面に残っています*) ;;
  *) fail "refusal while the server was down: $refused" ;;
esac
[ "$(sql "SELECT count(*) FROM vora.cases WHERE name = '停止中の症例'")" = 1 ] || fail "the case after the restart"

# --- psql as the registry's roles: what is not a role's to change is refused by the server.
refused() {
  local who=$1 password=$2 sql=$3 out
  if out=$(PGPASSWORD=$password psql -X -q -h localhost -U "$who" -d vora_e2e -c "$sql" 2>&1); then
    fail "psql as $who could run: $sql"
  fi
  case "$out" in
    *"permission denied"* | *"must be"* | *"not a role of the registry"*) ;;
    *) fail "psql as $who: $sql: $out" ;;
  esac
}
for sql in "INSERT INTO vora.list_items (list_index, position, name) VALUES (0, 99, 'x')" \
           "UPDATE vora.hospital SET beds = 1" \
           "SELECT vora.set_password('vora_admin', 'SCRAM-SHA-256\$4096:x')" \
           "ALTER ROLE vora_admin PASSWORD 'x'" \
           "UPDATE vora.history SET role_name = 'someone'"; do
  refused vora_user trumpa "$sql"
done
refused vora_admin qelvo "UPDATE vora.history SET role_name = 'someone'"
refused vora_admin qelvo "DELETE FROM vora.history"

# --- Start failures: a clear message before anything else, status 1.
cat > "$w/start-fails.replay" <<'EOF'
expect-dialog message
save-text text ../start-fails.txt
press 1
EOF
# A database without the registry is found at the login.
cat > "$w/login-fails.replay" <<'EOF'
type 1000 qelvo
press 1
expect-dialog message
save-text text ../start-fails.txt
press 1
EOF
while IFS='|' read -r script conninfo expected; do
  rm -f "$w/start-fails.txt"
  mkdir -p "$w/fails"
  status=0
  (cd "$w/fails" && PGCONNECT_TIMEOUT=5 timeout 60 "$VORA" --server="$conninfo" --replay "$w/$script.replay" > /dev/null 2>&1) || status=$?
  [ "$status" = 1 ] || fail "start with $conninfo: status $status"
  said=$(iconv -f CP932 -t UTF-8 < "$w/start-fails.txt")
  case "$said" in
    *"$expected"*) ;;
    *) fail "start with $conninfo: $said" ;;
  esac
done <<EOF
start-fails|host=no-such-host.invalid dbname=vora_e2e|サーバー名「no-such-host.invalid」が見つかりません
start-fails|host=127.0.0.1 port=1 dbname=vora_e2e|サーバーが接続を受け付けません
login-fails|dbname=postgres|まだ台帳がありません
EOF

# --- The login: a wrong password leaves the prompt as it is; after five in a row each try
# waits, and the server's log has every failure with the workstation's address.
cat > "$w/wrong.replay" <<'EOF'
type 1000 wrong-1
press 1
expect-dialog 130
type 1000 wrong-2
press 1
type 1000 wrong-3
press 1
type 1000 wrong-4
press 1
type 1000 wrong-5
press 1
expect-dialog 130
type 1000 qelvo
press 1
expect-dialog message
save-text text ../wait.txt
press 1
expect-dialog 130
press 2
EOF
run_ws wrong "$w/wrong.replay"
expect_status wrong 0
wait_said=$(iconv -f CP932 -t UTF-8 < "$w/wait.txt")
case "$wait_said" in
  *"5 回続けてパスワードが違ったため"*秒待って*) ;;
  *) fail "after five wrong passwords: $wait_said" ;;
esac
log=$(pg_lsclusters -h | awk '$2 == "regress" {print $7}')
[ -r "$log" ] || fail "no server log at $log"
failures=$(grep -c 'password authentication failed' "$log" || true)
[ "$failures" -ge 10 ] || fail "the server's log has $failures failed logins, expected 10 (5 tries, both roles)"
# Before a login the server knows the workstation by its address (%r of log_line_prefix).
grep 'password authentication failed' "$log" | grep -q '127\.0\.0\.1(' ||
  fail "the server's log does not name the workstation: $(grep 'password authentication failed' "$log" | tail -1)"

echo "server.sh: all passed"
