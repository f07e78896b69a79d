#!/usr/bin/env bash
# The department server fails and its standby takes over: a primary and a synchronous standby
# made by pg_basebackup -R; a program adds cases, the primary stops, the standby is promoted,
# the program connects again by itself (its connection string names both servers with
# target_session_attrs=read-write) and adds more; a fresh export holds every confirmed case
# exactly once. Runs under pg_virtualenv -t, whose cluster is the primary.
#
#   server_failover.sh VORA TESTKIT
set -euo pipefail
VORA=$1
TESTKIT=$2
: "${PGHOST:?run under pg_virtualenv}" "${PG_CLUSTER_CONF_ROOT:?run under pg_virtualenv -t}"
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
w=$(mktemp -d)
chmod 755 "$w"
export VORA_SYSTEM_CONFIG=$w/none.conf XDG_CONFIG_HOME=$w/xdg
pid=
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
  pg_dropcluster --stop "$PGVERSION" standby 2>/dev/null || true
  rm -rf "$w"
}
trap cleanup EXIT
fail() {
  echo "server_failover.sh: $*" >&2
  [ -s "$w/ws/out.txt" ] && grep -v XDG_RUNTIME_DIR "$w/ws/out.txt" >&2
  exit 1
}
primary=$PGPORT
# A port no server of this machine listens on (other test runs may have theirs).
in_use() {
  local status=0
  [ -e "/var/run/postgresql/.s.PGSQL.$1" ] && return 0
  pg_isready -q -h 127.0.0.1 -p "$1" || status=$?
  [ "$status" -le 1 ]
}
standby=$((PGPORT + 1))
while in_use "$standby"; do standby=$((standby + 1)); done
on() { local port=$1; shift; psql -X -q -t -A -p "$port" "$@"; }
until_on() {
  for _ in $(seq 600); do
    [ "$(on "$1" -d "$2" -c "$3" 2>/dev/null)" = "$4" ] && return 0
    sleep 0.1
  done
  fail "port $1 never gave $4 for: $3 (it gave $(on "$1" -d "$2" -c "$3" 2>&1))"
}

on "$primary" -c "CREATE DATABASE vora_fo"
S="dbname=vora_fo"
printf 'a\nb\n' | "$VORA" --server="$S" --init-server > /dev/null
"$TESTKIT" make "$w/start.dat" 5
"$VORA" --server="$S" --import-data "$w/start.dat" > /dev/null

# The standby: a copy of the primary that follows it.
data=$(pg_lsclusters -h | awk '$2 == "regress" {print $6}')
owner=$(stat -c %U "$data")
as_owner() {
  if [ "$(id -un)" = "$owner" ]; then "$@"; else runuser -u "$owner" -- "$@"; fi
}
pg_createcluster "$PGVERSION" standby -p "$standby" -d "$w/standby" > /dev/null
rm -rf "$w/standby"
install -d -o "$owner" -m 700 "$w/standby"
as_owner env PGPASSWORD="$PGPASSWORD" pg_basebackup -D "$w/standby" -X stream -R --checkpoint=fast \
  -d "host=localhost port=$primary user=$PGUSER application_name=standby1"
pg_ctlcluster "$PGVERSION" standby start
on "$primary" -c "ALTER SYSTEM SET synchronous_standby_names = 'standby1'" -c "SELECT pg_reload_conf()" > /dev/null
until_on "$primary" postgres "SELECT sync_state FROM pg_stat_replication WHERE application_name = 'standby1'" sync

both="host=localhost,localhost port=$primary,$standby dbname=vora_fo target_session_attrs=read-write"
mkfifo "$w/failed-over"
{
  echo "type 1000 qelvo"
  echo "press 1"
  for k in 1 2 3 4 5 6; do
    [ "$k" = 4 ] && echo "wait-fifo ../failed-over"
    echo "press 101"
    echo "type 1001 切替${k}"
    echo "press 1096"
    echo "expect-dialog main"
  done
  where=localhost
  [ "$standby" = 5432 ] || where="localhost:$standby"
  echo "expect-status サーバー $where/vora_fo に接続しています（暗号化なし）"
  echo "press 106"
  echo "press 2"
} > "$w/ws.replay"
mkdir -p "$w/ws"
(cd "$w/ws" && timeout 300 "$VORA" --server="$both" --replay "$w/ws.replay" > out.txt 2>&1; echo $? > status) &
pid=$!
until_on "$primary" vora_fo "SELECT count(*) FROM vora.cases WHERE name LIKE '切替%'" 3
# The primary fails; the standby, which has every confirmed case, takes over.
pg_ctlcluster "$PGVERSION" regress stop -m immediate
pg_ctlcluster "$PGVERSION" standby promote
until_on "$standby" vora_fo "SELECT pg_is_in_recovery()" f
until_on "$standby" postgres "SELECT count(*) FROM pg_stat_activity WHERE application_name LIKE 'vora %'" 1
timeout 120 bash -c "exec 3> '$w/failed-over'" || fail "the program never waited for the failover"
wait "$pid" || true
pid=
[ "$(cat "$w/ws/status")" = 0 ] || fail "the program ended with $(cat "$w/ws/status")"

printf 'qelvo\ntrumpa\n' | "$VORA" --server="host=localhost port=$standby dbname=vora_fo" --export-data "$w/fresh.dat" > /dev/null
"$TESTKIT" export "$w/fresh.dat" "$w/fresh.csv"
for k in 1 2 3 4 5 6; do
  n=$(iconv -f CP932 -t UTF-8 "$w/fresh.csv" | grep -c ",切替${k}," || true)
  [ "$n" = 1 ] || fail "case 切替$k is in the export $n times"
done
[ "$(on "$standby" -d vora_fo -c "SELECT count(*) FROM vora.cases")" = 11 ] || fail "cases after the failover"
echo "server_failover.sh: all passed"
