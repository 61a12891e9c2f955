#!/usr/bin/env bash
# Runs an INSERT script (100,000 statements by default) through the script form and through the
# command-line client on the same private server, several rounds each, and prints the median
# times, their ratio and the program's peak memory.
#
#   DBK_BUILD_DIR=build-x bench/script_run_bench.sh [STATEMENTS] [ROUNDS]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$(pwd -P)
BUILD_DIR=${DBK_BUILD_DIR:-build}
STATEMENTS=${1:-100000}
ROUNDS=${2:-3}

# shellcheck source=scripts/private_server.sh
source scripts/private_server.sh

cmake --build "$BUILD_DIR" --target script_run_bench >/dev/null
BENCH=$ROOT/$BUILD_DIR/bench/script_run_bench
WORK=$ROOT/$BUILD_DIR/bench-script
SERVER=$WORK/server
SCRIPT=$WORK/inserts.sql
mkdir -p "$WORK"

finish() {
    local status=$?
    trap - EXIT INT TERM
    private_server_stop "$SERVER" || true
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

private_server_stop "$SERVER"
rm -rf "$SERVER"
private_server_start "$SERVER"
# Without a disk flush per commit the server's share shrinks and the clients' own costs show.
# DBK_BENCH_FLUSH=1 keeps the server's default (a flush per statement).
if [[ ${DBK_BENCH_FLUSH:-0} != 1 ]]; then
    private_server_sql "SET GLOBAL innodb_flush_log_at_trx_commit = 2"
fi

# One INSERT a line, Shift_JIS text ("表示", whose first character ends in 0x5C) in every row.
python3 - "$STATEMENTS" "$SCRIPT" <<'EOF'
import sys
count, path = int(sys.argv[1]), sys.argv[2]
with open(path, "wb") as f:
    for i in range(1, count + 1):
        f.write(b"INSERT INTO bench_rows VALUES (%d, 'name %d', '\x95\x5c\x8e\xa6 %d');\n" % (i, i, i))
EOF
echo "script: $STATEMENTS statements, $(stat -c %s "$SCRIPT") bytes"

reset_table() {
    private_server_sql "CREATE DATABASE IF NOT EXISTS bench_script CHARACTER SET utf8mb4;
        DROP TABLE IF EXISTS bench_script.bench_rows;
        CREATE TABLE bench_script.bench_rows (id INT PRIMARY KEY, name VARCHAR(40), note VARCHAR(40));"
}

# Both sides must leave the same rows in every round: the count, and the checksum of the
# client's table (the rows' values byte for byte).
expected_checksum=
check_rows() {
    local rows checksum
    rows=$(private_server_sql "SELECT COUNT(*) FROM bench_script.bench_rows" -N)
    if [[ $rows != "$STATEMENTS" ]]; then
        echo "DIFFERENT RESULTS: $1 left $rows rows instead of $STATEMENTS" >&2
        exit 2
    fi
    checksum=$(private_server_sql "CHECKSUM TABLE bench_script.bench_rows" -N | cut -f2)
    if [[ -z $expected_checksum ]]; then
        expected_checksum=$checksum
    elif [[ $checksum != "$expected_checksum" ]]; then
        echo "DIFFERENT RESULTS: $1 left other rows (checksum $checksum, expected $expected_checksum)" >&2
        exit 2
    fi
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

client_times=()
program_times=()
program_rss=()
for round in $(seq 1 "$ROUNDS"); do
    reset_table
    start=$(date +%s.%N)
    mariadb --no-defaults "--socket=$PRIVATE_SERVER_SOCKET" -uroot --default-character-set=cp932 bench_script \
        <"$SCRIPT"
    end=$(date +%s.%N)
    check_rows client
    client_times+=("$(echo "$end - $start" | bc -l)")

    reset_table
    start=$(date +%s.%N)
    out=$("$BENCH" --socket "$PRIVATE_SERVER_SOCKET" --user root --database bench_script --file "$SCRIPT")
    end=$(date +%s.%N)
    check_rows program
    program_times+=("$(echo "$end - $start" | bc -l)")
    program_rss+=("$(sed -n 's/.*peak_rss_kb=\([0-9]*\).*/\1/p' <<<"$out")")
    printf 'round %d: client %.2f s, program %.2f s (%s)\n' "$round" "${client_times[-1]}" \
        "${program_times[-1]}" "$out"
done

client=$(printf '%s\n' "${client_times[@]}" | median)
program=$(printf '%s\n' "${program_times[@]}" | median)
rss=$(printf '%s\n' "${program_rss[@]}" | sort -n | tail -1)
printf 'median: client %.2f s, program %.2f s, ratio %.3f, program peak memory %d KiB\n' \
    "$client" "$program" "$(echo "$program / $client" | bc -l)" "$rss"
