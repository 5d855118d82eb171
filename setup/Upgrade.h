// Upgrade: the installation found at the start brought to this release by
// the package map: every regular file it lists registered with installf
// and copied over the installed one, then the package's registration
// finished and its recorded version raised (PkgInfo.h).
//
// The map is <work>/<package>/pkgmap; of each line the first seven words
// (part, type, class, path, mode, owner, group) are used, and only lines of
// type "f". An absolute path comes from the package's root tree, any other
// is relative to <install dir>/Corla and comes from its reloc tree. The
// upgrade's commands run through the shell (RunShell); none stops the run,
// and the outcome of each file is told to Outcome.h.
#pragma once

// Register and copy every regular file of <workArea>/<package>/pkgmap,
// then, when every copy and registration succeeded, finish the
// registration (installf -f) and raise the VERSION of
// /var/sadm/pkg/<package>/pkginfo. Yields 1. A missing map ends the run as
// a missing command file does.
int upgradeSolarisPackage(const char *package, const char *workArea);
