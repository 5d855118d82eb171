// Install: checks, unpacking, and the two ways the package's files reach
// their places.
#include "Install.h"

#include "Archive.h"
#include "Catalogue.h"
#include "Locations.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "PkgList.h"
#include "Scripts.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "Staging.h"
#include "SysCmd.h"
#include "Words.h"
#include "utils.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// Files whose presence in the application directory marks an old daemon.
constexpr const char *OldDaemon = "PlimtoD";
constexpr const char *OldDaemonStop = "PlimtoDStop";

// An answer line of the continue question (the rest of a longer line is
// dropped).
constexpr size_t AnswerSize = 511;

// The old daemon's run-control links, removed when the operator continues.
void RemoveOldDaemonLinks() {
    DeleteFile(RcDir, "KCorlaPrintD");
    DeleteFile(RcDir, "SCorlaPrintD");
}

// The continue question after the old-daemon notice: 1 to go on; the
// negative answer ends the run (the work area stays). The end of input
// counts as the negative answer.
int AskToContinue() {
    for (;;) {
        printf("%s", nlsSetupStrCvt(NlsContinuePrompt));
        fflush(stdout);
        char answer[AnswerSize];
        if (!ReadAnswerLine(answer, sizeof answer)) exit(0);
        const char *cursor = answer;
        char word[AnswerSize];
        bool cut = false;
        if (NextWord(&cursor, " \t\r\n", word, sizeof word, &cut) == nullptr) continue;
        switch (FindWord(word, ",y,yes,n,no,")) {
        case 1: // "y"
        case 2: // "yes"
            RemoveOldDaemonLinks();
            return 1;
        case 3: // "n"
        case 4: // "no"
            exit(0);
        default:
            break; // ask again
        }
    }
}

// Make dir (mkdir -p when missing) and set its mode; failures end the run.
void MakeDirectory(const char *dir, const char *mode) {
    CreateFile(dir, nullptr, mode, nullptr, nullptr);
}

// The job-download area and the spool directory of a fresh installation.
void MakeSpoolDirectories() {
    MakeDirectory(SpoolDir, "775");
    char *download = SaveStr("%s/%s/__pma_download__", SpoolDir, ProductDir);
    MakeDirectory(download, "777");
    PutMem(download);
}

// The joined archive lacks a part: said on standard error and in the log,
// and the run ends with status 1 before anything is unpacked. The work area
// is removed, as after any failure.
[[noreturn]] void ArchiveIncomplete(const char *archive) {
    char text[PATH_MAX + 512];
    NlsSetupFormat(text, sizeof text, NlsArchiveIncomplete, "%s", archive);
    PutLogMsg("ERROR: %s\n", text);
    MarkRunFailed();
    ErrorMsg(ErrFatal, 1, "%s", text);
    exit(1); // not reached: ErrorMsg ends the run at this level
}

} // namespace

int readyForInstallation() {
    char *user = GetUserName();
    if (user == nullptr || strcmp(user, "root") != 0) {
        NlsSetupPrintf(NlsNotRoot, "%s %s", user != nullptr ? user : "", my_name);
        if (user != nullptr) PutMem(user);
        return 0;
    }
    PutMem(user);
    if (pCorlaPkgName == nullptr) pCorlaPkgName = SaveStr("QDRN%s", ProductDir);

    // The release gate: a release that sorts after MaxRelease is refused;
    // no answer from uname passes.
    CmdResponse *release = GetCmdResponse(CmdUname, nullptr, "%s", "-r");
    if (release != nullptr) {
        const char *cursor = release->text;
        char word[CmdLineSize];
        bool cut = false;
        bool refused = NextWord(&cursor, " \t\r\n", word, sizeof word, &cut) != nullptr &&
                       strcmp(word, MaxRelease) > 0;
        FreeResponseList(release);
        if (refused) {
            fputs(nlsSetupStrCvt(NlsWrongRelease), stderr);
            CorlaClean(pCorlaInstallDir);
            exit(0);
        }
    }

    if (!FindFile(pAppDir, OldDaemon) && !FindFile(pAppDir, OldDaemonStop)) return 1;
    NlsSetupPrintf(NlsOldDaemon, "%s %s %s %s", CompanyDir, CompanyDir, CompanyDir, ProductDir);
    return AskToContinue();
}

