# Sourced by the CLI integration scripts: a scratch folder $work, removed at
# exit, and a named check that counts passes and failures without stopping
# the script.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

check() {  # check NAME CONDITION...
    local name=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        echo "FAILED: $name"
        failures=$((failures + 1))
    fi
}

# signal_run SIGNAL TEXT ARGS...: runs "$cli" ARGS in the background (stdout
# in $work/out, stderr in $work/err, stdin from $signal_input or /dev/null),
# sends SIGNAL once TEXT shows in either, and waits for the program to end;
# its exit status is then in $signal_status (137 when it had to be killed
# after 30 s).
signal_run() {
    local signal=$1 text=$2 tries=0
    shift 2
    # What an earlier run left must not pass for this one's TEXT: a signal
    # before the program starts would hit the shell that starts it.
    rm -f "$work/out" "$work/err"
    "$cli" "$@" >"$work/out" 2>"$work/err" <"${signal_input:-/dev/null}" &
    local pid=$!
    until grep -sqF -- "$text" "$work/out" "$work/err" || [ "$tries" -ge 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    kill -s "$signal" "$pid"
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid"
    signal_status=$?
}

# run EXPECTED_STATUS ARGS...: runs "$cli" ARGS (stdout in $work/out, stderr in
# $work/err, stdin from $run_input or /dev/null) and fails, showing both, when
# it ends with another status; a hang ends after 300 s.
run() {
    local expected=$1
    shift
    timeout 300 "$cli" "$@" >"$work/out" 2>"$work/err" <"${run_input:-/dev/null}"
    local status=$?
    if [ "$status" -ne "$expected" ]; then
        echo "kestrion-cli $* exited $status, expected $expected"
        sed 's/^/  out: /' "$work/out" | head -40
        sed 's/^/  err: /' "$work/err" | head -30
        return 1
    fi
}
