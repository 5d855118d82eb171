#!/bin/sh
# Output formats and configuration of the system stand-ins (uname, whoami,
# lpd, df, du, ps) and the recording suite program, run outside the sandbox.

# shellcheck source=testlib.sh
. "$(dirname "$0")/testlib.sh"

# --- uname -------------------------------------------------------------------
expect "uname -r defaults to 5.5.1" 5.5.1 "$("$standins/uname" -r)"
expect "uname alone prints the system name" SunOS "$("$standins/uname")"
expect "uname fields keep their fixed order" "SunOS 5.5.1 sparc" "$("$standins/uname" -p -r -s)"
conf release 5.6
expect "uname -r follows conf/release" 5.6 "$("$standins/uname" -r)"
expect_match "uname -a names SunOS, node, release, sparc" "SunOS * 5.6 Generic sun4u sparc SUNW,*" \
    "$("$standins/uname" -a)"
: >"$SIM_DIR/conf/release"
expect "an empty release prints nothing at all" "" "$("$standins/uname" -r | od -An -c)"
"$standins/uname" -x >/dev/null 2>"$scratch/err"
expect "uname refuses an unknown option" 1 $?
expect_match "uname names the bad option" "uname: illegal option -- x*" "$(cat "$scratch/err")"
rm -f "$SIM_DIR/conf/release"

# --- whoami ------------------------------------------------------------------
expect "whoami without configuration names the effective user" "$(id -un)" "$("$standins/whoami")"
conf user jdoe
expect "whoami prints conf/user" jdoe "$("$standins/whoami")"
: >"$SIM_DIR/conf/user"
expect "an empty conf/user prints nothing" "" "$("$standins/whoami" | od -An -c)"
rm -f "$SIM_DIR/conf/user"

# --- lpd ---------------------------------------------------------------------
conf lpd "LPRng-3.8.B, Kerberos5, Copyright 1988-2003 Patrick Powell, <papowell@lprng.com>"
out=$("$standins/lpd" -V 2>"$scratch/err")
expect "lpd -V exits 0" 0 $?
expect "lpd -V prints nothing on standard output" "" "$out"
expect "lpd -V prints the banner on standard error" \
    "LPRng-3.8.B, Kerberos5, Copyright 1988-2003 Patrick Powell, <papowell@lprng.com>" \
    "$(cat "$scratch/err")"

# --- df ------------------------------------------------------------------------
mkdir -p "$scratch/fs/a/b" "$scratch/fs/c"
# Free blocks times fragment size, as the stand-in documents (Solaris -b).
# The disk is shared with whatever else runs, so the figure is bracketed by
# readings taken just before and just after.
free_kb() { stat -f -c '%f %S' "$scratch/fs" | awk '{ printf "%.0f", $1 * $2 / 1024 }'; }
before=$(free_kb)
out=$("$standins/df" -b "$scratch/fs")
after=$(free_kb)
expect "df -b header" "Filesystem              avail" "$(echo "$out" | head -n 1)"
line=$(echo "$out" | sed -n 2p)
expect_match "df -b data line: device then free kilobytes" "/* [0-9]*" "$line"
got=$(echo "$line" | awk '{ print $2 }')
expect_true "df -b figure is the real free space (within 1 MB of the readings around it)" \
    awk -v a="$before" -v b="$after" -v g="$got" \
    'BEGIN { lo = (a < b ? a : b) - 1024; hi = (a > b ? a : b) + 1024; exit !(g >= lo && g <= hi) }'
expect "df -b prints one line per path" 3 "$("$standins/df" -b "$scratch/fs" / | wc -l)"

conf df "$scratch/fs 2000" "$scratch/fs/a 50 /dev/dsk/c0t1d0s0" "$scratch/fs/c/ 7 /dev/dsk/c0t2d0s0"
expect "a configured path: default device sim:PATH, printf %-20s %8s" \
    "$(printf '%-20s %8s' "sim:$scratch/fs" 2000)" "$("$standins/df" -b "$scratch/fs" | sed -n 2p)"
