#!/usr/bin/env bash
# Throwaway PostgreSQL server for the tests: initdb into a temporary folder, listen on
# 127.0.0.1 only, run as the unprivileged postgres user.
#   scripts/pg-server.sh start   -> prints the connection URI on stdout
#   scripts/pg-server.sh stop DIR
# The server's folder is written to $KELVO_PG_LAST (default /tmp/kelvo-pg-last) for `stop`.
set -euo pipefail
PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}

as_postgres() {
  if [ "$(id -un)" = postgres ]; then "$@"; else runuser -u postgres -- "$@"; fi
}

case "${1:-}" in
start)
  dir=$(mktemp -d /tmp/kelvo-pg.XXXXXX)
  chown postgres "$dir" 2>/dev/null || true
  port=$(( 20000 + RANDOM % 20000 ))
  as_postgres "$PGBIN/initdb" -D "$dir/data" -U postgres -A trust --no-sync >"$dir/initdb.log" 2>&1
  as_postgres "$PGBIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c max_connections=200" start >/dev/null
  echo "$dir" >"${KELVO_PG_LAST:-/tmp/kelvo-pg-last}"
  echo "postgresql://postgres@127.0.0.1:$port/postgres"
  ;;
stop)
  dir=${2:-$(cat /tmp/kelvo-pg-last 2>/dev/null || true)}
  [ -n "$dir" ] && [ -d "$dir/data" ] || exit 0
  as_postgres "$PGBIN/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start | stop [DIR]" >&2; exit 2 ;;
esac
