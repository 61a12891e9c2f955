# shellcheck shell=bash
# A disposable MariaDB server for tests and the sandbox. Source this file from bash:
#
#   source scripts/private_server.sh
#   private_server_start DIR [ID [OPTION...]]
#                                  # data in DIR/data (initialised once), logs and state beside it;
#                                  # ID is the server id (default 1; a second server needs another);
#                                  # OPTIONs go to the server as they are (--ssl-cert=..., ...)
#   private_server_sql "SELECT 1"  # runs SQL as root through the Unix socket
#   private_server_stop          # or, from any shell: private_server_stop DIR
#
# After a start, PRIVATE_SERVER_PORT (a TCP port on 127.0.0.1), PRIVATE_SERVER_SOCKET,
# PRIVATE_SERVER_PID and PRIVATE_SERVER_DIR are set and exported, and the same values are
# written to DIR/server.env as shell assignments. A program that is not a shell starts and
# stops a server of its own like this, and reads DIR/server.env in between:
#
#   bash -c 'source "$DBKEEPER_TEST_SCRIPTS/private_server.sh" && private_server_start "$0"' DIR
#   bash -c 'source "$DBKEEPER_TEST_SCRIPTS/private_server.sh" && private_server_stop "$0"' DIR
#
# Standard output stays empty; progress and errors go to standard error. The server listens
# on 127.0.0.1 only, and its root account has no password.
#
# Call private_server_start directly, not inside $( ... ): the variables would be lost.
# Two servers start side by side when each start runs in a background subshell; the caller
# waits for both and then sources each DIR/server.env. private_server_stop DIR also stops a
# server whose start was cut short (it finds the process by its data directory).

# Give up waiting for a server after this many seconds.
PRIVATE_SERVER_TIMEOUT=${PRIVATE_SERVER_TIMEOUT:-60}
# How many ports are tried when the one picked is taken between the check and the bind.
PRIVATE_SERVER_PORT_ATTEMPTS=${PRIVATE_SERVER_PORT_ATTEMPTS:-5}

_private_server_log() {
    printf 'private_server: %s\n' "$*" >&2
}

# mariadbd refuses to run as root unless told to.
_private_server_user_args() {
    if [[ $(id -u) -eq 0 ]]; then
        printf '%s\n' --user=root
    fi
}

# True when something accepts connections on 127.0.0.1:$1.
_private_server_port_busy() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Prints a port on 127.0.0.1 where nothing listens, picked at random below the kernel's
# range for outgoing connections.
_private_server_free_port() {
    local port attempt
    for attempt in $(seq 1 200); do
        port=$((20000 + RANDOM % 12000))
        if ! _private_server_port_busy "$port"; then
            printf '%s\n' "$port"
            return 0
        fi
    done
    _private_server_log "no free TCP port found on 127.0.0.1"
    return 1
}

# True while process $1 exists and has not exited (a zombie counts as gone).
_private_server_alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [[ -n $state && $state != Z* ]]
}

_private_server_log_tail() {
    local log=$1
    if [[ -f $log ]]; then
        _private_server_log "last lines of $log:"
        tail -n 30 "$log" >&2
    fi
}

# Creates the system tables in $1 unless that was done before; $3 is the server's own folder
# for temporary files.
_private_server_install() {
    local datadir=$1 log=$2 tmpdir=$3
    if [[ -d $datadir/mysql ]]; then
        return 0
    fi
    rm -rf "$datadir"
    mkdir -p "$datadir"
    _private_server_log "initialising $datadir"
    local -a args=(--no-defaults "--datadir=$datadir" "--tmpdir=$tmpdir" --auth-root-authentication-method=normal
                   --skip-test-db --skip-name-resolve)
    mapfile -t -O "${#args[@]}" args < <(_private_server_user_args)
    if ! mariadb-install-db "${args[@]}" >>"$log" 2>&1; then
        _private_server_log "mariadb-install-db failed"
        _private_server_log_tail "$log"
        rm -rf "$datadir"
        return 1
    fi
}

# True when process $1 is a server running on the data directory under $2.
_private_server_is_ours() {
    _private_server_alive "$1" &&
        tr '\0' '\n' <"/proc/$1/cmdline" 2>/dev/null | grep -qxF -- "--datadir=$2/data"
}