expect "the longest configured prefix wins" "$(printf '%-20s %8s' /dev/dsk/c0t1d0s0 50)" \
    "$("$standins/df" -b "$scratch/fs/a/b" | sed -n 2p)"
expect "a trailing slash in the table does not matter" "$(printf '%-20s %8s' /dev/dsk/c0t2d0s0 7)" \
    "$("$standins/df" -b "$scratch/fs/c" | sed -n 2p)"
ln -s "$scratch/fs/a" "$scratch/link"
expect "a path is measured where its links lead" "$(printf '%-20s %8s' /dev/dsk/c0t1d0s0 50)" \
    "$("$standins/df" -b "$scratch/link" | sed -n 2p)"
mkdir -p "$scratch/fsx"
expect_match "a prefix must end at a path component" "/*" \
    "$("$standins/df" -b "$scratch/fsx" | sed -n 2p)"
out=$("$standins/df" -b "$scratch/missing" 2>"$scratch/err")
expect "df on a missing path exits 1" 1 $?
expect "df on a missing path still prints the header" "Filesystem              avail" "$out"
expect "df names the missing path" \
    "df: ($scratch/missing) not a block device, directory or mounted resource" "$(cat "$scratch/err")"
"$standins/df" "$scratch/fs" >/dev/null 2>&1
expect "df without -b is refused" 1 $?
rm -f "$SIM_DIR/conf/df"

# --- du ------------------------------------------------------------------------
tree=$scratch/tree
mkdir -p "$tree/d1/d2" "$tree/d3"
head -c 300000 /dev/zero >"$tree/d1/big"
echo small >"$tree/d1/d2/small"
ln "$tree/d1/big" "$tree/d3/hardlink"
ln -s big "$tree/d1/symlink"
expect "du -s counts 512-byte blocks, hard links once (as GNU du)" \
    "$(du -s --block-size=512 "$tree")" "$("$standins/du" -s "$tree")"
expect "du -sk counts kilobytes" "$(du -sk "$tree")" "$("$standins/du" -sk "$tree")"
expect "du lists every directory (as GNU du, any order)" \
    "$(du --block-size=512 "$tree" | sort)" "$("$standins/du" "$tree" | sort)"
expect "du lists a directory after what it holds" "$tree" "$("$standins/du" "$tree" | tail -n 1 | cut -f 2)"
conf du-unit 1024
expect "conf/du-unit 1024 makes du -s report kilobytes" "$(du -sk "$tree")" "$("$standins/du" -s "$tree")"
rm -f "$SIM_DIR/conf/du-unit"
conf du "$tree/d1 200"
expect "conf/du fixes the -s figure of exactly that path" "$(printf '200\t%s' "$tree/d1")" \
    "$("$standins/du" -s "$tree/d1")"
expect "conf/du leaves other paths measured" "$(du -s --block-size=512 "$tree/d3")" \
    "$("$standins/du" -s "$tree/d3")"
rm -f "$SIM_DIR/conf/du"
"$standins/du" -s "$scratch/missing" >/dev/null 2>&1
expect "du on a missing path exits 2" 2 $?

# --- ps ------------------------------------------------------------------------
mkdir -p "$scratch/bin"
cp "$standins/suite" "$scratch/bin/pmrvqmmtty"
SIM_STAY=30 "$scratch/bin/pmrvqmmtty" </dev/null >/dev/null 2>&1 &
bg=$!
tries=0
until grep -q pmrvqmmtty "/proc/$bg/comm" 2>/dev/null || [ $tries -ge 100 ]; do
    sleep 0.05
    tries=$((tries + 1))
done
out=$("$standins/ps" -e)
expect "ps -e header" "   PID TTY         TIME CMD" "$(echo "$out" | head -n 1)"
expect_match "ps -e line of the background program: PID TTY M:SS NAME cut to 8" \
    "*$(printf '%6d' "$bg") ? * 0:0? pmrvqmmt" "$(echo "$out" | grep "^ *$bg ")"
