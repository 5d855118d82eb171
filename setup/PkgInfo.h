// PkgInfo: the package database's record of the package,
// /var/sadm/pkg/<package>/pkginfo, whose VERSION line an upgrade raises to
// this installer's release.
#pragma once

// Write the record with its VERSION raised to pkginfo.tmp beside it (sed
// through the shell, a "." on standard output) and move that over the
// record once it holds a VERSION line, with the record's mode, owner and
// group. A record the edit gave nothing usable for stays as it is; neither
// stops the run, the log says what went wrong.
void RaiseRecordedVersion(const char *package);
