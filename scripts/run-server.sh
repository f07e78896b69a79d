#!/usr/bin/env bash
# Tries the department server on this machine: a PostgreSQL cluster of its own under
# ./server-data, the example registry on it, and two program windows working on it at once, as
# two workstations would. The cluster stops when both windows have ended.
#
#   scripts/run-server.sh [--build DIR] [--dir DIR] [--fresh] [--replay SCRIPT [--replay SCRIPT2]]
#
#   --build DIR      the build folder with vora and tests/vora_testkit (default: build)
#   --dir DIR        the folder of the cluster and the windows' data folders (default: server-data)
#   --fresh          remove what an earlier run left in that folder and start anew
#   --replay SCRIPT  drive the windows by an automation script: the first one given drives
#                    both windows, or the first window alone when a second one is given
#
# The folder holds cluster/ (the cluster, made with initdb), socket/ (its Unix socket; it
# listens on no TCP port), postgresql.log, connection (the connection string of its registry),
# and ws1/ and ws2/, the data folders of the windows (their exports and reports). A second run
# starts the same cluster again, with what was entered in the windows before; --fresh makes a
# new one. Run as root, the cluster runs as the user nobody (PostgreSQL refuses to run as root);
# the windows run as root and connect through the socket. When nobody cannot reach the folder
# (a checkout in /root), the cluster, its socket and its log are kept in
# /var/tmp/vora-run-server-HASH instead, and cluster in the folder points there.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
DIR=$ROOT/server-data
FRESH=0
REPLAY=()
usage() {
  sed -n '6,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&"${1:-2}"
  exit "${2:-2}"
}
while [ $# -gt 0 ]; do
  case $1 in
    --build) [ $# -ge 2 ] || usage; BUILD=$2; shift 2 ;;
    --dir) [ $# -ge 2 ] || usage; DIR=$2; shift 2 ;;
    --fresh) FRESH=1; shift ;;
    --replay) [ $# -ge 2 ] && [ ${#REPLAY[@]} -lt 2 ] || usage; REPLAY+=("$(readlink -f "$2")"); shift 2 ;;
    -h | --help) usage 1 0 ;;
    *) usage ;;
  esac
done
say() { echo "run-server: $*"; }
die() { echo "run-server: $*" >&2; exit 1; }

BUILD=$(readlink -f "$BUILD")
VORA=$BUILD/vora
TESTKIT=$BUILD/tests/vora_testkit
for program in "$VORA" "$TESTKIT"; do
  [ -x "$program" ] || die "$program is missing: build first (make build)"
done

# The server's programs: those pg_config names, else the newest installed.
BINDIR=$(pg_config --bindir 2>/dev/null || true)
if [ ! -x "$BINDIR/initdb" ]; then
  BINDIR=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
fi
[ -x "$BINDIR/initdb" ] && [ -x "$BINDIR/pg_ctl" ] ||
  die "no PostgreSQL server programs found (sudo apt-get install postgresql)"
VERSION=$("$BINDIR/initdb" --version | sed 's/.* \([0-9][0-9]*\).*/\1/')

# Who runs the cluster: this user, or nobody for root.
if [ "$(id -u)" -eq 0 ]; then
  OWNER=nobody
  as_owner() { (cd / && runuser -u "$OWNER" -- "$@"); }
else
  OWNER=$(id -un)
  as_owner() { "$@"; }
fi

mkdir -p "$DIR"
DIR=$(readlink -f "$DIR")
# The cluster's owner must reach its folder; no one else needs to see into it.
if [ -O "$DIR" ]; then
  if [ "$OWNER" = "$(id -un)" ]; then chmod 700 "$DIR"; else chmod 711 "$DIR"; fi
fi

# One run at a time on a folder.
exec 9> "$DIR/run.lock"
flock -n 9 || die "another run-server works on $DIR"

