// Outcome_signals: SIGINT, SIGTERM and SIGHUP noted by the handler, passed
// on to the running command, and turned into the stop of the run by the
// main flow.
#include "Outcome.h"
#include "Outcome_private.h"

#include "Catalogue.h"
#include "utils.h"

#include <cstdio>
#include <iterator>
#include <unistd.h>

namespace outcome {

volatile sig_atomic_t nCommandGroup = 0;

namespace {

constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};
bool flCaught[std::size(StopSignals)] = {};

// Written by the signal handler, read by the main flow.
volatile sig_atomic_t nStopSignal = 0;

const char *SignalName(int sig) {
    switch (sig) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

// The signal handler: nothing but noting the signal and passing it on to
// the command that runs (both async-signal-safe).
void OnStopSignal(int sig) {
    if (nStopSignal == 0) nStopSignal = sig;
    pid_t group = nCommandGroup;
    if (group > 0) kill(-group, sig);
}

[[noreturn]] void StopForSignal() {
    flStopping = true;
    const int sig = nStopSignal;
    char text[TextSize];
    NlsSetupFormat(text, sizeof text, NlsStoppedBySignal, "%s %s %s", my_name, SignalName(sig),
                   nlsSetupStrCvt(nStep));
    fflush(stdout);
    fputc('\n', stderr);
    Say(true, text);
    PutAway(true);
    fflush(nullptr);
    // The signal ends the process, so that its parent sees 128 + signal.
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    _exit(128 + sig);
}

} // namespace

void CatchStopSignals() {
    for (size_t i = 0; i < std::size(StopSignals); ++i) {
        struct sigaction old {};
        if (sigaction(StopSignals[i], nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        for (int other : StopSignals)
            sigaddset(&sa.sa_mask, other);
        sa.sa_flags = 0; // no restart: a prompt's read ends, and the stop is seen
        flCaught[i] = sigaction(StopSignals[i], &sa, nullptr) == 0;
    }
}

void StopSignalSet(sigset_t *all, sigset_t *caught) {
    sigemptyset(all);
    sigemptyset(caught);
    for (size_t i = 0; i < std::size(StopSignals); ++i) {
        sigaddset(all, StopSignals[i]);
        if (flCaught[i]) sigaddset(caught, StopSignals[i]);
    }
}

} // namespace outcome

using namespace outcome;

void StopIfSignalled() {
    if (nStopSignal != 0 && !flStopping) StopForSignal();
}
