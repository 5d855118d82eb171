// Outcome_run: the run's state, its steps, its failures and the way out.
#include "Outcome.h"
#include "Outcome_private.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "SysCmd.h"
#include "utils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace outcome {

bool flWatching = false;
bool flFailed = false;
bool flStopping = false;
int nStep = NlsStepChecks;

namespace {

bool flExitHandler = false;

void OnExit() {
    if (flStopping) return;
    // Memory that ran out ends the run with status 1 as any failure does.
    bool memory = nMapFailures > 0;
    if (flFailed || memory)
        PutAway(!memory);
    else
        RemoveScratch();
}

// The runner's fatal failure: name the step; the runner then ends the run
// and OnExit puts away what the step left.
void OnFatalCommand(const char *) {
    flFailed = true;
    SayFailedStep();
}

} // namespace

void EnsureExitHandler() {
    if (!flExitHandler) flExitHandler = atexit(OnExit) == 0;
}

void Say(bool onScreen, const char *text) {
    if (onScreen) {
        fflush(stdout);
        fprintf(stderr, "%s\n", text);
        fflush(stderr);
    }
    PutLogMsg("%s\n", text);
}

void SayFailedStep() {
    char text[TextSize];
    NlsSetupFormat(text, sizeof text, NlsFailedWhile, "%s %s", my_name, nlsSetupStrCvt(nStep));
    Say(true, text);
}

void CopyPath(char (&to)[PathSize], const char *from) {
    snprintf(to, sizeof to, "%s", from != nullptr ? from : "");
}

bool JoinInto(char (&to)[PathSize], const char *dir, const char *name) {
    int n = snprintf(to, sizeof to, "%s/%s", dir, name);
    if (n >= 0 && size_t(n) < sizeof to) return true;
    to[0] = '\0';
    return false;
}

} // namespace outcome

using namespace outcome;

void WatchRun() {
    flWatching = true;
    EnsureExitHandler();
    CatchStopSignals();
    RouteCommands();
    pSysCmdFatalHook = OnFatalCommand;
}

void SetStep(int step) {
    nStep = step;
}

int CurrentStep() {
    return nStep;
}

void CheckRun() {
    StopIfSignalled();
    if (flWatching && nMapFailures > 0 && !flStopping && !flFailed) {
        // A step given a shortened answer (a line dropped from a command's
        // output, a name missing from a listing) cannot tell it from the
        // real one: the run ends as it would at the failed allocation.
        errno = ENOMEM;
        SysError("%s", OutOfMem);
    }
}

void FailRun() {
    flFailed = true;
    SayFailedStep();
    exit(1);
}

void MarkRunFailed() {
    flFailed = true;
}
