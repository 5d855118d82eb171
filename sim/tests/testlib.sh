# Assertions for the stand-in platform's shell tests (sourced).
#
# Each test script makes its own scratch directory under /var/tmp, points
# SIM_DIR there and runs the stand-ins straight from sim/standins (package
# tools with -R, so nothing outside the scratch directory changes). The
# script ends with status 1 when any check failed.

set -u
sim_src=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck disable=SC2034 # used by the scripts that source this file
standins=$sim_src/standins
failures=0
checks=0

scratch=$(mktemp -d /var/tmp/simtest.XXXXXX) || exit 1
trap 'rm -rf "$scratch"' EXIT
SIM_DIR=$scratch/sim
export SIM_DIR
mkdir -p "$SIM_DIR/conf" "$SIM_DIR/log"

fail() {
    failures=$((failures + 1))
    printf 'FAIL: %s\n' "$*" >&2
}

# expect NAME EXPECTED ACTUAL
expect() {
    checks=$((checks + 1))
    [ "$2" = "$3" ] && return 0
    fail "$1"
    printf '  expected: [%s]\n  actual:   [%s]\n' "$2" "$3" >&2
}

# expect_match NAME PATTERN ACTUAL: ACTUAL matches the shell PATTERN.
expect_match() {
    checks=$((checks + 1))
    # shellcheck disable=SC2254 # the pattern is the point
    case $3 in $2) return 0 ;; esac
    fail "$1"
    printf '  pattern: [%s]\n  actual:  [%s]\n' "$2" "$3" >&2
}

# expect_true NAME COMMAND...: the command succeeds.
expect_true() {
    checks=$((checks + 1))
    name=$1
    shift
    "$@" && return 0
    fail "$name"
}

# conf KEY VALUE...: writes one configuration file (one line per VALUE).
conf() {
    key=$1
    shift
    printf '%s\n' "$@" >"$SIM_DIR/conf/$key"
}

# names DIR: the entries of DIR (dot files too), sorted, blank-separated.
names() {
    for entry in "$1"/* "$1"/.[!.]*; do
        if [ -e "$entry" ] || [ -L "$entry" ]; then
            printf '%s\n' "${entry##*/}"
        fi
    done | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'
}

finish() {
    printf '%s: %d checks, %d failed\n' "${0##*/}" "$checks" "$failures"
    [ "$failures" -eq 0 ]
}