# Waits until process $1 is gone; kills it when it takes longer than the time-out. With the
# server's socket as $2, it is asked to shut down again every few seconds: a server that
# was told to stop while still starting up may not have heard it, and answers only later.
_private_server_wait_gone() {
    local pid=$1 sock=${2:-} waited
    for ((waited = 1; waited <= PRIVATE_SERVER_TIMEOUT * 4; waited++)); do
        _private_server_alive "$pid" || break
        if [[ -n $sock ]] && ((waited % 8 == 0)); then
            _private_server_shutdown "$sock" || true
        fi
        sleep 0.25
    done
    if _private_server_alive "$pid"; then
        _private_server_log "server $pid did not stop, killing it"
        kill -KILL "$pid" 2>/dev/null || true
    fi
    # Reaps the process when this shell started it; harmless otherwise.
    wait "$pid" 2>/dev/null || true
}

_private_server_shutdown() {
    mariadb-admin --no-defaults --connect-timeout=5 "--socket=$1" -uroot shutdown >/dev/null 2>&1
}

_private_server_ping() {
    mariadb-admin --no-defaults --connect-timeout=2 "--socket=$1" -uroot ping >/dev/null 2>&1
}

# The process id and socket of a server running on the data directory under $1, one a line:
# a start that was interrupted may have left one before it wrote its state.
_private_server_find() {
    local proc arg pid sock
    local -a args
    for proc in /proc/[0-9]*; do
        # Read in the shell: a command per process would make this slow.
        mapfile -d '' -t args 2>/dev/null <"$proc/cmdline" || continue
        pid='' sock=''
        for arg in "${args[@]}"; do
            case $arg in
                "--datadir=$1/data") pid=${proc#/proc/} ;;
                --socket=*) sock=${arg#--socket=} ;;
            esac
        done
        if [[ -n $pid ]] && _private_server_alive "$pid"; then
            printf '%s\n' "$pid" "$sock"
            return 0
        fi
    done
    return 1
}

