// Locations: the command line, the installation found on the machine, the
// move of that installation to a new target, and the clean-up at the end.
//
// Paths kept in the run-wide globals (SetupGlobals.h) are new texts that
// live until the program ends; StripToBaseName works in place.
#pragma once

// Read the command line: setup [<work-area parent>] [install <dir>] [-v],
// words in any order, matched exactly against ",install,-v". Sets
// pCmdLineInstallDir and pCorlaInstallDir (made absolute), creates a missing
// work-area parent (flCreatedTmpDir). "-v" prints "<my_name> 3.01.67" on
// standard error and ends the run with status 0 when it is reached. A parent
// that cannot be created, or a path that cannot travel in a command line,
// ends the run with catalogue entry 3 and status 2.
void parseCommandLineOptions(int argc, char **argv);

// The installation directory of the installation already on the machine,
// found through /opt/Corla/vqmm (the directory itself, or a link to
// <dir>/Corla/vqmm), as a new text; none when there is none.
char *locatePreviousInstallation();

// Reduce, in place, a path that may end in the application directory to its
// installation directory: cut at the first path component "vqmm", then at
// the first component "Corla", then drop one trailing "/" (an empty result
// becomes "/"). /usr/local/Corla/vqmm gives /usr/local; /data/vqmm_old stays.
// Yields path (none gives none).
char *StripToBaseName(char *path);

// Move the installation of pCurrentInstallDir to pTargetInstallDir and renew
// the /opt/Corla/vqmm link; nothing is done when both name the same
// directory once links are resolved.
void MoveInstallation();

// End of run: remove the work area (and the parent this run created, when
// it is empty), then start <pAppDir>/pmqadmin with -upgrade and -clean.
void CorlaClean(const char *workArea);
// Only the first half: the work area (and the parent this run created, when
// it is empty) removed.
void RemoveWorkArea(const char *workArea);

// 1 when path can be written into the installer's command lines as it is:
// no blank, tab, line end, quote, backquote, "$", "\", ";", "&", "|", "<",
// ">", "*", "?", "(" or ")".
int PathTravels(const char *path);

// Refuse path when it cannot travel: catalogue entry 3 naming it, then
// "\n\n" on standard output and the end of the run with status 2.
void RefuseUntravelledPath(const char *path);

// path made absolute against the current directory, with doubled "/" and
// "." components removed (".." is kept: links give it its meaning). New text.
char *MakeAbsolutePath(const char *path);

// 1 when the two paths name the same directory once resolved (realpath);
// when either cannot be resolved, when they are equal as texts.
int SameDirectory(const char *a, const char *b);
