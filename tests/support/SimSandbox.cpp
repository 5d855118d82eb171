#include "SimSandbox.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace {

// A pipe's two ends, closed when the object goes.
struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() {
        if (pipe2(fd, O_CLOEXEC) != 0) fd[0] = fd[1] = -1;
    }
    ~Pipe() {
        for (int &end : fd)
            CloseEnd(end);
    }
    static void CloseEnd(int &end) {
        if (end >= 0) close(end);
        end = -1;
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
};

int StatusOf(int wstatus) {
    if (WIFEXITED(wstatus)) return WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) return 128 + WTERMSIG(wstatus);
    return -1;
}

std::string ReadWhole(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Splits a file of NUL-ended fields.
std::vector<std::string> NulFields(const std::string &text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(text.substr(start, end - start));
    return fields;
}

std::string FirstLine(const std::string &text) {
    return text.substr(0, text.find('\n'));
}

// The bound directories and the overlays, inside path -> below the root.
struct Mapping {
    std::string_view inside;
    std::string_view below;
};
constexpr Mapping kMappings[] = {
    {"/usr/share/printconf", "usr/share/printconf"},
    {"/var/spool", "var/spool"},
    {"/var/sadm", "var/sadm"},
    {"/var/sim", "sim"},
    {"/etc/rc2.d", "etc/rc2.d"},
    {"/opt", "opt"},
    {"/tmp", "tmp"},
    {"/usr", "changes/usr"},
    {"/var", "changes/var"},
    {"/etc", "changes/etc"},
    {"/root", "changes/root"},
};

} // namespace

SimResult SimExec(const std::vector<std::string> &argv, std::string_view input,
                  int timeoutSeconds) {
    SimResult result;
    if (argv.empty()) return result;
    // A child that stops reading must not end the test program.
    std::signal(SIGPIPE, SIG_IGN);

    Pipe in, out, err;
    if (in.fd[0] < 0 || out.fd[0] < 0 || err.fd[0] < 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.fd[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err.fd[1], 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);

    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) return result;
    Pipe::CloseEnd(in.fd[0]);
    Pipe::CloseEnd(out.fd[1]);
    Pipe::CloseEnd(err.fd[1]);
    fcntl(in.fd[1], F_SETFL, O_NONBLOCK);
    if (input.empty()) Pipe::CloseEnd(in.fd[1]);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    size_t written = 0;
    char buffer[65536];
    while (out.fd[0] >= 0 || err.fd[0] >= 0) {
        pollfd fds[3];
        int n = 0;
        for (int fd : {out.fd[0], err.fd[0]})
            if (fd >= 0) fds[n++] = {fd, POLLIN, 0};
        if (in.fd[1] >= 0) fds[n++] = {in.fd[1], POLLOUT, 0};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(-pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        if (poll(fds, n, static_cast<int>(std::min<long long>(left.count(), 1000))) < 0 &&
            errno != EINTR)
            break;
        for (int i = 0; i < n; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == in.fd[1]) {
                ssize_t put = write(in.fd[1], input.data() + written, input.size() - written);
                if (put > 0) written += static_cast<size_t>(put);
                if ((put < 0 && errno != EAGAIN) || written == input.size())
                    Pipe::CloseEnd(in.fd[1]);
                continue;
            }
            ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                (fds[i].fd == out.fd[0] ? result.out : result.err).append(buffer, got);
            } else if (got == 0 || errno != EINTR) {
                Pipe::CloseEnd(fds[i].fd == out.fd[0] ? out.fd[0] : err.fd[0]);
            }
        }
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    result.status = StatusOf(wstatus);
    return result;
}

