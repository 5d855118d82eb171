// Test support for memory running out: see MemorySweep.h.
#include "MemorySweep.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corla_test {

namespace {

constexpr char OutOfMemText[] = "Unable to allocate memory";

bool Holds(const std::string &text, const char *part) {
    return text.find(part) != std::string::npos;
}

std::string LastLine(const std::string &text) {
    size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) return "";
    size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start + 1));
}

int CountLines(const std::string &text, const char *part) {
    int n = 0;
    size_t at = 0;
    while ((at = text.find(part, at)) != std::string::npos) {
        ++n;
        at = text.find('\n', at);
        if (at == std::string::npos) break;
    }
    return n;
}

// What is wrong with one run, or "".
std::string Judge(const ProgramRun &r,
                  const std::function<std::string(const ProgramRun &)> &check) {
    if (r.signal != 0)
        return "ended by signal " + std::to_string(r.signal) + " (" + strsignal(r.signal) +
               "): " + LastLine(r.err);
    if (Holds(r.err, "Sanitizer") || Holds(r.err, "runtime error:"))
        return "sanitizer report: " + r.err.substr(0, 2000);
    bool hit = Holds(r.err, OutOfMemText);
    std::string wrong;
    if (r.status == 0) {
        wrong = check(r);
        if (!wrong.empty() && hit) wrong += " (status 0 after a memory failure)";
        return wrong;
    }
    if (r.status == 1 && hit) {
        if (!Holds(LastLine(r.err), OutOfMemText))
            return "status 1, but it ends saying: " + LastLine(r.err);
        return check(r);
    }
    return "status " + std::to_string(r.status) + ": " + LastLine(r.err);
}

} // namespace

ProgramRun RunProgram(const std::vector<std::string> &argv, const std::vector<std::string> &env,
                      const std::string &input, const std::string &cwd, int timeoutSeconds) {
    ProgramRun result;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        result.err = "pipe failed";
        return result;
    }
    std::vector<std::string> envCopy = env;
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (dup2(in[0], 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) _exit(127);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
        for (std::string &e : envCopy)
            putenv(e.data());
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        result.err = "fork failed";
        return result;
    }
    // Feed the input and drain both outputs together, so that no pipe fills.
    // A program that dies before reading its input must not take the test
    // with it: a write to its closed pipe fails with EPIPE instead. (Set after
    // the fork, so that the program itself starts with the default action.)
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    size_t fed = 0;
    if (input.empty()) {
        close(in[1]);
        in[1] = -1;
    } else {
        fcntl(in[1], F_SETFL, O_NONBLOCK);
    }
    std::string *sinks[2] = {&result.out, &result.err};
    int reading[2] = {out[0], err[0]};
    time_t deadline = time(nullptr) + timeoutSeconds;
    bool killed = false;
    while (reading[0] >= 0 || reading[1] >= 0) {
        struct pollfd fds[3] = {
            {reading[0], POLLIN, 0}, {reading[1], POLLIN, 0}, {in[1], POLLOUT, 0}};
        int left = int(deadline - time(nullptr));
        if (left <= 0 && !killed) {
            kill(-pid, SIGKILL);
            killed = true;
            deadline = time(nullptr) + 5;
            continue;
        }
        if (left <= 0) break;
        int ready = poll(fds, 3, left * 1000);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        for (int k = 0; k < 2; ++k) {
            if (reading[k] < 0 || fds[k].revents == 0) continue;
            char buffer[8192];
            ssize_t n = read(reading[k], buffer, sizeof buffer);
            if (n > 0) {
                sinks[k]->append(buffer, size_t(n));
            } else if (n == 0 || errno != EINTR) {
                close(reading[k]);
                reading[k] = -1;
            }
        }
        if (in[1] >= 0 && fds[2].revents != 0) {
            ssize_t n = write(in[1], input.data() + fed, input.size() - fed);
            if (n > 0) fed += size_t(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || fed == input.size()) {
                close(in[1]);
                in[1] = -1;
            }
        }
    }
    for (int fd : {reading[0], reading[1], in[1]})
        if (fd >= 0) close(fd);
    sigaction(SIGPIPE, &previous, nullptr);
    if (!killed && (reading[0] >= 0 || reading[1] >= 0)) kill(-pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

SweepReport SweepMappingFailures(const std::function<ProgramRun(const std::string &)> &run,
                                 const std::function<std::string(const ProgramRun &)> &check,
                                 const std::vector<int> &counts, int maxN) {
    SweepReport report;
    for (int count : counts) {
        bool reachedEnd = false;
        for (int n = 1; n <= maxN && !reachedEnd; ++n) {
            std::string value = std::to_string(n) + (count > 0 ? ":" + std::to_string(count) : "");
            ProgramRun r = run(value);
            ++report.runs;
            report.mostMessages = std::max(report.mostMessages, CountLines(r.err, OutOfMemText));
            std::string wrong = Judge(r, check);
            if (!wrong.empty())
                report.failures.push_back("CORLA_FAIL_MAPPING=" + value + ": " + wrong);
            // A run that met no failure has gone past the program's last mapping.
            reachedEnd = r.signal == 0 && !Holds(r.err, OutOfMemText);
        }
        if (!reachedEnd)
            report.failures.push_back("count " + std::to_string(count) +
                                      ": still failing at N = " + std::to_string(maxN));
    }
    return report;
}

} // namespace corla_test
