// Install: the two ways the package's files reach their places, and what
// the installation makes for them.
#include "Install.h"

#include "Catalogue.h"
#include "Links.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "PkgList.h"
#include "Readiness.h"
#include "Scripts.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "Unpack.h"
#include "Upgrade.h"
#include "utils.h"

#include <cstring>

namespace {

// Make dir (mkdir -p when missing) and set its mode; failures end the run.
void MakeDirectory(const char *dir, const char *mode) {
    CreateFile(dir, nullptr, mode, nullptr, nullptr);
}

// The job-download area and the spool directory of a fresh installation.
void MakeSpoolDirectories() {
    MakeDirectory(SpoolDir, "775");
    ScopedMem download(SaveStr("%s/%s/__pma_download__", SpoolDir, ProductDir));
    MakeDirectory(download.get(), "777");
}

// The spool directories, then the package command file. Yields 1 when the
// operator quit at one of its running-program checks.
int CarryOutPkgList() {
    SetStep(NlsStepPkgList);
    MakeSpoolDirectories();
    return ProcessPkgList(".");
}

// The upgrade of the installation found at the start: the kept files and
// scripts rewritten, the package map's files copied and registered. A
// fresh installation cut short after pkgadd left its package command file
// to this run: carried out once the package's files are in place. Yields
// 1 when the operator quit there.
int UpgradeInstallation() {
    SetStep(NlsStepScripts);
    createPrintingSubsystemFile(pAppDir);
    createQueueScripts(SpoolDir);
    SetStep(NlsStepUpgrade);
    upgradeSolarisPackage(pCorlaPkgName, pCorlaInstallDir);
    if (UpgradeFailed() || !PkgListPending(pAppDir)) return 0;
    int quit = CarryOutPkgList();
    ClearPkgListPending(pAppDir);
    return quit;
}

// A fresh installation: the application directory, pkgadd, the scripts and
// the package command file. Until its end, a failure or a stop takes away
// what this installation made, so that no later run takes it for one.
// Yields 1 when the operator quit at a running-program check.
int FreshInstallation() {
    SetStep(NlsStepPackage);
    NoteFreshInstallation(pTargetInstallDir, pAppDir);
    createInstallationDirectories(pTargetInstallDir);
    createPrintingSubsystemFile(pAppDir);
    ChangeDirectory(pCorlaInstallDir);
    {
        // Unshown: the package tool talks to the operator directly.
        QuotedArg work(-CmdPkgadd, pCorlaInstallDir);
        QuotedArg package(-CmdPkgadd, pCorlaPkgName);
        SysCmd(-CmdPkgadd, CmdFatal, "-d %s %s", work.text, package.text);
    }
    NotePackageAdded();
    SetStep(NlsStepScripts);
    createQueueScripts(SpoolDir);
    int quit = CarryOutPkgList();
    NoteFreshInstallationDone();
    return quit;
}

} // namespace

void createInstallationDirectories(const char *installDir) {
    // A link left at /opt/Corla/vqmm by an installation that is gone would
    // stop the new one from being made or linked there.
    RemoveStaleLink(AppLinkPath);
    ScopedMem company(JoinSetupPath(installDir, CompanyDir));
    ScopedMem appDir(JoinSetupPath(company.get(), ProductDir));
    if (strcmp(installDir, DefaultInstallDir) == 0) {
        MakeDirectory(appDir.get(), "755");
        return;
    }
    MakeDirectory(appDir.get(), "775");
    if (GetFileType(CompanyLinkDir) == FileMissing) MakeDirectory(CompanyLinkDir, "775");
    MakeLink(appDir.get(), AppLinkPath, CmdFatal);
}

void createPrintingSubsystemFile(const char *appDir) {
    const char *flags = " V5 ";
    if (SniffLprng()) flags = " LPRng ";
    if (SniffCUPS()) flags = " CUPS ";
    ScopedMem path(SaveStr("%s/.pm_cfg", appDir));
    // Written beside the old file and renamed over it: a failed write leaves
    // the old one. The run goes on; it ends incomplete, and any later run
    // writes the file again.
    if (!CreateTextFile(path.get(), "wt", 0644, "%s", flags)) NoteUnwritten(path.get());
}

int Install() {
    SetStep(NlsStepReady);
    if (!readyForInstallation()) return 0;
    SetStep(NlsStepUnpacking);
    UnpackArchive();
    int quit = pCurrentInstallDir != nullptr ? UpgradeInstallation() : FreshInstallation();
    if (quit != 0) return 1;

    ScopedMem company(JoinSetupPath(pTargetInstallDir, CompanyDir));
    QuotedArg companyArg(CmdChmod, company.get());
    SysCmd(CmdChmod, CmdQuiet, "755 %s", companyArg.text);
    return 0;
}
