// Links: the symbolic links the installer makes through the runner: the
// /opt/Corla/vqmm link of an installation elsewhere, the "link" pairs of the
// package command file and the print script's link for LPRng.
#pragma once

// Remove a symbolic link left at path (rm -f, output to the log, a failure
// only logged); anything else there is left for the command that needs the
// place to meet.
void RemoveStaleLink(const char *path);

// ln -s target link in the runner's mode (CmdFatal: a failure ends the run;
// CmdLogged: it is only logged).
void MakeLink(const char *target, const char *link, int mode);

// The link at link renewed to point at target: rm -f link whatever is
// there (output to the log, a failure only logged), then ln -s, whose
// failure ends the run.
void RenewLink(const char *target, const char *link);
