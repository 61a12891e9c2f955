#!/usr/bin/env bash
# Measures the CSV import against nkf and the command-line client on a private MariaDB server of
# its own (data in BUILD_DIR/benchdb-import).
#
#   bench/csv_import.sh [ROWS] [ROUNDS]           build folder "build" (1,000,000 rows, 5 rounds)
#   DBK_BUILD_DIR=build-other bench/csv_import.sh another build folder
#
# It prints measurements; it is not a pass/fail test.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$(pwd -P)
# shellcheck source=../scripts/private_server.sh
source scripts/private_server.sh

BUILD_DIR=${DBK_BUILD_DIR:-build}
if [[ ! -f $BUILD_DIR/build.ninja ]]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja
fi
cmake --build "$BUILD_DIR" --target csv_import_bench

BENCH_DB=$ROOT/$BUILD_DIR/benchdb-import
finish() {
    local status=$?
    trap - EXIT INT TERM
    private_server_stop "$BENCH_DB" || true
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
private_server_start "$BENCH_DB"
private_server_sql "
CREATE USER IF NOT EXISTS 'dbk_bench'@'%' IDENTIFIED BY 'bench-pw';
GRANT ALL PRIVILEGES ON *.* TO 'dbk_bench'@'%' WITH GRANT OPTION;"

export DBKEEPER_TEST_HOST=127.0.0.1
export DBKEEPER_TEST_PORT=$PRIVATE_SERVER_PORT
export DBKEEPER_TEST_USER=dbk_bench
export DBKEEPER_TEST_PASSWORD=bench-pw
"$BUILD_DIR/bench/csv_import_bench" "$@"
