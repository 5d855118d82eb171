#!/bin/sh
# Times the installer in the sandbox: a fresh installation and an upgrade of
# distributions of 10 and 500 package data files, side by side with a plain
# "cp -pr" of the same unpacked package tree in the same sandbox. Each figure
# is the median of RUNS runs (default 3), timed inside the sandbox so that
# the sandbox's own set-up and clean-up do not hide the work.
# Prints the times, the ratios to cp -pr, and how each cost grows with the
# file count. Nothing outside scratch directories under /var/tmp changes.
# Usage: bench/setup_install.sh [preset]   (default: release; needs root)
set -eu
cd "$(dirname "$0")/.."
preset=${1:-release}
runs=${RUNS:-3}
[ "$(id -u)" -eq 0 ] || { echo "setup_install.sh: the sandbox needs root" >&2; exit 1; }

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target setup sim >/dev/null
bin=$(pwd)/build/$preset/bin

work=$(mktemp -d /var/tmp/corla-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM PIPE # so that the EXIT trap runs

now() { date +%s.%N; }
# median of the numbers on standard input
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# A fresh scratch root for the sandbox.
newroot() {
    rm -rf "$work/root"
    mkdir -p "$work/root/.sandbox"
}
# Seconds the command takes inside the sandbox: timed in there, so that the
# sandbox's own set-up and clean-up are not counted. Options for the
# sandbox come first, then "--" and the command.
timed() {
    opts=''
    while [ "$1" != -- ]; do
        opts="$opts $1"
        shift
    done
    shift
    # shellcheck disable=SC2086,SC2016 # the options are single words; $@ is the inside shell's
    "$bin/sim-sandbox" --root "$work/root" $opts -- sh -c \
        't0=$(date +%s.%N); "$@" >/dev/null 2>&1 </dev/null; rc=$?
         t1=$(date +%s.%N); echo "$t0 $t1" >/var/sim/time; exit $rc' sh "$@" ||
        { echo "setup_install.sh: run failed: $*" >&2; exit 1; }
    awk '{ print $2 - $1 }' "$work/root/sim/time"
}
# Answers pkgadd's questions without asking.
quiet_admin() {
    mkdir -p "$work/root/var/sadm/install/admin"
    printf 'action=nocheck\nconflict=nocheck\nsetuid=nocheck\ninstance=overwrite\n' \
        >"$work/root/var/sadm/install/admin/default"
}

: >"$work/results" # lines "<what> <files> <seconds>"
for files in 10 500; do
    rm -rf "$work/dist$files" "$work/tree$files"
    "$bin/sim-mkdist" --files "$files" --setup "$bin/setup" "$work/dist$files" >/dev/null
    # The same tree setup installs: the unpacked archive's package.
    mkdir "$work/tree$files"
    cat "$work/dist$files"/pkg_tar.* | gzip -dc | tar -xpf - -C "$work/tree$files"

    : >"$work/fresh" && : >"$work/upgrade" && : >"$work/copy"
    for _ in $(seq "$runs"); do
        newroot
        quiet_admin
        timed --cwd "$work/dist$files" -- ./setup >>"$work/fresh"
        timed --cwd "$work/dist$files" -- ./setup >>"$work/upgrade"
        timed -- cp -pr "$work/tree$files/QDRNvqmm" /opt/copy >>"$work/copy"
    done
    for what in fresh upgrade copy; do
        echo "$what $files $(median <"$work/$what")" >>"$work/results"
    done
done

echo
awk '{ t[$1, $2] = $3 }
END {
    printf "%-22s %12s %12s %12s\n", "", "10 files", "500 files", "per file"
    split("fresh upgrade copy", order, " ")
    label["fresh"] = "fresh installation"; label["upgrade"] = "upgrade"
    label["copy"] = "cp -pr of the tree"
    for (i = 1; i <= 3; i++) {
        w = order[i]
        printf "%-22s %10.3f s %10.3f s %9.2f ms\n", label[w], t[w, 10], t[w, 500],
               (t[w, 500] - t[w, 10]) / 490 * 1000
    }
    printf "\nratio to cp -pr        %11.1fx %11.1fx   (fresh)\n", t["fresh", 10] / t["copy", 10],
           t["fresh", 500] / t["copy", 500]
    printf "ratio to cp -pr        %11.1fx %11.1fx   (upgrade)\n",
           t["upgrade", 10] / t["copy", 10], t["upgrade", 500] / t["copy", 500]
    printf "growth from 10 to 500 files: fresh %.1fx, upgrade %.1fx, cp -pr %.1fx\n",
           t["fresh", 500] / t["fresh", 10], t["upgrade", 500] / t["upgrade", 10],
           t["copy", 500] / t["copy", 10]
}' "$work/results"
