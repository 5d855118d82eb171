// SetupIo: the shell, the distribution's small files and the operator.
#include "SetupIo.h"

#include "MemMgr.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "utils.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int RunShell(const char *format, ...) {
    va_list args;
    va_start(args, format);
    ScopedMem line(VSaveStr(format, args));
    va_end(args);
    fflush(nullptr);
    return JudgeStatus(SysCmdOs.xSystem(line.get()), 0, nullptr, nullptr, 0);
}

int ReadRegularFile(const char *dir, const char *name, off_t *size) {
    char *path = JoinSetupPath(dir, name);
    // O_NONBLOCK: opening a named pipe must not wait for a writer; it is
    // refused below like anything else that is not a regular file.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    PutMem(path);
    if (fd < 0) return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return 0;
    }
    size_t used = 0;
    bool failed = false;
    while (used < LineBufSize - 1) {
        ssize_t n = read(fd, LineBuf + used, LineBufSize - 1 - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        used += size_t(n);
    }
    close(fd);
    LineBuf[failed ? 0 : used] = '\0';
    if (failed) return 0;
    if (size != nullptr) *size = st.st_size;
    return 1;
}

void ChangeDirectory(const char *dir) {
    if (chdir(dir) != 0) PutLogMsg("WARNING_MSG: cannot change directory to %s\n", dir);
}

int ReadAnswerLine(char *buffer, size_t size) {
    size_t used = 0;
    int c = EOF;
    bool any = false;
    while ((c = getchar()) != EOF) {
        any = true;
        if (c == '\n') break;
        if (used + 1 < size) buffer[used++] = char(c);
    }
    if (size > 0) buffer[used] = '\0';
    // A read cut short by a caught signal is no answer: the run stops.
    if (c == EOF) StopIfSignalled();
    return any ? 1 : 0;
}