std::string SimBinDir() {
    if (const char *dir = std::getenv("CORLA_BUILD_BIN"); dir && *dir) return dir;
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

SimResult SimMakeDist(const std::string &dir, const std::vector<std::string> &options) {
    std::vector<std::string> argv = {SimBinDir() + "/sim-mkdist"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(dir);
    return SimExec(argv);
}

SimSandbox::SimSandbox() {
    char name[] = "/var/tmp/simroot.XXXXXX";
    if (!mkdtemp(name)) return;
    // The marker lets tests put their own files (a distribution) in the root.
    std::error_code ec;
    if (fs::create_directory(std::string(name) + "/.sandbox", ec)) root_ = name;
}

SimSandbox::~SimSandbox() {
    if (root_.empty()) return;
    if (std::getenv("CORLA_KEEP_SIM")) {
        std::fprintf(stderr, "sandbox scratch root kept: %s\n", root_.c_str());
        return;
    }
    std::error_code ec;
    fs::remove_all(root_, ec);
}

SimResult SimSandbox::Run(const std::vector<std::string> &argv, std::string_view input,
                          const std::vector<std::string> &options, int timeoutSeconds) const {
    std::vector<std::string> command = {SimBinDir() + "/sim-sandbox", "--root", root_};
    command.insert(command.end(), options.begin(), options.end());
    command.push_back("--");
    command.insert(command.end(), argv.begin(), argv.end());
    return SimExec(command, input, timeoutSeconds);
}

SimResult SimSandbox::Sh(const std::string &script, std::string_view input,
                         const std::vector<std::string> &options) const {
    return Run({"/bin/sh", "-c", script}, input, options);
}

std::string SimSandbox::HostPath(std::string_view inside) const {
    for (const Mapping &map : kMappings) {
        if (inside.substr(0, map.inside.size()) != map.inside) continue;
        std::string_view rest = inside.substr(map.inside.size());
        if (!rest.empty() && rest.front() != '/') continue;
        return root_ + "/" + std::string(map.below) + std::string(rest);
    }
    return {};
}

bool SimSandbox::Exists(std::string_view inside) const {
    std::string path = HostPath(inside);
    struct stat st;
    return !path.empty() && lstat(path.c_str(), &st) == 0;
}

std::string SimSandbox::Read(std::string_view inside) const {
    std::string path = HostPath(inside);
    return path.empty() ? std::string() : ReadWhole(path);
}

bool SimSandbox::Write(std::string_view inside, std::string_view content, unsigned mode) const {
    std::string path = HostPath(inside);
    if (path.empty()) return false;
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    file.close();
    return file.good() && chmod(path.c_str(), mode) == 0;
}

bool SimSandbox::PlantSuiteProgram(std::string_view inside) const {
    std::string text = ReadWhole(SimBinDir() + "/sim-suite");
    return !text.empty() && Write(inside, text, 0755);
}

bool SimSandbox::SetConf(std::string_view key, std::string_view value) const {
    std::string text(value);
    if (!text.empty() && text.back() != '\n') text += '\n';
    return Write("/var/sim/conf/" + std::string(key), text);
}

bool SimSandbox::UnsetConf(std::string_view key) const {
    std::error_code ec;
    return fs::remove(HostPath("/var/sim/conf/" + std::string(key)), ec) || !ec;
}

std::vector<SimCall> SimSandbox::Calls() const {
    std::vector<SimCall> calls;
    std::error_code ec;
    std::vector<fs::path> dirs;
    for (const auto &entry : fs::directory_iterator(HostPath("/var/sim/log/calls"), ec))
        dirs.push_back(entry.path());
    std::sort(dirs.begin(), dirs.end());
    for (const fs::path &dir : dirs) {
        SimCall call;
        call.prog = FirstLine(ReadWhole(dir / "prog"));
        call.path = FirstLine(ReadWhole(dir / "path"));
        call.cwd = FirstLine(ReadWhole(dir / "cwd"));
        call.argv = NulFields(ReadWhole(dir / "argv"));
        for (const std::string &pair : NulFields(ReadWhole(dir / "env"))) {
            size_t eq = pair.find('=');
            if (eq != std::string::npos) call.env[pair.substr(0, eq)] = pair.substr(eq + 1);
        }
        call.input = ReadWhole(dir / "stdin");
        calls.push_back(std::move(call));
    }
    return calls;
}

std::string SimSandbox::CommandLog() const {
    return Read("/var/sim/log/commands.log");
}
