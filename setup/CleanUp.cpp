// CleanUp: the work area goes and the suite tidies its queues.
#include "CleanUp.h"

#include "Catalogue.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "WorkArea.h"

#include <cstdio>

void CorlaClean(const char *workArea) {
    SetStep(NlsStepCleanUp);
    RemoveWorkArea(workArea);
    // The suite's queue administration tidies its queues; its output is the
    // operator's and its result does not matter.
    QuotedArg app(pAppDir);
    RunShell("%s/pmqadmin -upgrade", app.text);
    fputc('.', stdout);
    RunShell("%s/pmqadmin -clean", app.text);
    fputs(".\n", stdout);
    fflush(stdout);
}
