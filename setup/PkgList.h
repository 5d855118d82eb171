// PkgList: the package command file "pkg.list" of the archive, carried out
// in a fresh installation (the upgrade goes by the package map instead,
// Upgrade.h). It copies files and directories into the application
// directory and sets their modes, owners, groups, names and links, edits
// files with sed, writes wrapper scripts into /usr/bin, can make lines
// depend on the system release and can stop for running programs.
//
// A command line is "<command> <argument> [<key> <value>]...". Commands:
//   dir A            cp -pr <work>/./A <appdir>
//   dirto A D        cp -pr <work>/./A D
//   t A              touch <appdir>/A
//   c A              cp -p <work>/./A <appdir> (also any word not listed here)
//   m A, s A         nothing; the line is skipped when <appdir>/A is missing
//   # ...            a comment
//   v OP VER CMD...  CMD... only when the release compares OP (<, <=, =, >,
//                    >=, byte by byte) with VER; conditions can be chained
//   newdir A         make <appdir>/A (775); the line is skipped when it exists
//   checkps LIST     running-program check; quitting ends the file at once
// Keys act on <appdir>/A: mode (chmod), bat (wrapper /usr/bin/<value>),
// owner (chown -R), group (chgrp -R), link (ln -s <appdir>/A <value>), name
// (mv -f to <appdir>/<value>), sed (edit in place; in the first pair the
// value is the whole rest of the line); other keys are ignored
// (PkgAttributes.h).
#pragma once

#include <sys/utsname.h>

// Carry out <work>/<subDir>/pkg.list. Yields 0 when worked through, 1 when
// the operator quit at a "checkps" line. A missing file ends the run with
// "can't open file, <path>" on standard error and status 0.
int ProcessPkgList(const char *subDir);

// Whether a version condition holds: the release compared byte by byte with
// version by the operator word ("<", "<=", "=", ">", ">="); any other
// operator does not hold.
bool VersionConditionHolds(const char *release, const char *op, const char *version);

// Where the version conditions read the running system's release: the
// uname system call (replaceable so that tests can make it fail).
extern int (*PkgListUname)(struct utsname *name);
