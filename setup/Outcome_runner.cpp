// Outcome_runner: the runner's system, popen, pclose and sleep, each
// passing through CheckRun before and after, and commands started by
// posix_spawn so that the signals of a stop reach them.
#include "Outcome.h"
#include "Outcome_private.h"

#include "SysCmd.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace outcome {

namespace {

bool flOwnGroups = false; // commands run in process groups of their own

// The runner's system(): /bin/sh -c line in a child that the signals of a
// stop reach. Yields a wait status, or -1 when no child could be made.
// posix_spawn rather than fork: an upgrade runs two commands per package
// file, and copying this process's page tables for each was most of the
// installer's own CPU time.
int RunCommandLine(const char *line) {
    CheckRun();
    if (line == nullptr) return system(nullptr);

    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) return -1;
    // The stop signals are held until the child's group is known to the
    // handler, so that a stop in between still reaches the command. The
    // child starts with the caught ones at their default action and the
    // mask this run had.
    sigset_t held, before, caught;
    StopSignalSet(&held, &caught);
    sigprocmask(SIG_BLOCK, &held, &before);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (flOwnGroups) flags |= POSIX_SPAWN_SETPGROUP; // group 0: one of its own
    posix_spawnattr_setflags(&attr, flags);
    posix_spawnattr_setsigdefault(&attr, &caught);
    posix_spawnattr_setsigmask(&attr, &before);

    char sh[] = "sh", dashC[] = "-c";
    char *argv[] = {sh, dashC, const_cast<char *>(line), nullptr};
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, "/bin/sh", nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (failed == 0 && flOwnGroups) nCommandGroup = pid;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (failed != 0) {
        errno = failed;
        return -1;
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

void RouteCommands() {
    // At the terminal the operator's Ctrl-C reaches the whole foreground
    // group, and pkgadd must be able to read from it: commands share this
    // run's group. Elsewhere each command gets a group of its own, so that a
    // stop reaches everything it started.
    flOwnGroups = !(isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp());
    SysCmdOs.xSystem = RunCommandLine;
    SysCmdOs.xPopen = OpenPipe;
    SysCmdOs.xPclose = ClosePipe;
    SysCmdOs.xSleep = Pause;
}

} // namespace outcome
