#!/usr/bin/env bash
# A shared demo server: sets up and builds (scripts/setup.sh, which installs
# PostgreSQL 15, orafce and Qt's QPSQL driver when they are missing), makes a
# private PostgreSQL cluster in a folder (owned by the user "postgres" when run
# as root; its socket in the folder, and localhost on a free port kept for the
# next start), installs the demo scheme there or upgrades the one there in
# place, names it as the server alias ZANDRELL_PG in the installation's
# Servers.ini and starts the console on it. Extra arguments go to the console.
#
#   --server-only   do all that but start no console; prints the alias
#   --stop          stop the server
#   --dist DIR      the installation folder whose Servers.ini gets the alias (default build/dist)
#   --folder DIR    the server's folder (default build/pg-server)
#
# Every demo account logs in with the password demo (ZL_USER, OPERATOR, NEWBIE; LOCKED may not).
set -euo pipefail
cd "$(dirname "$0")/.."

dist=build/dist
folder=build/pg-server
mode=console
console_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --server-only) mode=server; shift ;;
    --stop) mode=stop; shift ;;
    --dist) dist="${2:?--dist needs a folder}"; shift 2 ;;
    --folder) folder="${2:?--folder needs a folder}"; shift 2 ;;
    *) console_args+=("$1"); shift ;;
  esac
done
folder="$(realpath -m "$folder")"

if [ "$mode" = stop ]; then
  if [ -x build/tools/zpgbuild ]; then
    build/tools/zpgbuild stop "$folder"
  fi
  exit 0
fi

bash scripts/setup.sh >&2
mkdir -p "$dist"
# The server runs as "postgres" when this runs as root: it must reach the folder.
if [ "$(id -u)" -eq 0 ] && ! runuser -u postgres -- test -x "$(dirname "$folder")"; then
  echo "run-server.sh: the user postgres cannot reach $(dirname "$folder"); choose another place with --folder" >&2
  exit 1
fi
alias_name=$(build/tools/zpgbuild serve "$folder" Scheme/postgres "$dist/Servers.ini" ZANDRELL_PG)
if [ "$mode" = server ]; then
  echo "$alias_name"
  exit 0
fi
cd "$dist"
exec ./KorConsole "/server=$alias_name" "${console_args[@]}"
