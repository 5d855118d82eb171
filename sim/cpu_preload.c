/* libsimcpu.so, preloaded by the installer's benchmark: reports the CPU time
 * one program spends itself, without the commands it runs. When the process
 * named $SIM_CPU_PROGRAM (the kernel's name of the process, as ps shows it)
 * ends through exit(), it appends "NAME USER_SECONDS SYSTEM_SECONDS" of its
 * own getrusage(RUSAGE_SELF) to the file $SIM_CPU_REPORT. Its children, and
 * forks of it that end without exec, are not counted: only the process that
 * loaded the library as that program reports. Nothing happens without both
 * variables. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

static pid_t measured;

__attribute__((constructor)) static void simcpu_start(void) {
    const char *program = getenv("SIM_CPU_PROGRAM");
    const char *report = getenv("SIM_CPU_REPORT");
    if (!program || !*program || !report || !*report) return;
    if (strcmp(program_invocation_short_name, program) == 0) measured = getpid();
}

__attribute__((destructor)) static void simcpu_report(void) {
    if (measured == 0 || getpid() != measured) return;
    const char *report = getenv("SIM_CPU_REPORT");
    if (!report) return;
    struct rusage self;
    if (getrusage(RUSAGE_SELF, &self) != 0) return;
    char line[256];
    int n = snprintf(line, sizeof line, "%s %ld.%06ld %ld.%06ld\n", program_invocation_short_name,
                     (long)self.ru_utime.tv_sec, (long)self.ru_utime.tv_usec,
                     (long)self.ru_stime.tv_sec, (long)self.ru_stime.tv_usec);
    if (n < 0 || (size_t)n >= sizeof line) return;
    int saved = errno;
    int fd = open(report, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ssize_t put = write(fd, line, (size_t)n);
        (void)put;
        close(fd);
    }
    errno = saved;
}
