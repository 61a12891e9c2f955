#!/usr/bin/env bash
# Takes docs/process_form.png: the process form against the sandbox server of ./run --sandbox
# (started here, with its sample data, and stopped afterwards), after its chart has run for a
# while, on a virtual display (xvfb-run) with ImageMagick's import.
#
#   tools/process_form_screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
OUTPUT=${1:-docs/process_form.png}
SECONDS_SHOWN=${SECONDS_SHOWN:-60}

# shellcheck source=scripts/private_server.sh
source scripts/private_server.sh
cmake --build build --target dbk_process_form_shot

SANDBOX_DIR=$(pwd -P)/build/sandbox
trap 'private_server_stop "$SANDBOX_DIR" || true' EXIT
private_server_start "$SANDBOX_DIR"
if [[ -z $(private_server_sql "SHOW DATABASES LIKE 'shop'" --skip-column-names) ]]; then
    private_server_sql <scripts/sandbox.sql
fi

mkdir -p "$(dirname "$OUTPUT")"
export OUTPUT SECONDS_SHOWN PRIVATE_SERVER_PORT
# A black root window (-br) is trimmed off, leaving the form.
xvfb-run --auto-servernum --server-args="-screen 0 1000x760x24 -br" bash -c '
    DBKEEPER_LANG=ja build/tools/dbk_process_form_shot 127.0.0.1 "$PRIVATE_SERVER_PORT" sandbox_admin sandbox \
        "$((SECONDS_SHOWN + 5))" &
    shot=$!
    sleep "$SECONDS_SHOWN"
    import -window root -trim +repage "$OUTPUT"
    wait "$shot"
'
echo "wrote $OUTPUT"
