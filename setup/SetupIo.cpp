// SetupIo: the shell and the operator.
#include "SetupIo.h"

#include "MemMgr.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "utils.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

int RunShell(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int len = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (len < 0) return -1;
    char *line = static_cast<char *>(GetMem(size_t(len) + 1));
    if (line == nullptr) SysError("%s", OutOfMem);
    va_start(args, format);
    vsnprintf(line, size_t(len) + 1, format, args);
    va_end(args);

    fflush(nullptr);
    int rc = SysCmdOs.xSystem(line);
    PutMem(line);
    if (rc == -1) return -1;
    if (WIFEXITED(rc)) return WEXITSTATUS(rc);
    if (WIFSIGNALED(rc)) return 128 + WTERMSIG(rc);
    return -1;
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

char *NextWord(const char **cursor, const char *delimiters, char *out, size_t size, bool *cut) {
    const char *p = *cursor;
    size_t used = 0;
    bool any = false;
    *cut = false;
    while (*p != '\0') {
        char c = *p++;
        if (c == '\\' && *p != '\0') {
            c = *p++;
            c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        } else if (strchr(delimiters, c) != nullptr) {
            if (any) break;
            continue; // leading delimiters
        }
        any = true;
        if (used + 1 < size)
            out[used++] = c;
        else
            *cut = true;
    }
    *cursor = p;
    if (size > 0) out[used] = '\0';
    return any ? out : nullptr;
}

int FindWord(const char *word, const char *list) {
    if (word == nullptr || word[0] == '\0' || list == nullptr || list[0] == '\0' ||
        strchr(word, list[0]) != nullptr)
        return 0;
    return FindToken(word, list);
}
