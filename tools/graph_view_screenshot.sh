#!/usr/bin/env bash
# Takes docs/graph_server.png and docs/graph_database.png: the main window with the picture
# pane showing the server page and the page of the database shop, against the sandbox server
# of ./run --sandbox (started here, with its sample data, and stopped afterwards), on a
# virtual display (xvfb-run).
#
#   tools/graph_view_screenshot.sh [SERVER.png DATABASE.png]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
SERVER_SHOT=${1:-docs/graph_server.png}
DATABASE_SHOT=${2:-docs/graph_database.png}

# shellcheck source=scripts/private_server.sh
source scripts/private_server.sh
cmake --build build --target dbk_graph_view_shot

SANDBOX_DIR=$(pwd -P)/build/sandbox
trap 'private_server_stop "$SANDBOX_DIR" || true' EXIT
private_server_start "$SANDBOX_DIR"
if [[ -z $(private_server_sql "SHOW DATABASES LIKE 'shop'" --skip-column-names) ]]; then
    private_server_sql <scripts/sandbox.sql
fi

mkdir -p "$(dirname "$SERVER_SHOT")" "$(dirname "$DATABASE_SHOT")"
xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" \
    env DBKEEPER_LANG="${DBKEEPER_LANG:-ja}" build/tools/dbk_graph_view_shot 127.0.0.1 "$PRIVATE_SERVER_PORT" \
    sandbox_admin sandbox "$SERVER_SHOT" "$DATABASE_SHOT"
echo "wrote $SERVER_SHOT and $DATABASE_SHOT"
