// Readiness: whoami, uname -r and the old daemon's files.
#include "Readiness.h"

#include "Catalogue.h"
#include "CleanUp.h"
#include "MemMgr.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "Words.h"
#include "utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Files whose presence in the application directory marks an old daemon.
constexpr const char *OldDaemon = "PlimtoD";
constexpr const char *OldDaemonStop = "PlimtoDStop";

// An answer line of the continue question (the rest of a longer line is
// dropped).
constexpr size_t AnswerSize = 511;

// 1 when the operator is root; else entry 35 naming them (an empty name
// when none could be read).
bool OperatorIsRoot() {
    ScopedMem user(GetUserName());
    if (user && strcmp(user.get(), "root") == 0) return true;
    NlsSetupPrintf(NlsNotRoot, "%s %s", user ? user.get() : "", my_name);
    return false;
}

// The release gate: a release that sorts after MaxRelease is refused with
// entry 61, the clean-up and status 0; no answer from uname passes.
void RefuseLaterRelease() {
    CmdResponse *release = GetCmdResponse(CmdUname, nullptr, "%s", "-r");
    if (release == nullptr) return;
    const char *cursor = release->text;
    char word[CmdLineSize];
    bool cut = false;
    bool refused = NextWord(&cursor, " \t\r\n", word, sizeof word, &cut) != nullptr &&
                   strcmp(word, MaxRelease) > 0;
    FreeResponseList(release);
    if (!refused) return;
    fputs(nlsSetupStrCvt(NlsWrongRelease), stderr);
    CorlaClean(pCorlaInstallDir);
    exit(0);
}

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

} // namespace

int readyForInstallation() {
    if (!OperatorIsRoot()) return 0;
    if (pCorlaPkgName == nullptr) pCorlaPkgName = SaveStr("QDRN%s", ProductDir);
    RefuseLaterRelease();
    if (!FindFile(pAppDir, OldDaemon) && !FindFile(pAppDir, OldDaemonStop)) return 1;
    NlsSetupPrintf(NlsOldDaemon, "%s %s %s %s", CompanyDir, CompanyDir, CompanyDir, ProductDir);
    return AskToContinue();
}
