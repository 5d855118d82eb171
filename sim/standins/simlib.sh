# Shared helpers of the stand-in commands (sourced, not run).
#
# Every stand-in reads its configuration from one small file per key in
# $SIM_DIR/conf and notes each call in $SIM_DIR/log/commands.log. Inside the
# sandbox SIM_DIR is /var/sim, which the sandbox binds to <root>/sim; outside
# it a test may point SIM_DIR at any directory. The stand-ins never create
# SIM_DIR themselves, so a stand-in started by mistake on the host writes no
# log at all.

SIM_DIR=${SIM_DIR:-/var/sim}

# sim_conf KEY DEFAULT: the first line of $SIM_DIR/conf/KEY, or DEFAULT when
# that file does not exist (an empty file gives the empty value). Sets
# sim_value; returns 0 when the key was configured.
sim_conf() {
    sim_value=$2
    [ -f "$SIM_DIR/conf/$1" ] || return 1
    sim_value=
    IFS= read -r sim_value <"$SIM_DIR/conf/$1" || :
    return 0
}

# sim_note NAME ARG...: one line "NAME ARG..." in the shared command log.
sim_note() {
    [ -d "$SIM_DIR/log" ] || return 0
    printf '%s\n' "$*" >>"$SIM_DIR/log/commands.log"
}

# sim_in_sandbox: true inside the sandbox (the host has no /var/sim).
sim_in_sandbox() {
    [ -d /var/sim/conf ]
}

# sim_guard_root NAME ROOT: stand-ins that change the package database or
# install files refuse to act on the real machine. ROOT is the -R (or
# PKG_INSTALL_ROOT) prefix given by the caller, empty for "/".
sim_guard_root() {
    [ -n "$2" ] && [ "$2" != / ] && return 0
    sim_in_sandbox && return 0
    echo "$1: stand-in refuses to change this machine outside the sandbox (use -R DIR)" >&2
    exit 99
}

# sim_ask PROMPT CHOICES: the package tools' question style. Prints
# "PROMPT [CHOICES] " and reads one answer line from standard input; sets
# sim_answer. End of input gives "q" (the operator went away: quit).
sim_ask() {
    printf '%s [%s] ' "$1" "$2"
    if ! IFS= read -r sim_answer; then
        echo
        sim_answer=q
    fi
}

# sim_yorn PROMPT HELP: a yes/no/quit question; sets sim_answer to y, n or q.
# "?" shows HELP and asks again; anything else is refused as the package
# tools do.
sim_yorn() {
    while :; do
        sim_ask "$1" "y,n,?,q"
        case $sim_answer in
        y | Y | yes | YES | Yes) sim_answer=y; return 0 ;;
        n | N | no | NO | No) sim_answer=n; return 0 ;;
        q | Q | quit) sim_answer=q; return 0 ;;
        '?') printf '\n%s\n\n' "$2" ;;
        *) echo "ERROR: Please enter yes or no." ;;
        esac
    done
}

# sim_strip_value TEXT: a pkginfo value without its surrounding double quotes.
sim_strip_value() {
    sim_value=$1
    case $sim_value in
    \"*\") sim_value=${sim_value#\"}; sim_value=${sim_value%\"} ;;
    esac
}
