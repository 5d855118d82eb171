// Outcome_private: what the parts of Outcome share: the state of the run,
// the messages, and each part's hooks for the others. Only Outcome_*.cpp
// include it.
//
//   Outcome_run.cpp      the run's state, its steps and failures, WatchRun
//   Outcome_signals.cpp  the stop signals and the stop they cause
//   Outcome_runner.cpp   the runner's system, popen and sleep seam
//   Outcome_putaway.cpp  what a failed or stopped run puts away
//   Outcome_report.cpp   what an incomplete run reports
#pragma once

#include <climits>
#include <csignal>
#include <cstddef>

namespace outcome {

constexpr size_t PathSize = PATH_MAX;
constexpr size_t TextSize = 2048;

// The run (Outcome_run.cpp).
extern bool flWatching; // WatchRun was called: this is the installer's own run
extern bool flFailed;   // a failure is ending the run
extern bool flStopping; // a caught signal is ending the run
extern int nStep;       // the step the run is in
void EnsureExitHandler();
// A message of a failed or stopped run: standard error (unless memory ran
// out: that report stays the last word there) and the log.
void Say(bool onScreen, const char *text);
// "<my_name>: the installation failed while <step>".
void SayFailedStep();
void CopyPath(char (&to)[PathSize], const char *from);
// "<dir>/<name>" into to; false (to empty) when it does not fit.
bool JoinInto(char (&to)[PathSize], const char *dir, const char *name);

// The signals (Outcome_signals.cpp).
// Catch SIGINT, SIGTERM and SIGHUP, unless the run was started with them
// ignored.
void CatchStopSignals();
// The stop signals into all, and those this run catches into caught (a
// command's child starts with these at their default action).
void StopSignalSet(sigset_t *all, sigset_t *caught);
// The running command's process group, which a caught signal is passed on
// to; 0 when there is none. Written by the main flow, read by the handler.
extern volatile sig_atomic_t nCommandGroup;

// The runner seam (Outcome_runner.cpp): every command through this
// module's own posix_spawn.
void RouteCommands();

// The put-away (Outcome_putaway.cpp): everything the run was writing.
void PutAway(bool onScreen);
void RemoveScratch();

// The report (Outcome_report.cpp): the failures an incomplete run says,
// and forgetting them once said on the way out.
void SayFailures(bool onScreen);
void ForgetFailures();

} // namespace outcome
