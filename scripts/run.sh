#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then starts the console from the
# installation folder on the embedded demo database. Extra arguments go to the console.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cd build/dist
exec ./KorConsole "$@"