# private_server_start DIR [ID [OPTION...]]: initialises DIR/data if needed and starts a server
# on it, with server id ID (default 1) and the further server options given.
private_server_start() {
    if [[ $# -lt 1 || -z $1 || ! ${2:-1} =~ ^[1-9][0-9]*$ ]]; then
        _private_server_log "usage: private_server_start DATADIR_PARENT [SERVER_ID [OPTION...]]"
        return 2
    fi
    local server_id=${2:-1}
    local -a extra_args=("${@:3}")
    local dir
    mkdir -p "$1"
    dir=$(cd "$1" && pwd -P)
    local datadir=$dir/data log=$dir/error.log pidfile=$dir/mariadbd.pid
    # A server starting up deletes every "#sql" temporary file in its temporary folder: in a
    # shared /tmp it would take the tables of another server that is being initialised.
    local tmpdir=$dir/tmp
    mkdir -p "$tmpdir"

    # Two servers cannot share a data directory: one that an earlier run left behind (it
    # was killed before it could stop its server) goes first.
    if [[ -f $dir/server.env || -f $dir/mariadbd.pid ]]; then
        private_server_stop "$dir"
    fi
    _private_server_install "$datadir" "$log" "$tmpdir" || return 1

    # The socket path must stay under about 100 bytes, so it lives in a short directory.
    local sockdir sock
    sockdir=$(mktemp -d /tmp/dbk-srv.XXXXXX)
    sock=$sockdir/mariadbd.sock

    local -a user_args
    mapfile -t user_args < <(_private_server_user_args)

    local attempt port pid log_start waited
    for ((attempt = 1; attempt <= PRIVATE_SERVER_PORT_ATTEMPTS; attempt++)); do
        port=$(_private_server_free_port) || break
        log_start=$(($(stat -c %s "$log" 2>/dev/null || echo 0) + 1))
        rm -f "$pidfile"
        mariadbd --no-defaults "--datadir=$datadir" --bind-address=127.0.0.1 "--port=$port" \
            "--socket=$sock" "--pid-file=$pidfile" "--log-error=$log" "--tmpdir=$tmpdir" \
            --log-bin=mariadb-bin "--server-id=$server_id" --local-infile=1 \
            --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
            --skip-name-resolve --innodb-buffer-pool-size=64M "${user_args[@]}" "${extra_args[@]}" \
            </dev/null >>"$log" 2>&1 &
        pid=$!

        for ((waited = 0; waited < PRIVATE_SERVER_TIMEOUT * 4; waited++)); do
            if ! _private_server_alive "$pid"; then
                break
            fi
            if _private_server_ping "$sock"; then
                PRIVATE_SERVER_PORT=$port
                PRIVATE_SERVER_SOCKET=$sock
                PRIVATE_SERVER_PID=$pid
                PRIVATE_SERVER_DIR=$dir
                export PRIVATE_SERVER_PORT PRIVATE_SERVER_SOCKET PRIVATE_SERVER_PID PRIVATE_SERVER_DIR
                printf 'PRIVATE_SERVER_PORT=%q\nPRIVATE_SERVER_SOCKET=%q\nPRIVATE_SERVER_PID=%q\nPRIVATE_SERVER_DIR=%q\n' \
                    "$port" "$sock" "$pid" "$dir" >"$dir/server.env"
                _private_server_log "server $pid ready on 127.0.0.1:$port, socket $sock"
                return 0
            fi
            sleep 0.25
        done

        if _private_server_alive "$pid"; then
            _private_server_log "server did not answer within ${PRIVATE_SERVER_TIMEOUT}s"
            kill -KILL "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            break
        fi
        wait "$pid" 2>/dev/null || true
        if tail -c "+$log_start" "$log" | grep -qiE 'address already in use|bind on tcp/ip port'; then
            _private_server_log "port $port was taken, trying another"
            continue
        fi
        _private_server_log "server exited during start-up"
        break
    done

    _private_server_log_tail "$log"
    rm -rf "$sockdir"
    return 1
}

# private_server_stop [DIR]: stops the server this shell started, or the one started on
# DIR (its state is in DIR/server.env; a start cut short is found by its data directory),
# whichever shell started it. Stopping a server that is already gone is not an error.
private_server_stop() {
    local port=${PRIVATE_SERVER_PORT:-} sock=${PRIVATE_SERVER_SOCKET:-} pid=${PRIVATE_SERVER_PID:-}
    local dir=${PRIVATE_SERVER_DIR:-}
    if [[ $# -ge 1 ]]; then
        [[ -d $1 ]] || return 0
        dir=$(cd "$1" && pwd -P)
        port='' sock='' pid=''
        local -a found
        mapfile -t found < <([[ -f $dir/server.env ]] || _private_server_find "$dir")
        if [[ ${#found[@]} -gt 0 ]]; then
            # A start cut short: no state yet, maybe not even a pid file.
            pid=${found[0]} sock=${found[1]:-}
        elif [[ -f $dir/server.env ]]; then
            local -a state
            mapfile -t state < <(
                # shellcheck disable=SC1091
                source "$dir/server.env"
                printf '%s\n' "$PRIVATE_SERVER_PORT" "$PRIVATE_SERVER_SOCKET" "$PRIVATE_SERVER_PID"
            )
            port=${state[0]:-} sock=${state[1]:-} pid=${state[2]:-}
        elif [[ -f $dir/mariadbd.pid ]]; then
            pid=$(<"$dir/mariadbd.pid")
        fi
    fi
    if [[ -z $pid ]]; then
        return 0
    fi

    if _private_server_is_ours "$pid" "$dir"; then
        if [[ -z $sock ]] || ! _private_server_shutdown "$sock"; then
            kill -TERM "$pid" 2>/dev/null || true
        fi
        _private_server_wait_gone "$pid" "$sock"
        _private_server_log "server on port ${port:-?} stopped"
    else
        # Reaps the process when this shell started it; harmless otherwise.
        wait "$pid" 2>/dev/null || true
    fi

    if [[ $sock == /tmp/dbk-srv.*/* ]]; then
        rm -rf "$(dirname "$sock")"
    fi
    rm -f "$dir/server.env"
    if [[ ${PRIVATE_SERVER_DIR:-} == "$dir" ]]; then
        unset PRIVATE_SERVER_PORT PRIVATE_SERVER_SOCKET PRIVATE_SERVER_PID PRIVATE_SERVER_DIR
    fi
}

# private_server_sql "SQL" [mariadb options...]: runs SQL as root through the socket.
# Without SQL, reads statements from standard input.
private_server_sql() {
    if [[ -z ${PRIVATE_SERVER_SOCKET:-} ]]; then
        _private_server_log "no private server is running in this shell"
        return 1
    fi
    if [[ $# -eq 0 ]]; then
        mariadb --no-defaults "--socket=$PRIVATE_SERVER_SOCKET" -uroot --default-character-set=utf8mb4
    else
        local sql=$1
        shift
        mariadb --no-defaults "--socket=$PRIVATE_SERVER_SOCKET" -uroot --default-character-set=utf8mb4 "$@" -e "$sql"
    fi
}
