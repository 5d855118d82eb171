// Outcome: failures, stops and what they leave behind.
#include "Outcome.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "utils.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr size_t PathSize = PATH_MAX;
constexpr size_t TextSize = 2048;
// The note a fresh installation cut short after pkgadd leaves in its
// application directory.
constexpr const char *PendingNote = ".pkg_list_pending";

int nStep = NlsStepChecks;
bool flWatching = false; // WatchRun was called: this is the installer's own run
bool flExitHandler = false;
bool flFailed = false;    // a failure is ending the run
bool flStopping = false;  // a caught signal is ending the run
bool flOwnGroups = false; // commands run in process groups of their own

// Written by the signal handler, read by the main flow.
volatile sig_atomic_t nStopSignal = 0;
volatile sig_atomic_t nCommandGroup = 0; // the running command's process group, or 0

constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};
bool flCaught[3] = {};

char WorkArea[PathSize] = "";
char Scratch[PathSize] = "";

struct FreshState {
    bool active = false, packageAdded = false, done = false;
    bool madeApp = false, madeCompany = false, madeOptCorla = false, madeLink = false;
    char appDir[PathSize] = "";
    char company[PathSize] = "";
} Fresh;

struct ReplacementState {
    bool active = false;
    bool hadOld = false;
    struct stat old {};
    char target[PathSize] = "";
    char aside[PathSize] = "";
} Replacement;

struct UpgradeState {
    bool started = false, done = false;
    int files = 0, copied = 0, registered = 0, failedCopies = 0, failedRegistrations = 0;
} Upgrade;

constexpr int MaxUnwritten = 8;
char Unwritten[MaxUnwritten][PathSize];
int nUnwritten = 0;

void Copy(char (&to)[PathSize], const char *from) {
    snprintf(to, sizeof to, "%s", from != nullptr ? from : "");
}

// "<dir>/<name>" into to; false (to empty) when it does not fit.
bool JoinInto(char (&to)[PathSize], const char *dir, const char *name) {
    int n = snprintf(to, sizeof to, "%s/%s", dir, name);
    if (n >= 0 && size_t(n) < sizeof to) return true;
    to[0] = '\0';
    return false;
}

// A message of a failed or stopped run: standard error (unless memory ran
// out: that report stays the last word there) and the log.
void Say(bool onScreen, const char *text) {
    if (onScreen) {
        fflush(stdout);
        fprintf(stderr, "%s\n", text);
        fflush(stderr);
    }
    PutLogMsg("%s\n", text);
}

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

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    remove(path);
    return 0;
}

