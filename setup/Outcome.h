// Outcome: how a run that does not go as planned ends. The installer changes
// the machine step by step; when a step fails (a command of the runner's
// fatal mode, memory running out, a file the run keeps that cannot be
// written, an upgrade copy that fails) or the run is stopped (SIGINT,
// SIGTERM, SIGHUP), the operator is told which step it was, what the run was
// writing is put away, and the run ends with a status that is not 0: 1 for a
// failure, 128 + the signal for a stop (the signal itself ends the process,
// so its parent sees it as such).
//
// What "put away" means:
//   the work area made by this run          removed
//   a package file being copied over the    the old file back in place, the
//     installed one                           new one removed
//   a fresh installation cut short before   the application directory, its
//     the package was added                   /opt/Corla/vqmm link and the
//                                             Corla directories this run made
//                                             are removed
//   a fresh installation cut short after    left in place, with a note in the
//     the package was added                   application directory that its
//                                             package command file is still to
//                                             be carried out: the next run,
//                                             an upgrade, does it
//   a scratch file (the sed temporary,      removed
//     pkginfo.tmp)
// A kept file that cannot be written (.pm_cfg, the interface scripts) does
// not stop the run; it ends with status 1 and one line per such file. An
// upgrade whose copies or registrations failed does not raise the recorded
// version and ends with status 1 and one summary line.
//
// Messages go to standard error and the log. When memory ran out they go to
// the log only, so that "Unable to allocate memory" stays the last word on
// standard error.
//
// Everything here keeps its state in fixed buffers: nothing is allocated on
// the way out. The work is done in Outcome_*.cpp, one part per job
// (Outcome_private.h lists them).
#pragma once

#include <sys/types.h>

// Catch SIGINT, SIGTERM and SIGHUP (unless the run was started with them
// ignored), run every command of the runner and of RunShell through this
// module's own fork and exec (commands run in a process group of their own,
// which a caught signal is passed on to, unless standard input is the
// terminal whose foreground this run is: there the terminal signals them
// itself), and report failed fatal commands. Called by main, first thing.
void WatchRun();

// The step the run is in: an NlsStep... entry of the catalogue.
void SetStep(int step);
int CurrentStep();

// A caught signal stops the run here: the message naming the step, what the
// run was writing put away, and the signal raised again with its default
// action. Memory that ran out earlier (a shortened result the step could not
// tell from a real one) ends the run here with status 1. Nothing happens
// otherwise. Every command the run starts passes through here first and
// after.
void CheckRun();
// Only the signal half of CheckRun, for the prompts: an answer whose read
// was cut short by a signal is no end of input.
void StopIfSignalled();

// The work area this run made; removed when the run fails or stops, until
// it is forgotten (the clean-up removes it itself).
void NoteWorkArea(const char *workArea);
void ForgetWorkArea();

// A fresh installation into installDir with application directory appDir:
// call before anything of it is made. Then when pkgadd has added the
// package, and when the installation is done (its package command file
// carried out, or left by the operator at a running-program check).
void NoteFreshInstallation(const char *installDir, const char *appDir);
void NotePackageAdded();
void NoteFreshInstallationDone();

// A package command file still to be carried out in appDir (a fresh
// installation was cut short after pkgadd), and taking that note away.
int PkgListPending(const char *appDir);
void ClearPkgListPending(const char *appDir);

// A scratch file of the current step, removed at the end of the run however
// it ends; none forgets it (it was removed or renamed).
void NoteScratchFile(const char *path);

// An installed file about to be replaced by a copy (the upgrade's cp). Set
// aside first yields 1 (the old file is moved beside it, or there was none),
// 0 when the old file cannot be set aside (nothing is copied then: it keeps
// its content), 2 when target is not a regular file (the copy goes through
// as it is, nothing is set aside; so too before WatchRun, in the steps' unit
// tests, whose commands are only recorded). Then, after the copy, exactly one of:
// KeepReplacement (the new file takes the old one's mode, owner and group,
// as a copy onto it would, and the old one goes) or PutBackReplaced (the new
// file, whole or partial, goes and the old one is back).
int SetInstalledFileAside(const char *target);
void KeepReplacement();
void PutBackReplaced();

// The upgrade's package files: how many there are, and each one's outcome;
// done once the recorded version has been raised.
void NoteUpgradeStart(int files);
void NoteUpgradeRegistered(bool registered);
void NoteUpgradeCopied(bool copied);
void NoteUpgradeDone();
// 1 when a copy or a registration of the upgrade failed.
int UpgradeFailed();

// A kept file of the run that could not be written (the run goes on).
void NoteUnwritten(const char *path);

// 1 when the run, at its end, has failures to report (NoteUnwritten, an
// upgrade that did not complete).
int RunIncomplete();
// Say those failures: one line per unwritten file, one line for the
// upgrade.
void SayWhatFailed();

// The installer's own failure of the current step: "<my_name>: the
// installation failed while <step>", what the run was writing put away,
// status 1.
[[noreturn]] void FailRun();
// Before the installer ends a failed run through the library's error report
// (ErrorMsg at level 2 with status 1): what the run was writing is put away
// on the way out, without a word beside that report.
void MarkRunFailed();
