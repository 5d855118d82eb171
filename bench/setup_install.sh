#!/bin/sh
# Times the installer in the sandbox: a fresh installation and an upgrade of
# distributions of 10 and 500 package data files, side by side with a plain
# "cp -pr" of the same unpacked package tree in the same sandbox, and the
# installer's own CPU time (the setup process alone, not the commands it
# runs: libsimcpu.so reports its getrusage(RUSAGE_SELF) when it ends) as a
# share of the run's wall time. Each figure is the median of RUNS runs
# (default 3), timed inside the sandbox so that the sandbox's own set-up and
# clean-up do not hide the work.
# Prints the times, the ratios to cp -pr, the CPU shares, and how each cost
# grows with the file count; with CORLA_BENCH_PAIRS=FILE also appends the
# rows of scripts/bench's table to FILE (see bench/support/BenchMain.cpp).
# Nothing outside scratch directories under /var/tmp changes.
# Usage: bench/setup_install.sh [preset]   (default: release; needs root)
set -eu
cd "$(dirname "$0")/.."
preset=${1:-release}
runs=${RUNS:-3}
[ "$(id -u)" -eq 0 ] || { echo "setup_install.sh: the sandbox needs root" >&2; exit 1; }

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target setup sim >/dev/null
build=$(pwd)/build/$preset
bin=$build/bin

work=$(mktemp -d /var/tmp/corla-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM PIPE # so that the EXIT trap runs

# median of the numbers on standard input
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# A fresh scratch root for the sandbox, with the CPU reporter in its /var/sim.
newroot() {
    rm -rf "$work/root"
    mkdir -p "$work/root/.sandbox" "$work/root/sim"
    cp "$build/lib/libsimcpu.so" "$work/root/sim/"
}
# Seconds the command takes inside the sandbox: timed in there, so that the
# sandbox's own set-up and clean-up are not counted. Options for the
# sandbox come first, then "--" and the command. The CPU reporter watches
# every process named setup and writes to /var/sim/cpu.
timed() {
    opts=''
    while [ "$1" != -- ]; do
        opts="$opts $1"
        shift
    done
    shift
    rm -f "$work/root/sim/cpu"
    # shellcheck disable=SC2086,SC2016 # the options are single words; $@ is the inside shell's
    "$bin/sim-sandbox" --root "$work/root" $opts \
        --env "LD_PRELOAD=/usr/lib/sim/libsimuname.so /var/sim/libsimcpu.so" \
        --env SIM_CPU_PROGRAM=setup --env SIM_CPU_REPORT=/var/sim/cpu -- sh -c \
        't0=$(date +%s.%N); "$@" >/dev/null 2>&1 </dev/null; rc=$?
         t1=$(date +%s.%N); echo "$t0 $t1" >/var/sim/time; exit $rc' sh "$@" ||
        { echo "setup_install.sh: run failed: $*" >&2; exit 1; }
    awk '{ print $2 - $1 }' "$work/root/sim/time"
}
# The own CPU seconds of the setup process of the last run.
setup_cpu() {
    [ -s "$work/root/sim/cpu" ] ||
        { echo "setup_install.sh: setup reported no CPU time (did it end through exit()?)" >&2; exit 1; }
    awk '$1 == "setup" { t += $2 + $3 } END { print t }' "$work/root/sim/cpu"
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

    for what in fresh upgrade copy fresh-cpu upgrade-cpu; do : >"$work/$what"; done
    for _ in $(seq "$runs"); do
        newroot
        quiet_admin
        timed --cwd "$work/dist$files" -- ./setup >>"$work/fresh"
        setup_cpu >>"$work/fresh-cpu"
        timed --cwd "$work/dist$files" -- ./setup >>"$work/upgrade"
        setup_cpu >>"$work/upgrade-cpu"
        timed -- cp -pr "$work/tree$files/QDRNvqmm" /opt/copy >>"$work/copy"
    done
    for what in fresh upgrade copy fresh-cpu upgrade-cpu; do
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
    printf "\nsetup own CPU time    %10.1f ms %10.1f ms   (fresh)\n", t["fresh-cpu", 10] * 1000,
           t["fresh-cpu", 500] * 1000
    printf "setup own CPU time    %10.1f ms %10.1f ms   (upgrade)\n", t["upgrade-cpu", 10] * 1000,
           t["upgrade-cpu", 500] * 1000
    printf "share of the wall time %10.2f%% %10.2f%%     (fresh; goal < 5%%)\n",
           t["fresh-cpu", 10] / t["fresh", 10] * 100, t["fresh-cpu", 500] / t["fresh", 500] * 100
    printf "share of the wall time %10.2f%% %10.2f%%     (upgrade; goal < 5%%)\n",
           t["upgrade-cpu", 10] / t["upgrade", 10] * 100,
           t["upgrade-cpu", 500] / t["upgrade", 500] * 100
}' "$work/results"

# Rows of scripts/bench's table: the installer against cp -pr, and its own
# CPU time against the run's wall time (so the ratio is the share).
if [ -n "${CORLA_BENCH_PAIRS:-}" ]; then
    awk '{ t[$1, $2] = $3 }
    END {
        for (f = 10; f <= 500; f += 490)
            for (i = 1; i <= 2; i++) {
                w = i == 1 ? "fresh" : "upgrade"
                printf "setup/%s/%d_files (base: cp -pr)\t%s\t%s\n", w, f, t[w, f], t["copy", f]
            }
        for (f = 10; f <= 500; f += 490)
            for (i = 1; i <= 2; i++) {
                w = i == 1 ? "fresh" : "upgrade"
                printf "setup/%s/%d_files own CPU (base: wall)\t%s\t%s\n", w, f, t[w "-cpu", f],
                       t[w, f]
            }
    }' "$work/results" >>"$CORLA_BENCH_PAIRS"
fi
