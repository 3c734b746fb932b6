# Sourced by the CLI integration scripts: a named check that counts
# passes and failures without stopping the script.
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
