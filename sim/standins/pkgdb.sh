# The installed-package database of the stand-in package tools (sourced by
# pkgadd, installf and pkginfo), laid out as on Solaris below a root prefix:
#
#   <root>/var/sadm/pkg/<PKGINST>/pkginfo   parameters of an installed
#                                           instance, PARAM=value, unquoted
#   <root>/var/sadm/install/contents        one line per installed path,
#                                           sorted, fields separated by one
#                                           blank, the owning instances last:
#     f, e, v  path type class mode owner group size cksum modtime pkg...
#     d, x, p  path type class mode owner group pkg...
#     b, c     path type class major minor mode owner group pkg...
#     s, l     path=target type class pkg...
#   An instance written "!PKG" owns a path that is registered but not yet
#   complete (installf before installf -f, or a path pkgadd failed on).

# pkgdb_fields TYPE: how many leading fields of a contents line of that type
# describe the object (the instances follow).
pkgdb_fields_awk='
function nattr(t) {
    if (t ~ /^[fev]$/) return 9
    if (t ~ /^[dxp]$/) return 6
    if (t ~ /^[bc]$/) return 8
    return 3
}
function path_of(s,   p) { p = s; sub(/=.*/, "", p); return p }'

# pkgdb_merge ROOT NEWFILE: adds the lines of NEWFILE (contents lines, each
# ending with one instance, "PKG" or "!PKG") to the contents file. A path
# already listed keeps its other owners; its description is replaced, except
# that a directory keeps the description it has. New paths are put in their
# sorted place. The file is written beside the old one and renamed over it,
# so a reader never sees half a file. (One awk and one mv: installf runs once
# per file of a package.)
pkgdb_merge() {
    contents=$1/var/sadm/install/contents
    [ -d "$1/var/sadm/install" ] || mkdir -p "$1/var/sadm/install" || return 1
    [ -f "$contents" ] || : >"$contents"
    LC_ALL=C awk "$pkgdb_fields_awk"'
    # the new paths not yet in the file, in sorted order (there are few)
    function sort_new(   i, j, v) {
        for (i = 1; i <= count; i++) if (!(order[i] in exists)) fresh[++nfresh] = order[i]
        for (i = 2; i <= nfresh; i++) {
            v = fresh[i]
            for (j = i - 1; j >= 1 && newfirst[fresh[j]] > newfirst[v]; j--) fresh[j + 1] = fresh[j]
            fresh[j + 1] = v
        }
        next_fresh = 1; sorted = 1
    }
    function flush(limit, all) {
        if (!sorted) sort_new()
        while (next_fresh <= nfresh && (all || newfirst[fresh[next_fresh]] < limit)) {
            k = fresh[next_fresh++]
            print newattr[k] " " newpkg[k]
        }
    }
    FILENAME == ARGV[1] {
        k = path_of($1); n = nattr($2)
        attr = $1; for (i = 2; i <= n; i++) attr = attr " " $i
        if (!(k in newattr)) order[++count] = k
        newattr[k] = attr; newtype[k] = $2; newpkg[k] = $NF; newfirst[k] = $1
        next
    }
    # first reading of the contents file (the second is named differently)
    FILENAME == ARGV[2] { if (path_of($1) in newattr) exists[path_of($1)] = 1; next }
    {
        flush($1, 0)
        k = path_of($1)
        if (!(k in newattr)) { print; next }
        n = nattr($2)
        attr = $1; for (i = 2; i <= n; i++) attr = attr " " $i
        bare = newpkg[k]; sub(/^!/, "", bare)
        owners = ""
        for (i = n + 1; i <= NF; i++)
            if ($i != bare && $i != "!" bare) owners = owners " " $i
        if (!($2 ~ /^[dx]$/ && newtype[k] ~ /^[dx]$/)) attr = newattr[k]
        print attr owners " " newpkg[k]
    }
    END { flush("", 1) }' "$2" "$contents" "${contents%/*}/./contents" >"$contents.new.$$" &&
        mv -f "$contents.new.$$" "$contents"
}

# pkgdb_param FILE NAME: the value of parameter NAME in a pkginfo file,
# without surrounding double quotes; empty when absent.
pkgdb_param() {
    awk -v name="$2" '
        index($0, name "=") == 1 {
            v = substr($0, length(name) + 2)
            if (v ~ /^".*"$/) v = substr(v, 2, length(v) - 2)
            print v; exit
        }' "$1"
}

# pkgdb_measure ROOT LIST: for every path of LIST (one per line, without the
# root prefix) that is a regular file, prints
#   path mode owner group size cksum modtime
# with a four-digit octal mode and the checksum of the package tools (the
# System V sum). Two commands measure the whole list, so a large package
# costs no more processes than a small one.
pkgdb_measure() {
    measure_dir=$(mktemp -d "${TMPDIR:-/tmp}/pkgdb.XXXXXX") || return 1
    awk -v r="$1" '{ print r $0 }' "$2" >"$measure_dir/paths"
    xargs -r -d '\n' stat -L -c '%F|%a %U %G %s %Y %n' <"$measure_dir/paths" \
        >"$measure_dir/stat" 2>/dev/null
    grep '^regular' "$measure_dir/stat" | sed 's/^[^|]*|//' >"$measure_dir/files"
    sed 's/^[^ ]* [^ ]* [^ ]* [^ ]* [^ ]* //' "$measure_dir/files" |
        xargs -r -d '\n' sum -s >"$measure_dir/sum" 2>/dev/null
    awk -v r="$1" '
        function name(line, skip) {
            while (skip-- > 0) sub(/^[^ ]* /, "", line)
            return substr(line, length(r) + 1)
        }
        FILENAME == ARGV[1] { sum[name($0, 2)] = $1; next }
        {
            p = name($0, 5); m = $1
            printf "%s %s %s %s %s %s %s\n", p, substr("0000" m, length(m) + 1), $2, $3, $4, sum[p] + 0, $5
        }' "$measure_dir/sum" "$measure_dir/files"
    rm -rf "$measure_dir"
}

# pkgdb_partial ROOT PKGINST: true when some path of the instance is
# incomplete.
pkgdb_partial() {
    [ -f "$1/var/sadm/install/contents" ] &&
        awk -v p="!$2" '{ for (i = 2; i <= NF; i++) if ($i == p) { found = 1; exit } }
                        END { exit !found }' "$1/var/sadm/install/contents"
}
