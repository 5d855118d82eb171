// Readiness: whether this run may install at all: the operator, the
// system release, and an old print daemon left in the way.
#pragma once

// 1 when the run may go on; 0 when the operator is not root (entry 35).
// Sets pCorlaPkgName. A system release after "5.5.9" ends the run with
// entry 61 on standard error, the clean-up and status 0; an old print
// daemon leads to the continue question, whose negative answer (or the end
// of input) ends the run with status 0.
int readyForInstallation();

// The highest system release this build installs on, compared byte by byte.
inline constexpr const char *MaxRelease = "5.5.9";
