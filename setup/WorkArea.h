// WorkArea: the directory the distribution is staged into
// (pCorlaInstallDir, <parent>/CorlaInstall): the parent made when the
// command line names a missing one, the work area made afresh for the run,
// and both removed at the end. The parent this run made is kept in
// pCreatedTmpDir (SetupGlobals.h).
#pragma once

// Make the missing work-area parent dir (mkdir -p through the runner), once
// the existing part of the way to it is found closed to other users; sets
// flCreatedTmpDir and pCreatedTmpDir. A parent that still does not exist
// is refused with entry 3 and status 2 (RefuseUnusablePath).
void MakeWorkAreaParent(const char *dir);

// Make workArea afresh: a new directory of this user's, mode 755 whatever
// the umask, after an old one was removed (rm -rf through the runner). A
// work area that is or holds the distribution directory, or one that cannot
// be made as such, is refused with entry 3 and status 2 before anything is
// removed. From then on a failure or a stop removes it (Outcome.h).
void MakeFreshWorkArea(const char *workArea);

// Remove workArea (rm -rf through the runner, from "/"); when this run made
// its parent, rm -rf once more from /opt and then the parent and the
// directories made for it, deepest first, as long as each is empty.
void RemoveWorkArea(const char *workArea);
