# shellcheck shell=bash
# Throwaway PostgreSQL cluster with the cmg290 extension, for the regression
# tests and the benchmark. Sourced by bash scripts; needs PG_CONFIG, CMAKE and
# BUILD_DIR (a build tree in which the extension is built).
#
# The system server is not touched. The extension is installed into a
# private copy of the server instead: the postgres, initdb and pg_ctl
# programs are copied under $CLUSTER_TMP/install with the same directory
# layout (the server finds its share and library directories relative to
# its own program file), the extension's files go beside them through
# `cmake --install --component cmg290_pg` with DESTDIR, and every other
# file of the server's share and library directories is linked in.
#
# initdb and the server refuse to run as root. Run as root (as CI does),
# they run as the user named by CMG290_PG_USER, default "nobody"; the
# clients (psql, pg_regress) run as the caller. The server listens on a
# Unix socket in the temporary folder only, never on TCP.
#
#   cluster_start [SETTING...]   create and start; settings are extra
#                                postgresql.conf lines
#   cluster_stop                 stop the server and remove the folder
#                                (kept when CMG290_PG_KEEP=1)
# After cluster_start, PGHOST, PGPORT and PGUSER point the clients at it.

CLUSTER_TMP=""

cluster_as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "${CMG290_PG_USER:-nobody}" -- "$@"
  else
    "$@"
  fi
}

# Links every entry of directory $1 that $2 lacks; descends into
# directories present in both.
cluster_link_missing() {
  local from=$1 to=$2 entry name
  for entry in "$from"/*; do
    name=${entry##*/}
    if [ ! -e "$to/$name" ] && [ ! -L "$to/$name" ]; then
      ln -s "$entry" "$to/$name"
    elif [ -d "$entry" ] && [ -d "$to/$name" ] && [ ! -L "$to/$name" ]; then
      cluster_link_missing "$entry" "$to/$name"
    fi
  done
}

cluster_start() {
  local bindir sharedir pkglibdir stage run program
  bindir=$("$PG_CONFIG" --bindir)
  sharedir=$("$PG_CONFIG" --sharedir)
  pkglibdir=$("$PG_CONFIG" --pkglibdir)

  # The server user must reach everything under the folder: as root, the
  # folder goes into /tmp whatever TMPDIR says.
  local base=${TMPDIR:-/tmp}
  if [ "$(id -u)" -eq 0 ]; then base=/tmp; fi
  umask 022
  CLUSTER_TMP=$(mktemp -d "$base/cmg290-pg.XXXXXX")
  chmod 755 "$CLUSTER_TMP"
  # The port only names the socket file; a port of its own per cluster keeps
  # concurrent clusters from probing each other's shared memory keys.
  CLUSTER_PORT=$((20000 + RANDOM % 20000))
  stage=$CLUSTER_TMP/install
  run=$CLUSTER_TMP/run

  DESTDIR=$stage "$CMAKE" --install "$BUILD_DIR" --component cmg290_pg >/dev/null
  # The component writes the server's folders and its own documents' folder,
  # as docs/postgresql.md says, and nothing else.
  local stray
  stray=$(cd "$stage" && find . -type f | sed 's/^\.//' |
    grep -v -e "^$pkglibdir/" -e "^$sharedir/extension/" -e "/share/doc/postgresql-15-cmg290/" ||
    true)
  if [ -n "$stray" ]; then
    echo "cluster: the cmg290_pg component also installs: $stray" >&2
    return 1
  fi
  mkdir -p "$stage$bindir" "$stage$sharedir" "$stage$pkglibdir"
  for program in postgres initdb pg_ctl pg_config; do
    cp "$bindir/$program" "$stage$bindir/"
  done
  cluster_link_missing "$sharedir" "$stage$sharedir"
  cluster_link_missing "$pkglibdir" "$stage$pkglibdir"
  if [ "$("$stage$bindir/pg_config" --sharedir)" != "$stage$sharedir" ]; then
    echo "cluster: the copied server does not find its files under $stage" >&2
    return 1
  fi
  CLUSTER_BIN=$stage$bindir

  mkdir -p "$run"
  if [ "$(id -u)" -eq 0 ]; then chown "${CMG290_PG_USER:-nobody}" "$run"; fi
  cluster_as_server_user "$CLUSTER_BIN/initdb" -D "$run/data" -U cmg290 -A trust -E UTF8 \
    --no-locale --no-sync >"$CLUSTER_TMP/initdb.log" 2>&1 || {
    cat "$CLUSTER_TMP/initdb.log" >&2
    return 1
  }
  cluster_as_server_user mkdir "$run/socket"
  {
    echo "listen_addresses = ''"
    echo "unix_socket_directories = '$run/socket'"
    echo "port = $CLUSTER_PORT"
    echo "fsync = off"
    local setting
    for setting in "$@"; do echo "$setting"; done
  } | cluster_as_server_user tee -a "$run/data/postgresql.conf" >/dev/null
  if ! cluster_as_server_user "$CLUSTER_BIN/pg_ctl" -D "$run/data" -l "$run/server.log" -w -t 60 \
    start >/dev/null; then
    cat "$run/server.log" >&2
    return 1
  fi

  export PGHOST=$run/socket PGPORT=$CLUSTER_PORT PGUSER=cmg290
  unset PGDATABASE PGSERVICE PGPASSWORD
}

cluster_stop() {
  [ -n "$CLUSTER_TMP" ] || return 0
  local run=$CLUSTER_TMP/run
  if [ -f "$run/data/postmaster.pid" ]; then
    cluster_as_server_user "$CLUSTER_BIN/pg_ctl" -D "$run/data" -m fast -w -t 60 stop >/dev/null ||
      cluster_as_server_user "$CLUSTER_BIN/pg_ctl" -D "$run/data" -m immediate -w stop >/dev/null
  fi
  if [ "${CMG290_PG_KEEP:-0}" = 1 ]; then
    echo "cluster: kept $CLUSTER_TMP" >&2
  else
    rm -rf "$CLUSTER_TMP"
  fi
  CLUSTER_TMP=""
}
