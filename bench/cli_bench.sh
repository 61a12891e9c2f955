#!/usr/bin/env bash
# Measures dbkeeper-cli beside the client tools on the same table of a private MariaDB server of
# its own (data in BUILD_DIR/benchdb-cli, kept between runs so that the table is generated once):
#
#   export  dbkeeper-cli export (UTF-8 and Shift_JIS)  | mariadb --batch
#   import  dbkeeper-cli import (as is, and converted) | mariadb with LOAD DATA LOCAL
#   dump    dbkeeper-cli dump                          | mariadb-dump
#   copy    dbkeeper-cli copy within the server        | mariadb with INSERT ... SELECT
#
#   bench/cli_bench.sh [ROWS] [ROUNDS]           build folder "build" (1,000,000 rows, 3 rounds)
#   DBK_BUILD_DIR=build-other bench/cli_bench.sh  another build folder
#
# Each side is one process started from here, its connection in its time; the side that runs
# first alternates. The results are checked every round (line counts of the files, the checksums
# of the tables); a difference stops the benchmark. It prints measurements; it is not a test.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$(pwd -P)
# shellcheck source=../scripts/private_server.sh
source scripts/private_server.sh

ROWS=${1:-1000000}
ROUNDS=${2:-3}
BUILD_DIR=${DBK_BUILD_DIR:-build}
if [[ ! -f $BUILD_DIR/build.ninja ]]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja
fi
cmake --build "$BUILD_DIR" --target dbkeeper-cli
CLI=$ROOT/$BUILD_DIR/cli/dbkeeper-cli