void createInstallationDirectories(const char *installDir) {
    // A link left at /opt/Corla/vqmm by an installation that is gone would
    // stop the new one from being made or linked there.
    if (GetFileType(AppLinkPath) == FileLink) {
        QuotedArg link(CmdRm, AppLinkPath);
        SysCmd(CmdRm, CmdLogged, "%s", link.text);
    }
    char *company = JoinSetupPath(installDir, CompanyDir);
    char *appDir = JoinSetupPath(company, ProductDir);
    if (strcmp(installDir, DefaultInstallDir) == 0) {
        MakeDirectory(appDir, "755");
    } else {
        MakeDirectory(appDir, "775");
        if (GetFileType(CompanyLinkDir) == FileMissing) MakeDirectory(CompanyLinkDir, "775");
        QuotedArg app(CmdLn, appDir);
        QuotedArg link(CmdLn, AppLinkPath);
        SysCmd(CmdLn, CmdFatal, "-s %s %s", app.text, link.text);
    }
    PutMem(appDir);
    PutMem(company);
}

void createPrintingSubsystemFile(const char *appDir) {
    const char *flags = " V5 ";
    if (SniffLprng()) flags = " LPRng ";
    if (SniffCUPS()) flags = " CUPS ";
    char *path = SaveStr("%s/.pm_cfg", appDir);
    // Written beside the old file and renamed over it: a failed write leaves
    // the old one. The run goes on; it ends incomplete, and any later run
    // writes the file again.
    if (!CreateTextFile(path, "wt", 0644, "%s", flags)) NoteUnwritten(path);
    PutMem(path);
}

int Install() {
    SetStep(NlsStepReady);
    if (!readyForInstallation()) return 0;
    SetStep(NlsStepUnpacking);
    genZFile();

    char *tarName = SaveStr("%s.tar", ArchiveBaseName);
    char *tar = JoinSetupPath(pCorlaInstallDir, tarName);
    char *compressed = SaveStr("%s.Z", tar);
    {
        QuotedArg archive(CmdUncompress, compressed);
        SysCmd(CmdUncompress, CmdFatal, "%s", archive.text);
    }
    // uncompress and tar take a cut archive for a shorter one; nothing may
    // be unpacked, let alone installed, from it.
    if (!TarFileWhole(tar)) ArchiveIncomplete(compressed);
    ChangeDirectory(pCorlaInstallDir);
    {
        QuotedArg archive(CmdTarX, tar);
        SysCmd(CmdTarX, CmdFatal, "%s", archive.text);
    }
    DeleteFile(pCorlaInstallDir, tarName);
    PutMem(compressed);
    PutMem(tar);
    PutMem(tarName);

    if (pCurrentInstallDir != nullptr) {
        SetStep(NlsStepScripts);
        createPrintingSubsystemFile(pAppDir);
        createQueueScripts(SpoolDir);
        SetStep(NlsStepUpgrade);
        upgradeSolarisPackage(pCorlaPkgName, pCorlaInstallDir);
        // A fresh installation cut short after pkgadd left its package
        // command file to this run: carried out once the package's files are
        // in place.
        if (!UpgradeFailed() && PkgListPending(pAppDir)) {
            SetStep(NlsStepPkgList);
            MakeSpoolDirectories();
            int quit = ProcessPkgList(".");
            ClearPkgListPending(pAppDir);
            if (quit != 0) return 1;
        }
    } else {
        SetStep(NlsStepPackage);
        // Until its end, a failure or a stop takes away what this
        // installation made, so that no later run takes it for one.
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
        SetStep(NlsStepPkgList);
        MakeSpoolDirectories();
        int quit = ProcessPkgList(".");
        NoteFreshInstallationDone();
        if (quit != 0) return 1;
    }

    char *company = JoinSetupPath(pTargetInstallDir, CompanyDir);
    QuotedArg companyArg(CmdChmod, company);
    SysCmd(CmdChmod, CmdQuiet, "755 %s", companyArg.text);
    PutMem(company);
    return 0;
}