# A host process may name itself with blanks ("tmux: server"), so only the
# three fields before the name are checked strictly.
expect "every ps -e line is PID, TTY, TIME and a name" "" \
    "$(echo "$out" | awk 'NR > 1 && (NF < 4 || $1 !~ /^[0-9]+$/ || $3 !~ /^[0-9]+:[0-9][0-9]$/)' | head -n 1)"
conf ps-width 0
expect_match "conf/ps-width 0 leaves names whole" "* pmrvqmmtty" \
    "$("$standins/ps" -e | grep "^ *$bg ")"
rm -f "$SIM_DIR/conf/ps-width"
kill "$bg" 2>/dev/null
wait "$bg" 2>/dev/null
"$standins/ps" -ef >/dev/null 2>&1
expect "ps knows only -e" 1 $?

# --- the suite's recording stand-in -------------------------------------------
rm -rf "$SIM_DIR/log"
mkdir -p "$SIM_DIR/log"
cp "$standins/suite" "$scratch/bin/csf"
(cd "$scratch/fs" && PlimtoQueue=q1 PlimtoTitle='a "b"' PRINTER=lp0 NOT_RECORDED=1 \
    "$scratch/bin/csf" -f "two words" '')
expect "a suite program exits 0 by default" 0 $?
call=$SIM_DIR/log/calls/000001
expect "the call records its name" csf "$(cat "$call/prog")"
expect "the call records the path it was started by" "$scratch/bin/csf" "$(cat "$call/path")"
expect "the call records its working directory" "$scratch/fs" "$(cat "$call/cwd")"
expect "argv keeps each argument whole, NUL-ended" "-f|two words||" "$(tr '\0' '|' <"$call/argv")"
expect "env holds the recorded variables that are set" "|PlimtoQueue=q1|PlimtoTitle=a \"b\"|PRINTER=lp0|" \
    "$(tr '\0' '\n' <"$call/env" | grep -v -e '^PATH=' -e '^LANG=' | tr '\n' '|' | sed 's/^/|/')"
expect "commands.log gets one line" "csf -f two words " "$(cat "$SIM_DIR/log/commands.log")"

conf exit.csf 1 1 0
statuses=
for _ in 1 2 3 4; do
    "$scratch/bin/csf" </dev/null
    statuses="$statuses$?"
done
expect "conf/exit.NAME: one status per start, the last one sticks" 1100 "$statuses"
expect "each start is numbered in order" "000001 000002 000003 000004 000005" \
    "$(names "$SIM_DIR/log/calls")"
conf say.csf "csf 1.0 ready"
expect "conf/say.NAME is printed" "csf 1.0 ready" "$("$scratch/bin/csf" </dev/null)"
conf stdin.csf
printf 'job data\n' | "$scratch/bin/csf" >/dev/null
expect "conf/stdin.NAME keeps standard input" "job data" "$(cat "$SIM_DIR/log/calls/000007/stdin")"
conf record-env PlimtoQueue
PlimtoQueue=q9 PRINTER=x "$scratch/bin/csf" </dev/null >/dev/null
expect "conf/record-env chooses the variables" "PlimtoQueue=q9|" \
    "$(tr '\0' '|' <"$SIM_DIR/log/calls/000008/env")"

conf stay.csf 30
"$scratch/bin/csf" </dev/null >/dev/null &
bg=$!
sleep 1
expect_true "conf/stay.NAME keeps it running" kill -0 "$bg"
expect "it runs under its own name" csf "$(cat "/proc/$bg/comm")"
: >"$SIM_DIR/conf/stop.csf"
tries=0
while kill -0 "$bg" 2>/dev/null && [ $tries -lt 30 ]; do
    sleep 0.2
    tries=$((tries + 1))
done
expect_true "conf/stop.NAME ends it early" test $tries -lt 30
wait "$bg" 2>/dev/null

SIM_DIR=$scratch/nowhere "$scratch/bin/csf" </dev/null >/dev/null 2>&1
expect "without a log directory it still succeeds" 0 $?
expect_true "and creates nothing" test ! -e "$scratch/nowhere"

finish
