// Staging: the copy of every file the distribution's list names
// (ListFile.h) into a fresh work area, then the installation from it.
#pragma once

// Stage the distribution into workArea (made afresh, mode 755, by this
// run; WorkArea.h), then run the installation (Install). Always yields 0. A
// work area that is or holds the distribution directory, or one that cannot
// be made, ends the run with catalogue entry 3 and status 2 before anything
// is removed or copied.
int installFromSite(const char *workArea);
