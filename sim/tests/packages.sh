#!/bin/sh
# The distribution builder and the stand-in package tools (pkgadd, installf,
# pkginfo), run outside the sandbox on a root prefix (-R) in a scratch
# directory.

# shellcheck source=testlib.sh
. "$(dirname "$0")/testlib.sh"
mkdist=$sim_src/mkdist

# unpack DIST DIR: joins the pieces named by the list file and unpacks them.
unpack() {
    mkdir -p "$2"
    list=$1/disks
    [ -f "$list" ] || list=$1/DISKS
    tr -s '[:blank:]' '\n' <"$list" | while read -r name; do
        [ "$name" = end_of_list ] && break
        case $name in pkg_tar.*) cat "$1/$name" ;; esac
    done >"$2.tar.Z"
    uncompress -c "$2.tar.Z" | tar -C "$2" -xf -
}

# --- the default distribution ------------------------------------------------
dist=$scratch/dist
"$mkdist" "$dist"
expect "mkdist succeeds" 0 $?
expect "the distribution holds the list, the sizes and one piece" "disks isize pkg_tar.aa tsize" \
    "$(names "$dist")"
expect "the list names itself, the pieces, then end_of_list" "disks|pkg_tar.aa|end_of_list|" \
    "$(tr '\n' '|' <"$dist/disks")"
expect "a piece starts with the compress magic 1f 9d" "1f9d" "$(od -An -tx1 -N2 "$dist/pkg_tar.aa" | tr -d ' ')"
expect_match "isize is a number" "[0-9]*" "$(cat "$dist/isize")"
expect_match "tsize is a number" "[0-9]*" "$(cat "$dist/tsize")"
unpack "$dist" "$scratch/u"
expect "the archive unpacks" 0 $?
expect "the archive's top level" "QDRNvqmm README.vqmm pkg.list" \
    "$(names "$scratch/u")"
expect "tar members have no leading ./" "QDRNvqmm/" \
    "$(uncompress -c "$scratch/u.tar.Z" | tar -tf - | grep '^QDRNvqmm' | head -n 1)"
pkg=$scratch/u/QDRNvqmm
expect "the package's pkginfo" "PKG=QDRNvqmm|NAME=Corla Plimto print software|ARCH=sparc|VERSION=3.01.67|CATEGORY=application|BASEDIR=/opt/Corla|VENDOR=Corla|PSTAMP=build19970312|CLASSES=none|" \
    "$(tr '\n' '|' <"$pkg/pkginfo")"
expect "the suite's programs and four data files" \
    "AixInterface PMQ PMRM csf data db plimto pmadmin pmqadmin pmrvqmmtty qadmin" \
    "$(names "$pkg/reloc/vqmm")"
expect "data files" 4 "$(names "$pkg/reloc/vqmm/data" | wc -w)"

