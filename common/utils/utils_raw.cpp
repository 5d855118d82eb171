// utils: the raw command form, a command line run as given, outside the
// command table.
#include "utils.h"

#include "SysCmd.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t MessageSize = 512;

} // namespace

int SysCmdP(int mode, const char *format, ...) {
    const bool reported = mode == CmdLogged || mode == CmdFatal;
    char line[RawCmdLineSize];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line, format, args);
    va_end(args);

    int status = 0;
    char message[MessageSize];
    if (n < 0 || size_t(n) >= sizeof line) {
        // Never run a cut command line.
        snprintf(message, sizeof message, "command line longer than %zu characters refused",
                 RawCmdLineSize - 1);
        status = -1;
    } else {
        if (reported) printf("%s\n", line);
        fflush(stdout); // what was printed so far comes before the command's output
        errno = 0;
        int rc = SysCmdOs.xSystem(line);
        status = JudgeStatus(rc, errno, nullptr, message, sizeof message);
    }

    if (status != 0 && mode == CmdLogged) {
        fprintf(stderr, "ERROR: %s\n", message);
        PutLogMsg("%s: %s\n", "WARNING_MSG", message);
    } else if (status != 0 && mode == CmdFatal) {
        fputs("ERROR: unable to locate system command '%s'\n", stderr);
        PutLogMsg("%s: %s\n", "ERROR", message);
        printf("%s: %s\n", "ERROR", message);
        exit(1);
    } else if (status == -1) {
        fprintf(stderr, "ERROR: %s\n", message);
    }
    SysCmdOs.xSystem("/usr/bin/sleep 1");
    return status;
}
