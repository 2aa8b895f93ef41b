#!/usr/bin/env bash
# Starts or stops a throwaway PostgreSQL server for the test run.
#   pg_server.sh start DIR   initdb into DIR/data, socket in DIR, writes DIR/url
#   pg_server.sh stop DIR    stops it and removes DIR
#   pg_server.sh crash DIR   stops it at once (-m immediate) and keeps DIR
# PostgreSQL refuses to run as root, so as root the server runs as "postgres".
set -euo pipefail
action=$1
dir=$2
bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$bindir" ] || { echo "pg_server.sh: no PostgreSQL server installed" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$action" in
  start)
    if [ -f "$dir/url" ] && as_owner "$bindir/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
      exit 0
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    chmod 755 "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres "$dir"; fi
    port=$(( 20000 + ($$ % 20000) ))
    as_owner "$bindir/initdb" -D "$dir/data" -A trust -U postgres --no-sync >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; exit 1; }
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-k $dir -p $port -c listen_addresses='' -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    as_owner "$bindir/createdb" -h "$dir" -p "$port" -U postgres mmltest
    echo "postgresql:///mmltest?host=$dir&port=$port&user=postgres" >"$dir/url"
    chmod 644 "$dir/url"
    ;;
  stop)
    if [ -d "$dir/data" ]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  crash)
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null
    ;;
  *)
    echo "usage: pg_server.sh start|stop|crash DIR" >&2
    exit 2
    ;;
esac
