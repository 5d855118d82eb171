// utils: the log and error reporting.
//
// The log "/tmp/<my_name>.log" lives in a directory every user can write to
// and is written by root, so it is handled by descriptor and never by name
// alone: a link, a non-regular file or a file of another user found at its
// path is removed, a new log is created exclusively with mode 666, and every
// open refuses to follow a link. Because /tmp is sticky, nobody else can
// replace the log once it is ours, so the shell's ">>" redirections of the
// runner, made after PrepareLogFile, land in the same file.
//
// The log is a record, not a step of the run: a log that cannot be opened,
// written or closed is said once on standard error and the run goes on;
// what the shell would have appended to it goes to /dev/null instead.
#include "utils.h"

#include "MemMgr.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char *my_name = "setup";
uint8_t flUseLog = 0;
const char *pLogPath = "/tmp";
FILE *pLog = nullptr;
uint8_t flLogFirstWrite = 1;
uint8_t flLogFailed = 0;

namespace {

constexpr mode_t LogMode = 0666; // every user may read and append to the log
constexpr size_t LogPathSize = 4096;

// "<pLogPath>/<my_name>.log"; 0 when it does not fit.
int LogFileName(char (&path)[LogPathSize]) {
    path[0] = '\0';
    if (my_name == nullptr || pLogPath == nullptr) return 0;
    int n = snprintf(path, sizeof path, "%s/%s.log", pLogPath, my_name);
    return n > 0 && size_t(n) < sizeof path;
}

// The first failure of the log is reported; later ones would only repeat it.
void ReportLogFailure(const char *what, const char *path) {
    if (flLogFailed) return;
    flLogFailed = 1;
    fprintf(stderr, "ERROR: couldn't %s %s\n", what, path);
}

bool IsOwnRegularFile(const struct stat &st) {
    return S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

// Open the log for appending (truncated when truncate is set) as this user's
// own regular file, creating it with mode 666 when missing. Yields the
// descriptor or -1.
int OpenLog(const char *path, bool truncate) {
    // Two rounds: a file that appears between the removal and the exclusive
    // create is examined once more.
    for (int round = 0; round < 2; ++round) {
        struct stat st;
        if (lstat(path, &st) == 0 && !IsOwnRegularFile(st) && unlink(path) != 0) return -1;

        int fd =
            open(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, LogMode);
        if (fd >= 0) {
            // The mode must not depend on the umask.
            if (fchmod(fd, LogMode) != 0) {
                close(fd);
                return -1;
            }
            return fd;
        }
        if (errno != EEXIST) return -1;

        // O_NONBLOCK: a FIFO slipped in after lstat must not block the open;
        // fstat below rejects it.
        int flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        fd = open(path, flags | (truncate ? O_TRUNC : 0));
        if (fd < 0) {
            if (errno == ELOOP) continue; // became a link: remove it and retry
            return -1;
        }
        if (fstat(fd, &st) != 0 || !IsOwnRegularFile(st)) {
            close(fd);
            continue;
        }
        fcntl(fd, F_SETFL, O_APPEND);
        return fd;
    }
    return -1;
}

} // namespace

void PutLogMsg(const char *format, ...) {
    if (!flUseLog) return;
    pLogPath = "/tmp";
    bool truncate = flLogFirstWrite != 0;
    // Cleared before the open: a failed first write does not make a later
    // message truncate what the commands appended meanwhile.
    flLogFirstWrite = 0;

    char path[LogPathSize];
    int fd = LogFileName(path) ? OpenLog(path, truncate) : -1;
    if (fd >= 0) pLog = fdopen(fd, "a");
    if (pLog == nullptr) {
        if (fd >= 0) close(fd);
        ReportLogFailure("open", path);
        return;
    }
    va_list args;
    va_start(args, format);
    bool failed = vfprintf(pLog, format, args) < 0;
    va_end(args);
    // The message reaches the file only when the stream is flushed at the
    // close: a full disk or a file-size limit shows there.
    if (fflush(pLog) != 0 || ferror(pLog)) failed = true;
    if (fclose(pLog) != 0) failed = true;
    pLog = nullptr;
    if (failed) ReportLogFailure("write", path);
}

int PrepareLogFile() {
    char path[LogPathSize];
    int fd = LogFileName(path) ? OpenLog(path, false) : -1;
    if (fd < 0) {
        ReportLogFailure("open", path);
        return 0;
    }
    close(fd);
    return 1;
}

char *LogRedirectPath() {
    if (!flUseLog || !PrepareLogFile()) return SaveStr_("/dev/null");
    char path[LogPathSize];
    LogFileName(path);
    return SaveStr_(path);
}

void SysError(const char *format, ...) {
    int error = errno;
    fprintf(stderr, "\n%s: ", my_name);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fprintf(stderr, " : %s\n", strerror(error));
    exit(1);
}

void ErrorMsg(int level, int status, const char *format, ...) {
    // The message goes into Line; it is formatted apart first because an
    // argument may itself point into Line. Short of memory it is formatted
    // straight into Line: the report still gets out.
    va_list args;
    va_start(args, format);
    va_list direct;
    va_copy(direct, args);
    if (char *text = VSaveStrOrNone(format, args)) {
        snprintf(Line, LineSize, "%s", text);
        PutMem(text);
    } else {
        vsnprintf(Line, LineSize, format, direct);
    }
    va_end(direct);
    va_end(args);

    if (level != ErrReport && level != ErrFatal) return;
    if (level == ErrReport) {
        fprintf(stderr, "WARNING: %s\n", Line);
        return;
    }
    fprintf(stderr, "ERROR: %s\n", Line);
    exit(status);
}

void errormsg(const char *format, ...) {
    fprintf(stderr, "%s: ", my_name);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
}

void exit_app(int status) {
    exit(status);
}
