// CleanUp: the end of a run that got through, and of the refusals that end
// as one (a later system release, quitting at the running-program check).
#pragma once

// Remove the work area (and the parent this run created, when it is empty;
// WorkArea.h), then start <pAppDir>/pmqadmin with -upgrade and -clean
// through the shell, a "." on standard output after each.
void CorlaClean(const char *workArea);
