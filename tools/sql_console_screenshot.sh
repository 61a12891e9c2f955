#!/usr/bin/env bash
# Takes docs/sql_console.png: the SQL console on the sandbox server of ./run --sandbox (started
# here, with its sample data, and stopped afterwards), a coloured statement run and a second one
# being typed with its completion list open, on a virtual display (xvfb-run) with ImageMagick's
# import.
#
#   tools/sql_console_screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
OUTPUT=$(realpath -m "${1:-docs/sql_console.png}")
ROOT=$(pwd -P)

# shellcheck source=scripts/private_server.sh
source scripts/private_server.sh
cmake --build build --target dbk_sql_console_shot

SANDBOX_DIR=$(pwd -P)/build/sandbox
# The console keeps its history in the directory it starts in: a scratch one, not the source tree.
SHOT_DIR=$(mktemp -d)
trap 'private_server_stop "$SANDBOX_DIR" || true; rm -rf "$SHOT_DIR"' EXIT
private_server_start "$SANDBOX_DIR"
if [[ -z $(private_server_sql "SHOW DATABASES LIKE 'shop'" --skip-column-names) ]]; then
    private_server_sql <scripts/sandbox.sql
fi

mkdir -p "$(dirname "$OUTPUT")"
export OUTPUT PRIVATE_SERVER_PORT ROOT SHOT_DIR
# A black root window (-br) is trimmed off, leaving the form and its list.
xvfb-run --auto-servernum --server-args="-screen 0 1200x800x24 -br" bash -c '
    cd "$SHOT_DIR"
    DBKEEPER_LANG=ja "$ROOT/build/tools/dbk_sql_console_shot" 127.0.0.1 "$PRIVATE_SERVER_PORT" sandbox_admin sandbox 8 &
    shot=$!
    sleep 5
    import -window root -trim +repage "$OUTPUT"
    wait "$shot"
'
echo "wrote $OUTPUT"