BENCH_DB=$ROOT/$BUILD_DIR/benchdb-cli
WORK=$(mktemp -d)
finish() {
    local status=$?
    trap - EXIT INT TERM
    private_server_stop "$BENCH_DB" || true
    rm -rf "$WORK"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
private_server_start "$BENCH_DB"
private_server_sql "
CREATE USER IF NOT EXISTS 'dbk_bench'@'%' IDENTIFIED BY 'bench-pw';
GRANT ALL PRIVILEGES ON *.* TO 'dbk_bench'@'%' WITH GRANT OPTION;"

export MYSQL_PWD=bench-pw
SERVER=(--host 127.0.0.1 --port "$PRIVATE_SERVER_PORT" --user dbk_bench)
CLIENT=(-h 127.0.0.1 -P "$PRIVATE_SERVER_PORT" -u dbk_bench)
sql() { mariadb "${CLIENT[@]}" --batch --skip-column-names -e "$1"; }

# A third of the rows hold Japanese text; no NULL (the export writes it as text) and no line
# break, so that a file has one line per row.
if [[ $(sql "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='benchcli' AND TABLE_NAME='t'") != 1 ||
      $(sql "SELECT COUNT(*) FROM benchcli.t") != "$ROWS" ]]; then
    echo "generating $ROWS rows" >&2
    sql "DROP DATABASE IF EXISTS benchcli; CREATE DATABASE benchcli CHARACTER SET utf8mb4;
         CREATE TABLE benchcli.t (id INT PRIMARY KEY, a VARCHAR(60), n DECIMAL(12,3), d DATETIME, b TEXT)
           ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
         INSERT INTO benchcli.t SELECT seq,
           IF(seq % 3 = 0, CONCAT(CONVERT(0xE697A5E69CACE8AA9EE38386E382ADE382B9E38388 USING utf8mb4), seq),
              CONCAT('row \"', seq, '\", plain')),
           seq / 7, '2024-01-01' + INTERVAL seq SECOND, REPEAT('x', seq % 50)
           FROM benchcli.seq_1_to_$ROWS"
fi
SUM=$(sql "CHECKSUM TABLE benchcli.t" | cut -f2)

# The seconds one command takes.
timed() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
differ() {
    echo "DIFFERENT RESULTS: $*" >&2
    exit 2
}
lines() { wc -l <"$1" | tr -d ' '; }
same_table() {
    [[ $(sql "CHECKSUM TABLE $1" | cut -f2) == "$SUM" ]] || differ "$1 is not the table benchcli.t"
}

declare -A TIMES
add() { TIMES[$1]="${TIMES[$1]:-} $2"; }

cli_export_utf8() { "$CLI" export "${SERVER[@]}" --database benchcli --table t --encoding utf8 --output "$WORK/cli.csv" --quiet; }
cli_export_sjis() { "$CLI" export "${SERVER[@]}" --database benchcli --table t --output "$WORK/cli_sjis.csv" --quiet; }
client_export() { mariadb "${CLIENT[@]}" --batch --skip-column-names -e "SELECT * FROM benchcli.t" >"$WORK/client.tsv"; }
cli_import() {
    sql "TRUNCATE benchcli.cli_in"
    "$CLI" import "${SERVER[@]}" --database benchcli --table cli_in --file "$WORK/cli.csv" --no-convert --quiet
}
cli_import_converted() {
    sql "TRUNCATE benchcli.cli_in"
    "$CLI" import "${SERVER[@]}" --database benchcli --table cli_in --file "$WORK/cli_sjis.csv" --quiet
}
client_import() {
    sql "TRUNCATE benchcli.client_in"
    mariadb "${CLIENT[@]}" --local-infile=1 -e "LOAD DATA LOCAL INFILE '$WORK/cli.csv' INTO TABLE benchcli.client_in
        CHARACTER SET utf8mb4 FIELDS TERMINATED BY ',' ENCLOSED BY '\"'"
}
cli_dump() { "$CLI" dump "${SERVER[@]}" --database benchcli --table t --output "$WORK/cli.sql" --quiet; }
client_dump() { mariadb-dump "${CLIENT[@]}" --single-transaction benchcli t >"$WORK/client.sql"; }
cli_copy() {
    sql "DROP TABLE IF EXISTS benchcli.cli_copy"
    "$CLI" copy "${SERVER[@]}" --database benchcli --table t --to-database benchcli --to-table cli_copy \
        --log "$WORK/rep_table.log" --quiet
}
client_copy() {
    sql "DROP TABLE IF EXISTS benchcli.client_copy; CREATE TABLE benchcli.client_copy LIKE benchcli.t;
         INSERT INTO benchcli.client_copy SELECT * FROM benchcli.t"
}
sql "CREATE TABLE IF NOT EXISTS benchcli.cli_in LIKE benchcli.t; CREATE TABLE IF NOT EXISTS benchcli.client_in LIKE benchcli.t"

echo "load before: $(cat /proc/loadavg)"
for round in $(seq 1 "$ROUNDS"); do
    # Which side runs first alternates from round to round.
    for pair in "export:cli_export_utf8:client_export" "export_sjis:cli_export_sjis:" \
        "import:cli_import:client_import" "import_converted:cli_import_converted:" \
        "dump:cli_dump:client_dump" "copy:cli_copy:client_copy"; do
        IFS=: read -r job ours theirs <<<"$pair"
        if [[ -n $theirs && $((round % 2)) -eq 0 ]]; then
            add "$job.client" "$(timed "$theirs")"
            add "$job.cli" "$(timed "$ours")"
        else
            add "$job.cli" "$(timed "$ours")"
            [[ -n $theirs ]] && add "$job.client" "$(timed "$theirs")"
        fi
        case $job in
            export) [[ $(lines "$WORK/cli.csv") == "$ROWS" && $(lines "$WORK/client.tsv") == "$ROWS" ]] ||
                differ "export: $(lines "$WORK/cli.csv") / $(lines "$WORK/client.tsv") lines for $ROWS rows" ;;
            export_sjis) [[ $(lines "$WORK/cli_sjis.csv") == "$ROWS" ]] || differ "Shift_JIS export lines" ;;
            import) same_table benchcli.cli_in; same_table benchcli.client_in ;;
            import_converted) same_table benchcli.cli_in ;;
            dump) [[ $(grep -c '^INSERT' "$WORK/cli.sql") == "$ROWS" ]] || differ "dump: INSERT lines" ;;
            copy) same_table benchcli.cli_copy; same_table benchcli.client_copy ;;
        esac
    done
done
echo "load after: $(cat /proc/loadavg)"

stats() {
    tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n |
        awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                                  printf "best %.2f s, median %.2f s", v[1], m }'
}
echo "$ROWS rows, $ROUNDS rounds (seconds, each side a process of its own with its connection)"
for job in export export_sjis import import_converted dump copy; do
    line="$job: dbkeeper-cli $(stats "${TIMES[$job.cli]}")"
    if [[ -n ${TIMES[$job.client]:-} ]]; then
        line+="; client tool $(stats "${TIMES[$job.client]}")"
    fi
    echo "$line"
done