# Every pkgmap line matches the tree, and every file of the tree has a line.
map=$pkg/pkgmap
blocks=0
while read -r part type x1 x2 x3 x4 x5 x6 x7 x8; do
    if [ "$part" = : ]; then
        expect "pkgmap header: one part" 1 "$type"
        header_blocks=$x1
        continue
    fi
    case $type in
    f)
        path=$x2
        case $path in /*) file=$pkg/root$path ;; *) file=$pkg/reloc/$path ;; esac
        expect "pkgmap attributes of $path" f "$(stat -c %F "$file" | cut -c 9)"
        expect "pkgmap size of $path" "$(stat -c %s "$file")" "$x6"
        expect "pkgmap cksum of $path" "$(sum -s "$file" | cut -d ' ' -f 1)" "$x7"
        expect "pkgmap modtime of $path" "$(stat -c %Y "$file")" "$x8"
        blocks=$((blocks + (x6 + 511) / 512))
        ;;
    d)
        case $x2 in /*) dir=$pkg/root$x2 ;; *) dir=$pkg/reloc/$x2 ;; esac
        expect_true "directory $x2" test -d "$dir"
        ;;
    s) expect "symbolic link ${x2%%=*}" "${x2#*=}" "$(readlink "$pkg/reloc/${x2%%=*}")" ;;
    i)
        file=$pkg/install/$x1
        [ "$x1" = pkginfo ] && file=$pkg/pkginfo
        expect "pkgmap size of $x1" "$(stat -c %s "$file")" "$x2"
        expect "pkgmap cksum of $x1" "$(sum -s "$file" | cut -d ' ' -f 1)" "$x3"
        expect "pkgmap modtime of $x1" "$(stat -c %Y "$file")" "$x4"
        blocks=$((blocks + (x2 + 511) / 512))
        ;;
    *) fail "unexpected pkgmap type $type" ;;
    esac
    : "$x5"
done <"$map"
expect "pkgmap header counts the 512-byte blocks" "$blocks" "$header_blocks"
for file in $(cd "$pkg/reloc" && find . -type f | sed 's|^\./||'); do
    expect "reloc/$file is in the pkgmap" 1 "$(awk -v p="$file" '$2 == "f" && $4 == p' "$map" | wc -l)"
done
expect "the run-control script is absolute" "1 f none /etc/rc2.d/S99CorlaVqmm 0744 root sys" \
    "$(grep S99CorlaVqmm "$map" | cut -d ' ' -f 1-7)"
expect "the data files are 0644 root bin" 4 "$(grep -c ' vqmm/data/file[0-9]* 0644 root bin ' "$map")"
expect "the default pkg.list" "c README.vqmm mode 644|m pmqadmin mode 755 bat pmqadmin|newdir log mode 777|" \
    "$(grep -v '^#' "$scratch/u/pkg.list" | tr '\n' '|')"

# --- builder options ------------------------------------------------------------
"$mkdist" "$dist" 2>/dev/null
expect "mkdist refuses a directory that is not empty" 1 $?
"$mkdist" "$scratch/again"
expect "two builds are identical (reproducible)" "" "$(cmp "$dist/pkg_tar.aa" "$scratch/again/pkg_tar.aa" 2>&1)"

printf 'c extra.so mode 755\n' >"$scratch/my.list"
echo library >"$scratch/extra.so"
echo '#!/bin/sh' >"$scratch/setup"
"$mkdist" --files 30 --file-size 5000 --piece-size 1k --pkg-list "$scratch/my.list" \
    --extra "$scratch/extra.so" --setup "$scratch/setup" --version 3.01.50 --isize 1000 --tsize 500 \
    --no-scripts --no-root "$scratch/big"
expect "mkdist with options succeeds" 0 $?
pieces=$(names "$scratch/big" | tr ' ' '\n' | grep -c '^pkg_tar\.')
expect_true "small pieces make several of them" test "$pieces" -gt 2
expect "the list names every piece in order" "$(names "$scratch/big" | tr ' ' '\n' | grep '^pkg_tar\.' | tr '\n' '|')" \
    "$(sed -n '2,$p' "$scratch/big/disks" | grep -v end_of_list | tr '\n' '|')"
expect "pieces are at most the piece size" "" \
    "$(find "$scratch/big" -name 'pkg_tar.*' -size +1k)"
expect "isize as given" 1000 "$(cat "$scratch/big/isize")"
expect "tsize as given" 500 "$(cat "$scratch/big/tsize")"
expect "the installer is copied in" "#!/bin/sh" "$(cat "$scratch/big/setup")"
unpack "$scratch/big" "$scratch/ub"
expect "top level with the extra file and no README" "QDRNvqmm extra.so pkg.list" \
    "$(names "$scratch/ub")"
expect "the given pkg.list" "c extra.so mode 755" "$(cat "$scratch/ub/pkg.list")"
expect "30 data files" 30 "$(names "$scratch/ub/QDRNvqmm/reloc/vqmm/data" | wc -w)"
expect "of 5000 bytes" 5000 "$(stat -c %s "$scratch/ub/QDRNvqmm/reloc/vqmm/data/file0030")"
expect "the given version" VERSION=3.01.50 "$(grep VERSION "$scratch/ub/QDRNvqmm/pkginfo")"
expect "no postinstall" "" "$(grep postinstall "$scratch/ub/QDRNvqmm/pkgmap")"
expect "no root tree" "" "$(grep ' /' "$scratch/ub/QDRNvqmm/pkgmap")"

"$mkdist" --upper --piece-size 4k "$scratch/upper"
expect "--upper names the list DISKS" DISKS "$(names "$scratch/upper" | tr ' ' '\n' | grep -i disks)"
expect_true "--upper names the pieces in capitals" test -f "$scratch/upper/PKG_TAR.AA"
expect "the list's text stays lower case" "disks|pkg_tar.aa|" \
    "$(head -n 2 "$scratch/upper/DISKS" | tr '\n' '|')"
names "$scratch/upper" | grep -q 'pkg_tar' && fail "--upper leaves lower-case pieces"

# --- pkgadd ------------------------------------------------------------------------
root=$scratch/root
log=$SIM_DIR/log/commands.log
out=$(printf 'y\n' | "$standins/pkgadd" -R "$root" -d "$scratch/u" QDRNvqmm 2>"$scratch/err")
expect "pkgadd installs the package" 0 $?
expect "pkgadd says nothing on standard error" "" "$(cat "$scratch/err")"
expect "pkgadd names the instance and the device" \
    "Processing package instance <QDRNvqmm> from <$scratch/u>" "$(echo "$out" | sed -n 2p)"
expect "pkgadd asks about the scripts" 1 \
    "$(echo "$out" | grep -c '^Do you want to continue with the installation of <QDRNvqmm> \[y,n,?\] $')"
expect "pkgadd names the base directory" 1 "$(echo "$out" | grep -c '^Using </opt/Corla> as the package base directory.$')"
expect "pkgadd lists the installed paths" "/opt/Corla/vqmm/csf" "$(echo "$out" | grep '^/opt/Corla/vqmm/csf$')"
expect "pkgadd ends with success" "Installation of <QDRNvqmm> was successful." "$(echo "$out" | tail -n 1)"
app=$root/opt/Corla/vqmm
expect "programs: mode, owner, group, pkgmap time" "755 root bin 858160800" "$(stat -c '%a %U %G %Y' "$app/pmqadmin")"
expect "queue database: 0666" "666 root bin" "$(stat -c '%a %U %G' "$app/db/que.udb")"
expect "directory db: 0775" "775 root bin" "$(stat -c '%a %U %G' "$app/db")"
expect "the symbolic link" pmqadmin "$(readlink "$app/qadmin")"
expect "the absolute file: 0744 root sys" "744 root sys" "$(stat -c '%a %U %G' "$root/etc/rc2.d/S99CorlaVqmm")"
expect_true "file contents are the package's" cmp -s "$app/data/file0003" "$pkg/reloc/vqmm/data/file0003"
sadm=$root/var/sadm
expect "the recorded pkginfo adds PKGINST and PKGSAV" "PKGINST=QDRNvqmm|PKGSAV=/var/sadm/pkg/QDRNvqmm/save|" \
    "$(grep -e ^PKGINST= -e ^PKGSAV= "$sadm/pkg/QDRNvqmm/pkginfo" | tr '\n' '|')"
expect_match "the recorded pkginfo has INSTDATE" "INSTDATE=[A-Z][a-z][a-z] [0-9]* [0-9][0-9][0-9][0-9] [0-9][0-9]:[0-9][0-9]" \
    "$(grep ^INSTDATE= "$sadm/pkg/QDRNvqmm/pkginfo")"
expect "the recorded VERSION is unquoted" VERSION=3.01.67 "$(grep ^VERSION= "$sadm/pkg/QDRNvqmm/pkginfo")"
expect_true "install/ keeps the scripts" test -f "$sadm/pkg/QDRNvqmm/install/postinstall"
expect_true "save/ is made" test -d "$sadm/pkg/QDRNvqmm/save"
contents=$sadm/install/contents
expect "contents: a file line" "/opt/Corla/vqmm/pmqadmin f none 0755 root bin $(grep ' vqmm/pmqadmin ' "$map" | cut -d ' ' -f 8-10) QDRNvqmm" \
    "$(grep '^/opt/Corla/vqmm/pmqadmin ' "$contents")"
expect "contents: a directory line" "/opt/Corla/vqmm/db d none 0775 root bin QDRNvqmm" \
    "$(grep '^/opt/Corla/vqmm/db ' "$contents")"
expect "contents: a link line" "/opt/Corla/vqmm/qadmin=pmqadmin s none QDRNvqmm" \
    "$(grep '^/opt/Corla/vqmm/qadmin' "$contents")"
expect "contents: '?' directories are recorded as they are" "/etc/rc2.d d none $(stat -c '%a' "$root/etc/rc2.d" | sed 's/^/0/') root root QDRNvqmm" \
    "$(grep '^/etc/rc2.d ' "$contents")"
expect_true "contents is sorted" env LC_ALL=C sort -c -t ' ' -k 1,1 "$contents"
expect "postinstall ran with the instance and base directory" "postinstall PKGINST=QDRNvqmm BASEDIR=/opt/Corla" \
    "$(grep ^postinstall "$log")"

# Questions and refusals change nothing.
cp "$contents" "$scratch/contents.before"
printf 'y\nn\n' | "$standins/pkgadd" -R "$root" -d "$scratch/u" QDRNvqmm >"$scratch/out"
expect "answer n to the scripts question: status 3" 3 $?
expect "a second installation is a new instance" 1 "$(grep -c 'instance <QDRNvqmm.2>' "$scratch/out")"
expect "it asks about the conflicting files" 1 "$(grep -c 'Do you want to install these conflicting files' "$scratch/out")"
expect "it says nothing changed" "Installation of <QDRNvqmm.2> was terminated due to user request.|No changes were made to the system.|" \
    "$(tail -n 2 "$scratch/out" | tr '\n' '|')"
expect_true "the database is unchanged" cmp -s "$contents" "$scratch/contents.before"
expect_true "no instance was recorded" test ! -e "$sadm/pkg/QDRNvqmm.2"
"$standins/pkgadd" -R "$root" -d "$scratch/u" QDRNvqmm </dev/null >/dev/null
expect "end of input at a question: status 3" 3 $?
"$standins/pkgadd" -n -R "$root" -d "$scratch/u" QDRNvqmm >"$scratch/out"
expect "-n with a question to ask: status 5" 5 $?
expect "-n says the installation was suspended" 1 "$(grep -c 'was suspended (interaction required)' "$scratch/out")"

# The administration file answers instead of the operator.
mkdir -p "$sadm/install/admin"
printf 'instance=overwrite\naction=nocheck\nconflict=nocheck\n' >"$sadm/install/admin/quiet"
"$standins/pkgadd" -n -a quiet -R "$root" -d "$scratch/u" QDRNvqmm >"$scratch/out"
expect "instance=overwrite, action=nocheck: installed without questions" 0 $?
expect "overwriting keeps one instance" QDRNvqmm "$(names "$sadm/pkg")"
printf 'instance=unique\naction=nocheck\nconflict=nocheck\n' >"$sadm/install/admin/quiet"
"$standins/pkgadd" -n -a quiet -R "$root" -d "$scratch/u" QDRNvqmm >/dev/null
expect "instance=unique makes QDRNvqmm.2" "QDRNvqmm QDRNvqmm.2" "$(names "$sadm/pkg")"
expect "paths then belong to both instances" "/opt/Corla/vqmm/csf f none 0755 root bin $(grep ' vqmm/csf ' "$map" | cut -d ' ' -f 8-10) QDRNvqmm QDRNvqmm.2" \
    "$(grep '^/opt/Corla/vqmm/csf ' "$contents")"
printf 'action=quit\nconflict=nocheck\n' >"$sadm/install/admin/quiet"
"$standins/pkgadd" -n -a quiet -R "$root" -d "$scratch/u" QDRNvqmm >/dev/null
expect "action=quit refuses a package with scripts: status 4" 4 $?

# A corrupt package installs partly and says so.
cp -R "$scratch/u" "$scratch/bad"
echo more >>"$scratch/bad/QDRNvqmm/reloc/vqmm/data/file0002"
printf 'instance=overwrite\naction=nocheck\nconflict=nocheck\n' >"$sadm/install/admin/quiet"
"$standins/pkgadd" -n -a "$sadm/install/admin/quiet" -R "$scratch/root2" -d "$scratch/bad" QDRNvqmm >"$scratch/out" 2>"$scratch/err"
expect "a corrupt file: status 1" 1 $?
expect "the corrupt file is named" "pkgadd: ERROR: source path <$scratch/bad/QDRNvqmm/reloc/vqmm/data/file0002> is corrupt" \
    "$(head -n 1 "$scratch/err")"
expect "with its sizes" "    file size <1024> expected <1029> actual" "$(sed -n 2p "$scratch/err")"
expect "partially failed" "Installation of <QDRNvqmm> partially failed." "$(tail -n 1 "$scratch/out")"
expect "the file is not installed" "" "$(ls "$scratch/root2/opt/Corla/vqmm/data/file0002" 2>/dev/null)"
expect "it is recorded as incomplete" "!QDRNvqmm" \
    "$(grep '/file0002 ' "$scratch/root2/var/sadm/install/contents" | awk '{ print $NF }')"
expect "pkginfo -l reports a partial installation" "    STATUS:  partially installed" \
    "$("$standins/pkginfo" -R "$scratch/root2" -l QDRNvqmm | grep STATUS)"
printf 'bad line\n' >>"$scratch/bad/QDRNvqmm/pkgmap"
"$standins/pkgadd" -n -R "$scratch/root3" -d "$scratch/bad" QDRNvqmm >/dev/null 2>"$scratch/err"
expect "a malformed pkgmap: status 1" 1 $?
expect_true "and nothing installed" test ! -e "$scratch/root3/opt"

# The package menu, a forced failure and the guard.
mkdir "$scratch/tmp4"
out=$(printf 'all\n' | TMPDIR="$scratch/tmp4" "$standins/pkgadd" -a "$sadm/install/admin/quiet" \
    -R "$scratch/root4" -d "$scratch/u" 2>/dev/null | head -n 4)
expect "pkgadd cut short by its reader leaves no scratch directory" "" "$(ls -A "$scratch/tmp4")"
expect "without a package: the menu" "|The following packages are available:|  1  QDRNvqmm       Corla Plimto print software|                    (sparc) 3.01.67|" \
    "$(echo "$out" | tr '\n' '|')"
conf pkgadd-status 1
"$standins/pkgadd" -R "$scratch/root5" -d "$scratch/u" QDRNvqmm >/dev/null 2>&1
expect "conf/pkgadd-status forces a failure" 1 $?
expect_true "before anything is changed" test ! -e "$scratch/root5"
rm -f "$SIM_DIR/conf/pkgadd-status"
if [ ! -e /var/sim ]; then
    "$standins/pkgadd" -d "$scratch/nonexistent" QDRNvqmm >/dev/null 2>&1
    expect "outside the sandbox and without -R pkgadd refuses" 99 $?
    "$standins/installf" QDRNvqmm /x f 0644 root bin >/dev/null 2>&1
    expect "outside the sandbox and without -R installf refuses" 99 $?
fi

# --- installf ------------------------------------------------------------------------
rm -rf "$sadm/pkg/QDRNvqmm.2"
target=$root/usr/local/Corla/vqmm/bin
mkdir -p "$target"
"$standins/installf" -R "$root" -c none QDRNvqmm /usr/local/Corla/vqmm/bin/pmqadmin f 0755 root bin
expect "installf registers a file" 0 $?
expect "as incomplete until -f" "/usr/local/Corla/vqmm/bin/pmqadmin f none 0755 root bin 0 0 0 !QDRNvqmm" \
    "$(grep /usr/local/Corla/vqmm/bin/pmqadmin "$contents")"
cp "$pkg/reloc/vqmm/pmqadmin" "$target/pmqadmin"
chmod 600 "$target/pmqadmin"
PKG_INSTALL_ROOT=$root "$standins/installf" QDRNvqmm /usr/local/Corla/vqmm/bin/ln=pmqadmin s
printf '%s\n' "/usr/local/Corla/vqmm/spool d 0777 root bin" "/usr/local/Corla/vqmm/fifo p 0600 root root" |
    "$standins/installf" -R "$root" QDRNvqmm -
expect "installf - reads descriptions" 0 $?
expect_true "directories are made at once" test -d "$root/usr/local/Corla/vqmm/spool"
expect "with their mode" 777 "$(stat -c %a "$root/usr/local/Corla/vqmm/spool")"
expect_true "pipes are made at once" test -p "$root/usr/local/Corla/vqmm/fifo"
expect_true "links wait for -f" test ! -L "$target/ln"
"$standins/installf" -R "$root" -f QDRNvqmm
expect "installf -f succeeds" 0 $?
expect "-f stores size, cksum, time and completes the file" \
    "/usr/local/Corla/vqmm/bin/pmqadmin f none 0755 root bin $(stat -c %s "$target/pmqadmin") $(sum -s "$target/pmqadmin" | cut -d ' ' -f 1) $(stat -c %Y "$target/pmqadmin") QDRNvqmm" \
    "$(grep /usr/local/Corla/vqmm/bin/pmqadmin "$contents")"
expect "-f corrects the mode" 755 "$(stat -c %a "$target/pmqadmin")"
expect "-f makes the links" pmqadmin "$(readlink "$target/ln")"
expect "no incomplete path is left" "" "$(grep '!QDRNvqmm' "$contents")"
expect_true "contents stays sorted" env LC_ALL=C sort -c -t ' ' -k 1,1 "$contents"
echo data >"$root/opt/Corla/vqmm/extra"
"$standins/installf" -R "$root" QDRNvqmm /opt/Corla/vqmm/extra
expect "a path without type is described as it is" \
    "/opt/Corla/vqmm/extra f none $(printf '%04o' "0$(stat -c %a "$root/opt/Corla/vqmm/extra")") root root 5 $(sum -s "$root/opt/Corla/vqmm/extra" | cut -d ' ' -f 1) $(stat -c %Y "$root/opt/Corla/vqmm/extra") QDRNvqmm" \
    "$(grep '^/opt/Corla/vqmm/extra ' "$contents")"
"$standins/installf" -R "$root" -c special QDRNvqmm /opt/Corla/vqmm/c1 f 0644 root bin
"$standins/installf" -R "$root" QDRNvqmm /opt/Corla/vqmm/c2 f 0644 root bin
echo 1 >"$root/opt/Corla/vqmm/c1"
echo 2 >"$root/opt/Corla/vqmm/c2"
"$standins/installf" -R "$root" -f -c special QDRNvqmm
expect "-f -c finishes only that class" "QDRNvqmm !QDRNvqmm" \
    "$(grep -e '^/opt/Corla/vqmm/c1 ' -e '^/opt/Corla/vqmm/c2 ' "$contents" | awk '{ print $NF }' | tr '\n' ' ' | sed 's/ $//')"
"$standins/installf" -R "$root" -f QDRNvqmm
"$standins/installf" -R "$root" QDRNvqmm relative f 0644 root bin 2>"$scratch/err"
expect "a relative path is refused" 1 $?
expect "with a message" "installf: ERROR: pathname <relative> must be absolute" "$(cat "$scratch/err")"
"$standins/installf" -R "$root" QDRNvqmm /x f 9999 root bin 2>/dev/null
expect "a bad mode is refused" 1 $?
"$standins/installf" -R "$root" QDRNvqmm /x f 0644 root 2>/dev/null
expect "missing attributes are refused" 1 $?
"$standins/installf" -R "$root" NOSUCH /x f 0644 root bin 2>/dev/null
expect "an unknown instance is refused" 1 $?
names "$sadm/install" | grep -q '\.installf' && fail "installf leaves work files behind"

# --- pkginfo ---------------------------------------------------------------------------
expect "pkginfo lists one line per instance" \
    "$(printf '%-11.11s %-14s %s' application QDRNvqmm 'Corla Plimto print software')" \
    "$("$standins/pkginfo" -R "$root")"
expect "pkginfo -x" "QDRNvqmm       Corla Plimto print software|               (sparc) 3.01.67|" \
    "$("$standins/pkginfo" -R "$root" -x | tr '\n' '|')"
"$standins/pkginfo" -R "$root" -q QDRNvqmm
expect "pkginfo -q of a known instance: status 0" 0 $?
out=$("$standins/pkginfo" -R "$root" NOSUCH 2>&1)
expect "pkginfo of an unknown instance: status 1" 1 $?
expect "with the real message" 'ERROR: information for "NOSUCH" was not found' "$out"
"$standins/pkginfo" -R "$root" -c system >/dev/null
expect "pkginfo -c of another category lists nothing: status 1" 1 $?
mkdir -p "$sadm/pkg/QDRNvqmm.2"
sed 's/^PKGINST=.*/PKGINST=QDRNvqmm.2/' "$sadm/pkg/QDRNvqmm/pkginfo" >"$sadm/pkg/QDRNvqmm.2/pkginfo"
expect "pkginfo PKG.* names every instance" 2 "$("$standins/pkginfo" -R "$root" 'QDRNvqmm.*' | wc -l)"
long=$("$standins/pkginfo" -R "$root" -l QDRNvqmm)
expect "pkginfo -l lines" "   PKGINST:  QDRNvqmm|      NAME:  Corla Plimto print software|  CATEGORY:  application|      ARCH:  sparc|   VERSION:  3.01.67|   BASEDIR:  /opt/Corla|" \
    "$(echo "$long" | head -n 6 | tr '\n' '|')"
expect "pkginfo -l status" "    STATUS:  completely installed" "$(echo "$long" | grep STATUS)"
expect_match "pkginfo -l counts" "     FILES:  *[0-9]* installed pathnames" "$(echo "$long" | grep FILES)"

"$standins/installf" -R "$root" QDRNvqmm /opt/never f 0644 root bin
"$standins/installf" -R "$root" -f QDRNvqmm 2>"$scratch/err"
expect "-f on a missing file fails" 1 $?
expect "and says so" "ERROR: attribute verification of </opt/never> failed|    pathname does not exist|" \
    "$(tr '\n' '|' <"$scratch/err")"
expect "the last installf call is in the command log" "installf -R $root -f QDRNvqmm" "$(tail -n 1 "$log")"
expect "pkginfo -l then reports a partial installation" "    STATUS:  partially installed" \
    "$("$standins/pkginfo" -R "$root" -l QDRNvqmm | grep STATUS)"

finish