// Remove a directory tree of this run's own, links not followed and never
// leaving its file system.
void RemoveTree(const char *path) {
    struct stat st;
    if (path[0] == '\0' || lstat(path, &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        unlink(path);
        return;
    }
    nftw(path, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

void RemoveScratch() {
    if (Scratch[0] != '\0') unlink(Scratch);
    Scratch[0] = '\0';
}

void RemoveWorkArea() {
    if (WorkArea[0] == '\0') return;
    // Out of the work area first; the removal names it absolutely anyway.
    [[maybe_unused]] int moved = chdir("/");
    RemoveTree(WorkArea);
    PutLogMsg("the work area %s was removed\n", WorkArea);
    WorkArea[0] = '\0';
}

// A fresh installation that did not get to its end leaves nothing a later
// run would take for an installation: before pkgadd added the package, what
// this run made for it goes; after that, the installation stays and says
// that its package command file is still to be carried out.
void UndoFresh(bool onScreen) {
    if (!Fresh.active || Fresh.done) return;
    Fresh.active = false;
    char text[TextSize];
    if (Fresh.packageAdded) {
        char note[PathSize];
        int fd = JoinInto(note, Fresh.appDir, PendingNote)
                     ? open(note, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644)
                     : -1;
        if (fd >= 0) close(fd);
        NlsSetupFormat(text, sizeof text, NlsPkgListPending, "%s %s %s", my_name, Fresh.appDir,
                       my_name);
        Say(onScreen, text);
        return;
    }
    struct stat st;
    if (Fresh.madeLink && lstat(AppLinkPath, &st) == 0 && S_ISLNK(st.st_mode)) unlink(AppLinkPath);
    if (Fresh.madeApp) RemoveTree(Fresh.appDir);
    if (Fresh.madeCompany) rmdir(Fresh.company); // only when empty
    if (Fresh.madeOptCorla) rmdir(CompanyLinkDir);
    if (Fresh.madeApp) {
        NlsSetupFormat(text, sizeof text, NlsUnfinishedRemoved, "%s %s", my_name, Fresh.appDir);
        Say(onScreen, text);
    }
}

void SayFailures(bool onScreen) {
    char text[TextSize];
    for (int i = 0; i < nUnwritten && i < MaxUnwritten; ++i) {
        NlsSetupFormat(text, sizeof text, NlsNotWritten, "%s %s", my_name, Unwritten[i]);
        Say(onScreen, text);
    }
    if (Upgrade.started && !Upgrade.done) {
        NlsSetupFormat(text, sizeof text, NlsUpgradeIncomplete, "%s %i %i %i", my_name,
                       Upgrade.copied, Upgrade.files, Upgrade.registered);
        Say(onScreen, text);
    }
}

// Everything the run was writing, put away.
void PutAway(bool onScreen) {
    PutBackReplaced();
    RemoveScratch();
    UndoFresh(onScreen);
    SayFailures(onScreen);
    nUnwritten = 0;
    Upgrade.started = false;
    RemoveWorkArea();
}

// "<my_name>: the installation failed while <step>".
void SayFailedStep() {
    char text[TextSize];
    NlsSetupFormat(text, sizeof text, NlsFailedWhile, "%s %s", my_name, nlsSetupStrCvt(nStep));
    Say(true, text);
}

void OnExit() {
    if (flStopping) return;
    // Memory that ran out ends the run with status 1 as any failure does.
    bool memory = nMapFailures > 0;
    if (flFailed || memory)
        PutAway(!memory);
    else
        RemoveScratch();
}

void EnsureExitHandler() {
    if (!flExitHandler) flExitHandler = atexit(OnExit) == 0;
}

// The runner's fatal failure: name the step; the runner then ends the run
// and OnExit puts away what the step left.
void OnFatalCommand(const char *) {
    flFailed = true;
    SayFailedStep();
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

// The runner's system(): /bin/sh -c line in a child that the signals of a
// stop reach. Yields a wait status, or -1 when no child could be made.
int RunCommandLine(const char *line) {
    CheckRun();
    if (line == nullptr) return system(nullptr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        // Async-signal-safe calls only until the exec.
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        for (size_t i = 0; i < sizeof StopSignals / sizeof StopSignals[0]; ++i)
            if (flCaught[i]) sigaction(StopSignals[i], &dfl, nullptr);
        if (flOwnGroups) setpgid(0, 0);
        execl("/bin/sh", "sh", "-c", line, static_cast<char *>(nullptr));
        _exit(127);
    }
    if (flOwnGroups) {
        setpgid(pid, pid); // also here: the child may not have got there yet
        nCommandGroup = pid;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno == EINTR) continue;
        status = -1;
        break;
    }
    nCommandGroup = 0;
    int error = errno;
    CheckRun();
    errno = error;
    return status;
}

FILE *OpenPipe(const char *line, const char *mode) {
    CheckRun();
    return popen(line, mode);
}

int ClosePipe(FILE *stream) {
    int status = pclose(stream);
    int error = errno;
    CheckRun();
    errno = error;
    return status;
}

unsigned Pause(unsigned seconds) {
    CheckRun();
    unsigned left = sleep(seconds);
    CheckRun();
    return left;
}

} // namespace

void WatchRun() {
    flWatching = true;
    EnsureExitHandler();
    // At the terminal the operator's Ctrl-C reaches the whole foreground
    // group, and pkgadd must be able to read from it: commands share this
    // run's group. Elsewhere each command gets a group of its own, so that a
    // stop reaches everything it started.
    flOwnGroups = !(isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp());
    for (size_t i = 0; i < sizeof StopSignals / sizeof StopSignals[0]; ++i) {
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
    SysCmdOs.xSystem = RunCommandLine;
    SysCmdOs.xPopen = OpenPipe;
    SysCmdOs.xPclose = ClosePipe;
    SysCmdOs.xSleep = Pause;
    pSysCmdFatalHook = OnFatalCommand;
}

void SetStep(int step) {
    nStep = step;
}

int CurrentStep() {
    return nStep;
}

void StopIfSignalled() {
    if (nStopSignal != 0 && !flStopping) StopForSignal();
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

void NoteWorkArea(const char *workArea) {
    Copy(WorkArea, workArea);
}

void ForgetWorkArea() {
    WorkArea[0] = '\0';
}

void NoteFreshInstallation(const char *installDir, const char *appDir) {
    struct stat st;
    Fresh = FreshState{};
    Fresh.active = true;
    Copy(Fresh.appDir, appDir);
    JoinInto(Fresh.company, strcmp(installDir, "/") == 0 ? "" : installDir, CompanyDir);
    Fresh.madeApp = lstat(appDir, &st) != 0;
    Fresh.madeCompany = lstat(Fresh.company, &st) != 0;
    Fresh.madeOptCorla = lstat(CompanyLinkDir, &st) != 0;
    Fresh.madeLink =
        strcmp(appDir, AppLinkPath) != 0 &&
        !(lstat(AppLinkPath, &st) == 0 && S_ISLNK(st.st_mode) && stat(AppLinkPath, &st) == 0);
}

void NotePackageAdded() {
    Fresh.packageAdded = true;
}

void NoteFreshInstallationDone() {
    Fresh.done = true;
}

int PkgListPending(const char *appDir) {
    char note[PathSize];
    struct stat st;
    return JoinInto(note, appDir, PendingNote) && lstat(note, &st) == 0 && S_ISREG(st.st_mode);
}

void ClearPkgListPending(const char *appDir) {
    char note[PathSize];
    if (JoinInto(note, appDir, PendingNote)) unlink(note);
}

void NoteScratchFile(const char *path) {
    EnsureExitHandler();
    Copy(Scratch, path);
}

int SetInstalledFileAside(const char *target) {
    PutBackReplaced();
    // Only the installer's own run replaces installed files; the steps' unit
    // tests only record the commands, and the paths they name are this
    // machine's.
    if (!flWatching) return 2;
    Replacement = ReplacementState{};
    Copy(Replacement.target, target);
    struct stat st;
    if (lstat(target, &st) != 0) {
        if (errno != ENOENT) return 2;
        Replacement.active = true; // a new file: removed again if the copy fails
        return 1;
    }
    if (!S_ISREG(st.st_mode)) return 2;
    // Beside the file, so that the renames stay within its directory.
    static constexpr char Suffix[] = ".XXXXXX";
    const size_t len = strlen(target);
    if (len + sizeof Suffix > sizeof Replacement.aside) return 0;
    memcpy(Replacement.aside, target, len);
    memcpy(Replacement.aside + len, Suffix, sizeof Suffix);
    int fd = mkstemp(Replacement.aside);
    if (fd < 0) return 0;
    close(fd);
    if (rename(target, Replacement.aside) != 0) {
        unlink(Replacement.aside);
        return 0;
    }
    Replacement.active = true;
    Replacement.hadOld = true;
    Replacement.old = st;
    return 1;
}

void KeepReplacement() {
    if (!Replacement.active) return;
    Replacement.active = false;
    if (!Replacement.hadOld) return;
    int fd = open(Replacement.target, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        // Owner first: a change of owner clears the set-id bits the mode sets.
        [[maybe_unused]] int owned = fchown(fd, Replacement.old.st_uid, Replacement.old.st_gid);
        [[maybe_unused]] int moded = fchmod(fd, Replacement.old.st_mode & 07777);
        close(fd);
    }
    unlink(Replacement.aside);
}

void PutBackReplaced() {
    if (!Replacement.active) return;
    Replacement.active = false;
    struct stat st;
    if (lstat(Replacement.target, &st) == 0 && S_ISREG(st.st_mode)) unlink(Replacement.target);
    if (Replacement.hadOld) rename(Replacement.aside, Replacement.target);
}

void NoteUpgradeStart(int files) {
    Upgrade = UpgradeState{};
    Upgrade.started = true;
    Upgrade.files = files;
}

void NoteUpgradeRegistered(bool registered) {
    if (registered)
        ++Upgrade.registered;
    else
        ++Upgrade.failedRegistrations;
}

void NoteUpgradeCopied(bool copied) {
    if (copied)
        ++Upgrade.copied;
    else
        ++Upgrade.failedCopies;
}

void NoteUpgradeDone() {
    Upgrade.done = true;
}

int UpgradeFailed() {
    return Upgrade.failedCopies > 0 || Upgrade.failedRegistrations > 0;
}

void NoteUnwritten(const char *path) {
    if (nUnwritten < MaxUnwritten) Copy(Unwritten[nUnwritten], path);
    ++nUnwritten;
}

int RunIncomplete() {
    return nUnwritten > 0 || (Upgrade.started && !Upgrade.done);
}

void SayWhatFailed() {
    SayFailures(true);
}

void FailRun() {
    flFailed = true;
    SayFailedStep();
    exit(1);
}

void MarkRunFailed() {
    flFailed = true;
}
