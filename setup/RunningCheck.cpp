// RunningCheck: the process table against a list of program names.
#include "RunningCheck.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "utils.h"

#include <cstdio>

const char pBinaryInstanceCheckList[] = ",pmadmin,pmqadmin,plimto,pmrvqmmtty,PMQ,PMRM,csf,";

namespace {

// The choice is the first character of an answer line; the rest of the
// line is never taken as a further choice.
constexpr size_t ChoiceSize = 512;

// Wait up to RunningWaitPasses passes; 1 when none of the programs runs
// any more.
bool WaitForPrograms(const char *programList) {
    for (int pass = 0; pass < RunningWaitPasses; ++pass) {
        SysCmdOs.xSleep(RunningWaitSeconds);
        char *report = CheckProcTableForExecs(programList);
        if (report == nullptr) return true;
        PutMem(report);
    }
    return false;
}

} // namespace

int QuitForRunningProcesses(const char *programList) {
    const char *menu[5] = {};
    for (;;) {
        char *report = CheckProcTableForExecs(programList);
        if (report == nullptr) return 0;
        if (menu[0] == nullptr)
            for (int i = 0; i < 5; ++i)
                menu[i] = nlsSetupStrCvt(NlsRunning + i);
        printf("%s", menu[0]);
        printf("%s\n", report);
        PutMem(report);
        for (int i = 1; i < 5; ++i)
            printf("%s", menu[i]);
        fflush(stdout);

        char answer[ChoiceSize];
        if (!ReadAnswerLine(answer, sizeof answer)) return 1; // the operator is gone
        switch (answer[0]) {
        case '1':
            if (WaitForPrograms(programList)) return 0;
            break; // still running: show them again
        case '2':
            return 1;
        default:
            break; // ask again, after a fresh look
        }
    }
}
