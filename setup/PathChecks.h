// PathChecks: what a path must be before the run uses it, and the refusals
// (status 2) of one that is not: a path the installer's shell command lines
// cannot carry, one that cannot be opened or made, and a way to the work
// area that another user could change. Every check is made before the run
// changes anything with that path; none keeps what it returns.
#pragma once

// 1 when path can be written into the installer's shell command lines as it
// is: no blank, tab, line end, quote, backquote, "$", "\", ";", "&", "|",
// "<", ">", "*", "?", "(" or ")".
int ShellSafePath(const char *path);

// Refuse a path the command lines cannot carry (ShellSafePath): as
// RefuseUnusablePath.
void RefuseShellUnsafePath(const char *path);

// Refuse a path the run cannot use (a directory that cannot be made or
// opened, a path the command lines cannot carry): catalogue entry 3 naming
// it (none names nothing), then "\n\n" on standard output and the end of the
// run with status 2.
[[noreturn]] void RefuseUnusablePath(const char *path);

// The first directory on the way from "/" to the absolute path dir that a
// user other than root and the operator could change (one they own, or one
// that group or others may write to without the sticky bit), or a link on
// that way that such a user owns, as a new text; none when every directory
// down to dir is closed to them. Links are followed; a part of the way that
// does not exist yet ends the check.
char *UnsafeDirectoryOnPath(const char *dir);

// Refuse a work area whose parent another user could change (they could
// swap the work area for their own between two commands): catalogue entry
// 71 naming the work area and that directory, "\n\n", status 2.
void RefuseUnsafeWorkArea(const char *workArea);
// The same for the part of the way to the parent that exists, before the
// missing rest is created.
void RefuseUnsafeWorkAreaBase(const char *workArea, const char *existingBase);
