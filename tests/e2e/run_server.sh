#!/usr/bin/env bash
# The trial of the department server (`make run-server`) as a user starts it, without a
# screen: its own cluster in a folder, the example registry imported, two windows on it. One
# window adds a case and the other, logged in already, shows it; the cluster stops when both
# have ended. A second run starts the same cluster with that case; --fresh starts anew.
#
#   run_server.sh RUN_SERVER BUILD
set -euo pipefail
RUN_SERVER=$1
BUILD=$2
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
w=$(mktemp -d)
# Run as root, the cluster runs as nobody, who must reach its folder.
chmod 755 "$w"
D=$w/server-data
run_pid=
cleanup() {
  if [ -n "$run_pid" ]; then
    pkill -9 -P "$run_pid" 2>/dev/null || true
    kill "$run_pid" 2>/dev/null || true
    wait "$run_pid" 2>/dev/null || true
  fi
  [ -n "${VORA_KEEP_TEST_DIR:-}" ] || rm -rf "$w"
}
trap cleanup EXIT
fail() {
  echo "run_server.sh: $*" >&2
  [ -s "$w/out.txt" ] && grep -v XDG_RUNTIME_DIR "$w/out.txt" | sed "s/^/  /" >&2
  exit 1
}
sql() { psql -X -q -t -A "$(cat "$D/connection")" -c "$1"; }
# release NAME: opens the FIFO NAME for writing, which returns once a window waits at it.
release() {
  timeout 120 bash -c "exec 3> '$D/$1'" || fail "no window waited at $1"
}
until_sql() {
  for _ in $(seq 600); do
    [ "$(sql "$1" 2>/dev/null)" = "$2" ] && return 0
    sleep 0.1
  done
  fail "the server never gave $2 for: $1"
}
# run [OPTIONS]: the trial with the two scripts ws1.replay and ws2.replay; its status.
run() {
  local status=0
  timeout 300 bash "$RUN_SERVER" --build "$BUILD" --dir "$D" "$@" \
    --replay "$w/ws1.replay" --replay "$w/ws2.replay" > "$w/out.txt" 2>&1 || status=$?
  echo "$status"
}
stopped() {
  [ ! -e "$D/cluster/postmaster.pid" ] || fail "the cluster still runs after both windows ended"
  ! sql "SELECT 1" > /dev/null 2>&1 || fail "the cluster still answers after both windows ended"
}

# --- A new cluster: the example registry; the second window is logged in when the first
# adds a case, and shows it in its list.
mkdir -p "$D"
mkfifo "$D/ready" "$D/go" "$D/added"
cat > "$w/ws1.replay" <<'EOF'
type 1000 trumpa
press 1
expect-rows 300
wait-fifo ../go
press 101
expect-dialog 133
type 1001 一台目の症例
type 1022 2037
type 1009 試しの術式
press 1096
expect-dialog main
expect-rows 301
expect-cell 1 3 一台目の症例
press 106
press 2
EOF
cat > "$w/ws2.replay" <<'EOF'
type 1000 trumpa
press 1
expect-rows 300
wait-fifo ../ready
wait-fifo ../added
wait-ms 3000
expect-rows 301
expect-cell 1 3 一台目の症例
press 106
press 2
EOF
timeout 300 bash "$RUN_SERVER" --build "$BUILD" --dir "$D" \
  --replay "$w/ws1.replay" --replay "$w/ws2.replay" > "$w/out.txt" 2>&1 &
run_pid=$!
release ready
release go
until_sql "SELECT count(*) FROM vora.cases WHERE name = '一台目の症例'" 1
release added
status=0
wait "$run_pid" || status=$?
run_pid=
[ "$status" = 0 ] || fail "the first run ended with status $status"
stopped
[ -d "$D/ws1" ] && [ -d "$D/ws2" ] || fail "the windows' data folders are missing"

# --- Again: the same cluster and registry, the case of the first run in it.
cat > "$w/ws1.replay" <<'EOF'
type 1000 trumpa
press 1
expect-rows 301
expect-cell 1 3 一台目の症例
press 106
press 2
EOF
cp "$w/ws1.replay" "$w/ws2.replay"
status=$(run)
[ "$status" = 0 ] || fail "the second run ended with status $status"
grep -q "earlier run" "$w/out.txt" || fail "the second run did not start the earlier cluster"
stopped

# --- --fresh: a new cluster with the example registry alone.
sed -i 's/^expect-rows 301$/expect-rows 300/; /^expect-cell/d' "$w/ws1.replay"
cp "$w/ws1.replay" "$w/ws2.replay"
status=$(run --fresh)
[ "$status" = 0 ] || fail "the run with --fresh ended with status $status"
stopped

# --- A window that fails: its status is the trial's, and the cluster stops all the same.
printf 'type 1000 trumpa\npress 1\nexpect-rows 1\n' > "$w/ws2.replay"
status=$(run)
[ "$status" = 2 ] || fail "a failing window gave the trial status $status, expected 2"
stopped
echo "run_server.sh: all passed"
