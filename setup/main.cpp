// setup: the terminal installer of the Corla Plimto print software, package
// QDRNvqmm. One run, from the command line to the clean-up:
//
//   setup [<work-area parent>] [install <install dir>] [-v]
//
// started as root from the distribution directory. Exit status 0 for a
// normal end and for every refusal the installer reports itself, 1 when a
// command it cannot do without fails or the installation is incomplete, 2
// when the work area or a path of the command line cannot be used, 128 + N
// when signal N stopped it.
#include "Catalogue.h"
#include "CleanUp.h"
#include "CommandLine.h"
#include "Locations.h"
#include "MemMgr.h"
#include "Move.h"
#include "Outcome.h"
#include "PathChecks.h"
#include "RunningCheck.h"
#include "SetupGlobals.h"
#include "Space.h"
#include "Staging.h"
#include "SysCmd.h"
#include "WorkArea.h"
#include "utils.h"

#include <cstdlib>
#include <sys/stat.h>

int main(int argc, char **argv) {
    // Everything this run makes (directories made by mkdir -p, the work
    // area, files the commands create) gets modes that do not depend on the
    // operator's umask: nothing the run makes is writable by others unless
    // a mode says so.
    umask(022);
    // Failures and stops end the run telling which step they cut short.
    WatchRun();
    const char *program = argc > 0 && argv[0] != nullptr ? argv[0] : "setup";
    flUseLog = 1;
    pCorlaInstallDir = SaveStr("/tmp/%sInstall", CompanyDir);
    LineBuf[0] = '\0';
    pPathToSetup = GetToolPath(program);
    my_name = SaveStr_(StripPath(program));

    InitSysCmdList();
    FillInstallInfo();
    parseCommandLineOptions(argc, argv);
    RefuseShellUnsafePath(pPathToSetup);
    // Once every directory down to the work area is closed to other users,
    // only root and the operator can change it, so this holds for the rest
    // of the run.
    RefuseUnsafeWorkArea(pCorlaInstallDir);

    pCurrentInstallDir = locatePreviousInstallation();
    if (pCurrentInstallDir != nullptr) RefuseShellUnsafePath(pCurrentInstallDir);
    pTargetInstallDir = SaveStr_(pCmdLineInstallDir != nullptr   ? pCmdLineInstallDir
                                 : pCurrentInstallDir != nullptr ? pCurrentInstallDir
                                                                 : DefaultInstallDir);
    char *company = JoinSetupPath(pTargetInstallDir, CompanyDir);
    pAppDir = JoinSetupPath(company, ProductDir);
    PutMem(company);

    FreeSpaceForInstall(pCorlaInstallDir, pTargetInstallDir, CompanyDir);

    if (pCurrentInstallDir != nullptr) {
        if (QuitForRunningProcesses(pBinaryInstanceCheckList) != 0) {
            CorlaClean(pCorlaInstallDir);
            exit(0);
        }
        SetStep(NlsStepMove);
        MoveInstallation();
    }

    installFromSite(pCorlaInstallDir);
    if (RunIncomplete()) {
        // A run that could not write what it had to: said, and the work area
        // goes, but the suite's programs are not started on it.
        SayWhatFailed();
        RemoveWorkArea(pCorlaInstallDir);
        exit(1);
    }
    CorlaClean(pCorlaInstallDir);
    exit(0);
}
