// utils: the log and error reporting.
#include "utils.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char *my_name = "setup";

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
