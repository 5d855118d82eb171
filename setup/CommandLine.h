// CommandLine: the words setup is started with.
//
//   setup [<work-area parent>] [install <dir>] [-v]
//
// Paths it takes are new texts kept in the run-wide globals
// (SetupGlobals.h) until the program ends.
#pragma once

// Read the command line: words in any order, matched exactly against
// ",install,-v", left to right, a later one replacing an earlier one. Sets
// pCmdLineInstallDir (made absolute and reduced by StripToBaseName) and
// pCorlaInstallDir (<parent made absolute>/CorlaInstall), creates a missing
// work-area parent (flCreatedTmpDir; WorkArea.h). "-v" prints
// "<my_name> 3.01.67" on standard error and ends the run with status 0 when
// it is reached. A parent that cannot be created, or a path that cannot
// travel in a command line (PathChecks.h), ends the run with catalogue entry
// 3 and status 2.
void parseCommandLineOptions(int argc, char **argv);
