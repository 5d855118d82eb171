// Outcome_runner: the runner's system, popen, pclose and sleep, each
// passing through CheckRun before and after, and commands started by fork
// and exec so that the signals of a stop reach them.
#include "Outcome.h"
#include "Outcome_private.h"

#include "SysCmd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace outcome {

namespace {

bool flOwnGroups = false; // commands run in process groups of their own

// The runner's system(): /bin/sh -c line in a child that the signals of a
// stop reach. Yields a wait status, or -1 when no child could be made.
int RunCommandLine(const char *line) {
    CheckRun();
    if (line == nullptr) return system(nullptr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        // Async-signal-safe calls only until the exec.
        DefaultStopSignals();
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