# Where the cluster lives: in the folder, or, when its owner cannot reach the folder (root's
# checkout in /root, which is closed to others), in a folder of /var/tmp named after it, to
# which DIR/cluster points.
HOME_OF_CLUSTER=$DIR
if ! as_owner test -x "$DIR"; then
  HOME_OF_CLUSTER=/var/tmp/vora-run-server-$(printf '%s' "$DIR" | sha1sum | cut -c1-12)
  mkdir -p "$HOME_OF_CLUSTER"
  [ -O "$HOME_OF_CLUSTER" ] && [ ! -L "$HOME_OF_CLUSTER" ] ||
    die "$HOME_OF_CLUSTER belongs to someone else: remove it"
  chmod 711 "$HOME_OF_CLUSTER"
fi
CLUSTER=$HOME_OF_CLUSTER/cluster
SOCKET=$HOME_OF_CLUSTER/socket
LOG=$HOME_OF_CLUSTER/postgresql.log
if [ "$FRESH" = 1 ]; then
  say "removing what earlier runs left in $DIR"
  # A cluster still running there from a run that was killed stops first.
  if [ -f "$CLUSTER/postmaster.pid" ]; then
    as_owner "$BINDIR/pg_ctl" -D "$CLUSTER" -m immediate -w stop > /dev/null 2>&1 || true
  fi
  find "$DIR" -mindepth 1 -maxdepth 1 ! -name run.lock -exec rm -rf {} +
  [ "$HOME_OF_CLUSTER" = "$DIR" ] || rm -rf "${HOME_OF_CLUSTER:?}"/*
fi
if [ "$HOME_OF_CLUSTER" != "$DIR" ]; then
  say "$OWNER cannot reach $DIR: the cluster is kept in $HOME_OF_CLUSTER"
  ln -sfn "$CLUSTER" "$DIR/cluster"
fi
# A Unix socket's path holds at most 107 bytes: a deep folder gets a short one in /tmp.
socket_file=$SOCKET/.s.PGSQL.5432
if [ ${#socket_file} -gt 107 ]; then
  SOCKET=$(mktemp -d /tmp/vora-socket-XXXXXX)
  SHORT_SOCKET=$SOCKET
fi

if [ -e "$CLUSTER" ]; then
  [ -f "$CLUSTER/PG_VERSION" ] ||
    die "$CLUSTER is no PostgreSQL cluster: make run-server FRESH=1 (--fresh) makes a new one"
  [ "$(cat "$CLUSTER/PG_VERSION")" = "$VERSION" ] ||
    die "$CLUSTER was made by PostgreSQL $(cat "$CLUSTER/PG_VERSION"), this machine has" \
      "$VERSION: make run-server FRESH=1 (--fresh) makes a new one"
  [ "$(stat -c %U "$CLUSTER")" = "$OWNER" ] ||
    die "$CLUSTER belongs to $(stat -c %U "$CLUSTER"), not to $OWNER who runs it now:" \
      "make run-server FRESH=1 (--fresh) as its owner or root makes a new one"
  say "starting the cluster of an earlier run ($CLUSTER)"
  NEW=0
else
  say "making a PostgreSQL $VERSION cluster in $CLUSTER"
  mkdir -m 700 "$CLUSTER"
  [ "$OWNER" = "$(id -un)" ] || chown "$OWNER" "$CLUSTER"
  # Only local connections: the socket's folder is closed to other users.
  as_owner "$BINDIR/initdb" -D "$CLUSTER" -U postgres --encoding=UTF8 --no-locale \
    --auth-local=scram-sha-256 --auth-host=reject > "$DIR/initdb.log" ||
    { cat "$DIR/initdb.log" >&2; die "initdb failed"; }
  echo "include_if_exists = 'run-server.conf'" >> "$CLUSTER/postgresql.conf"
  NEW=1
fi
mkdir -p "$SOCKET"
chmod 700 "$SOCKET"
touch "$LOG"
[ "$OWNER" = "$(id -un)" ] || chown "$OWNER" "$SOCKET" "$LOG"
# The socket's folder is written anew at each start, so the checkout may have moved.
quoted_socket=${SOCKET//\'/\'\'}
printf "listen_addresses = ''\nunix_socket_directories = '%s'\n" "$quoted_socket" |
  as_owner tee "$CLUSTER/run-server.conf" > /dev/null
# The cluster's superuser and the registry's owner come in without a password through the
# closed socket; the registry's login roles with theirs, as on a department's server.
printf 'local all postgres trust\nlocal all vora trust\nlocal all all scram-sha-256\n' |
  as_owner tee "$CLUSTER/pg_hba.conf" > /dev/null

pids=()
stop_cluster() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
  if [ -f "$CLUSTER/postmaster.pid" ]; then
    say "stopping the cluster"
    as_owner "$BINDIR/pg_ctl" -D "$CLUSTER" -m fast -w stop > /dev/null 2>&1 || true
  fi
  [ -z "${SHORT_SOCKET:-}" ] || rm -rf "$SHORT_SOCKET"
}
trap stop_cluster EXIT
trap 'exit 130' INT TERM HUP

if as_owner "$BINDIR/pg_ctl" -D "$CLUSTER" status > /dev/null 2>&1; then
  # A run that was killed left it running: it starts again with this run's settings.
  as_owner "$BINDIR/pg_ctl" -D "$CLUSTER" -m fast -w stop > /dev/null
fi
as_owner "$BINDIR/pg_ctl" -D "$CLUSTER" -l "$LOG" -w -t 60 start > /dev/null 9>&- ||
  { tail -n 20 "$LOG" >&2; die "the cluster did not start (its log: $LOG)"; }

# libpq's quoting of a value: in single quotes, with \ and ' escaped.
conninfo_value() {
  local v=${1//\\/\\\\}
  printf "'%s'" "${v//\'/\\\'}"
}
CONN="host=$(conninfo_value "$SOCKET") port=5432 dbname=vora user=vora"
echo "$CONN" > "$DIR/connection"
psql_admin() {
  "$BINDIR/psql" -X -q -t -A -v ON_ERROR_STOP=1 \
    "host=$(conninfo_value "$SOCKET") port=5432 dbname=postgres user=postgres" "$@"
}

# The registry's role and database, as a department makes them (a role that owns its
# database and nothing more), then the schema and the example registry.
# The owner makes the registry's two login roles at --init-server: it may create roles.
if [ "$(psql_admin -c "SELECT count(*) FROM pg_roles WHERE rolname = 'vora'")" = 0 ]; then
  psql_admin -c "CREATE ROLE vora LOGIN CREATEROLE"
else
  psql_admin -c "ALTER ROLE vora CREATEROLE"
fi
if [ "$(psql_admin -c "SELECT count(*) FROM pg_database WHERE datname = 'vora'")" = 0 ]; then
  psql_admin -c "CREATE DATABASE vora OWNER vora"
fi
# The roles' passwords as the example registry has them; the import sets them again.
printf 'qelvo\ntrumpa\n' | "$VORA" --server="$CONN" --init-server
held=$("$BINDIR/psql" -X -q -t -A "$CONN" -c \
  "SELECT (SELECT count(*) FROM vora.cases) + (SELECT count(*) FROM vora.list_items)")
if [ "$held" = 0 ]; then
  example=$DIR/example.dat
  "$TESTKIT" example "$example" > /dev/null
  "$VORA" --server="$CONN" --import-data "$example"
  rm -f "$example"
elif [ "$NEW" = 0 ]; then
  say "the registry holds what the earlier runs left (make run-server FRESH=1 starts anew)"
fi

say "two windows on $CONN"
say "passwords: trumpa (general user), qelvo (administrator); the cluster stops when both end"
for ws in ws1 ws2; do
  args=(--server="$CONN" --data-dir="$DIR/$ws")
  if [ ${#REPLAY[@]} -gt 0 ]; then
    script=${REPLAY[0]}
    [ "$ws" = ws2 ] && [ ${#REPLAY[@]} -eq 2 ] && script=${REPLAY[1]}
    args+=(--replay "$script")
  fi
  "$VORA" "${args[@]}" 9>&- &
  pids+=($!)
done
status=0
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || { s=$?; say "window $((i + 1)) ended with status $s"; [ "$status" != 0 ] || status=$s; }
done
pids=()
exit "$status"
