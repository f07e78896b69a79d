#!/usr/bin/env bash
# Encrypted connections to the department server: a password never goes unencrypted to another
# machine; with TLS and the hospital's CA (sslmode=verify-full) the program connects and says
# so in the status bar; a wrong CA and a certificate of another name are refused in Japanese.
# Runs under pg_virtualenv -t, whose server it reconfigures (certificates made here).
#
#   server_tls.sh VORA TESTKIT
set -euo pipefail
VORA=$1
TESTKIT=$2
: "${PGHOST:?run under pg_virtualenv}" "${PG_CLUSTER_CONF_ROOT:?run under pg_virtualenv -t}"
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
w=$(mktemp -d)
chmod 755 "$w"
export VORA_SYSTEM_CONFIG=$w/none.conf XDG_CONFIG_HOME=$w/xdg
trap 'rm -rf "$w"' EXIT
fail() {
  echo "server_tls.sh: $*" >&2
  exit 1
}

conf=$PG_CLUSTER_CONF_ROOT/$PGVERSION/regress
data=$(pg_lsclusters -h | awk '$2 == "regress" {print $6}')
owner=$(stat -c %U "$data")
restart() { pg_ctlcluster "$PGVERSION" regress restart; }

psql -X -q -c "CREATE DATABASE vora_tls"
S="dbname=vora_tls"
printf 'a\nb\n' | "$VORA" --server="$S" --init-server > /dev/null
"$TESTKIT" make "$w/start.dat" 5
"$VORA" --server="$S" --import-data "$w/start.dat" > /dev/null

# login_says CONNINFO TEXT: the login with the administrator's password ends the program with
# a message holding TEXT (status 1).
cat > "$w/login-refused.replay" <<'EOF'
type 1000 qelvo
press 1
expect-dialog message
save-text text ../said.txt
press 1
EOF
cat > "$w/start-refused.replay" <<'EOF'
expect-dialog message
save-text text ../said.txt
press 1
EOF
says() {
  local script=$1 conninfo=$2 expected=$3 status=0
  rm -f "$w/said.txt"
  mkdir -p "$w/ws"
  (cd "$w/ws" && timeout 60 "$VORA" --server="$conninfo" --replay "$w/$script.replay" > "$w/out.txt" 2>&1) || status=$?
  [ -s "$w/said.txt" ] || fail "$conninfo: no message ($(cat "$w/out.txt"))"
  local said
  said=$(iconv -f CP932 -t UTF-8 < "$w/said.txt")
  case "$said" in
    *"$expected"*) ;;
    *) fail "$conninfo: $said" ;;
  esac
  echo "$status"
}

# --- Without TLS: on this machine the password goes; to another machine it does not.
remote=$(hostname -I 2>/dev/null | tr ' ' '\n' | grep -E '^[0-9]+(\.[0-9]+){3}$' | grep -v '^127\.' | head -n 1 || true)
if [ -n "$remote" ]; then
  echo "listen_addresses = 'localhost,$remote'" >> "$conf/postgresql.conf"
  echo "host all all $remote/32 scram-sha-256" >> "$conf/pg_hba.conf"
  restart
  # The login prompt stays: the message says why, the program goes on (status 3 at the end).
  cat > "$w/remote.replay" <<'EOF'
type 1000 qelvo
press 1
expect-dialog message
save-text text ../said.txt
press 1
expect-dialog 130
press 2
EOF
  says remote "host=$remote dbname=vora_tls" "暗号化できないため、パスワードを送りませんでした" > /dev/null
else
  echo "server_tls.sh: SKIP the unencrypted connection to another machine: this machine has no address but loopback"
fi

# --- TLS with certificates of a CA made here; the server's is for "localhost" only.
(
  cd "$w"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=vora test CA" \
    -keyout ca.key -out ca.crt 2> /dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key \
    -out server.csr 2> /dev/null
  printf 'subjectAltName=DNS:localhost\n' > san.ext
  openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
    -extfile san.ext -out server.crt 2> /dev/null
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=another CA" \
    -keyout other.key -out other.crt 2> /dev/null
)
install -o "$owner" -m 600 "$w/server.key" "$data/server.key"
install -o "$owner" -m 644 "$w/server.crt" "$data/server.crt"
{
  echo "ssl = on"
  echo "ssl_cert_file = '$data/server.crt'"
  echo "ssl_key_file = '$data/server.key'"
} >> "$conf/postgresql.conf"
restart

port=$PGPORT
# The status bar leaves out the default port.
where=localhost
[ "$PGPORT" = 5432 ] || where="localhost:$PGPORT"
cat > "$w/verified.replay" <<EOF
type 1000 qelvo
press 1
expect-dialog main
expect-status サーバー $where/vora_tls に接続しています（暗号化あり）
expect-rows 5
press 106
press 2
EOF
mkdir -p "$w/ws"
(cd "$w/ws" && timeout 60 "$VORA" \
  --server="host=localhost port=$port dbname=vora_tls sslmode=verify-full sslrootcert=$w/ca.crt" \
  --replay "$w/verified.replay" > "$w/out.txt" 2>&1) || fail "verify-full with the right CA: $(cat "$w/out.txt")"

status=$(says start-refused "host=localhost port=$port dbname=vora_tls sslmode=verify-full sslrootcert=$w/other.crt" \
  "サーバーの証明書を確かめられません")
[ "$status" = 1 ] || fail "a wrong CA: status $status"
status=$(says start-refused "host=127.0.0.1 port=$port dbname=vora_tls sslmode=verify-full sslrootcert=$w/ca.crt" \
  "サーバーの証明書の名前「localhost」が接続先の名前と合いません")
[ "$status" = 1 ] || fail "a certificate of another name: status $status"
status=$(says start-refused "host=localhost port=$port dbname=vora_tls sslmode=verify-full sslrootcert=$w/missing.crt" \
  "認証局の証明書ファイル")
[ "$status" = 1 ] || fail "a CA file that is not there: status $status"
echo "server_tls.sh: all passed"
