// Test support for writes that fail for real: see WriteFault.h.
//
// Two processes: the scene keeper (forked from the test) sets up the fault
// (for a full disk its own mount namespace and tmpfs), seeds and fills the
// scene and starts the body in a child of its own, collecting what the body
// prints through pipes (a file-size limit would cut files); after the body it
// lists the scene into a report file outside the scene, which the test reads
// once the keeper has ended (and with it the namespace and the tmpfs).
#include "WriteFault.h"

#include "SysLayerTest.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace corla_test {

namespace {

constexpr char FillerName[] = "filler";
constexpr int SetupFailed = 97;

bool WriteAllTo(int fd, const char *data, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= size_t(w);
    }
    return true;
}

bool PutFile(const std::string &path, const std::string &content) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteAllTo(fd, content.data(), content.size());
    return close(fd) == 0 && ok;
}

// mkdir -p of the directories of a relative path inside the scene.
bool MakeParents(const std::string &scene, const std::string &relative) {
    for (size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        std::string dir = scene + "/" + relative.substr(0, slash);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Every entry under dir, relative to the scene, directories ending in "/".
void ListScene(const std::string &scene, const std::string &relative, bool skipFiller,
               FileMap &files) {
    std::string dir = relative.empty() ? scene : scene + "/" + relative;
    DIR *handle = opendir(dir.c_str());
    if (handle == nullptr) return;
    std::vector<std::string> names;
    for (struct dirent *e = readdir(handle); e != nullptr; e = readdir(handle))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    closedir(handle);
    for (const std::string &name : names) {
        if (skipFiller && relative.empty() && name == FillerName) continue;
        std::string rel = relative.empty() ? name : relative + "/" + name;
        struct stat st;
        if (lstat((scene + "/" + rel).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            files[rel + "/"] = "";
            ListScene(scene, rel, false, files);
        } else {
            files[rel] = ReadFile(scene + "/" + rel);
        }
    }
}

// Fill the scene's file system until a write finds no room.
bool FillUp(const std::string &scene) {
    int fd =
        open((scene + "/" + FillerName).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    static const std::string chunk(4096, 'f');
    for (;;) {
        ssize_t w = write(fd, chunk.data(), chunk.size());
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) break;
    }
    bool full = errno == ENOSPC;
    close(fd);
    return full;
}

struct Paths {
    std::string top, scene, report, setup, input;
};

// Read what the body prints until both pipes close; past the deadline the
// body's process group is killed.
void Collect(int outFd, int errFd, pid_t body, int timeoutSeconds, std::string &out,
             std::string &err) {
    struct pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string *sink[2] = {&out, &err};
    time_t deadline = time(nullptr) + timeoutSeconds + 5;
    int open = 2;
    while (open > 0) {
        int left = int(deadline - time(nullptr));
        if (left <= 0) {
            kill(-body, SIGKILL);
            break;
        }
        int ready = poll(fds, 2, left * 1000);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            char buffer[4096];
            ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                sink[k]->append(buffer, size_t(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[k].fd);
                fds[k].fd = -1;
                --open;
            }
        }
    }
    for (auto &f : fds)
        if (f.fd >= 0) close(f.fd);
}

void Field(std::string &report, const std::string &text) {
    report += std::to_string(text.size()) + "\n" + text;
}

// The scene keeper; its exit status is 0, or SetupFailed with the reason in
// paths.setup.
int KeepScene(WriteFault fault, const FileMap &seed,
              const std::function<void(const std::string &)> &body, const FaultOptions &options,
              const Paths &paths) {
    auto fail = [&](const std::string &what) {
        PutFile(paths.setup, what + ": " + strerror(errno));
        return SetupFailed;
    };
    if (fault == WriteFault::FullDisk) {
        // The tmpfs lives in a mount namespace of this process only.
        if (unshare(CLONE_NEWNS) != 0) return fail("unshare(CLONE_NEWNS)");
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return fail("making / private");
        std::string size = "size=" + std::to_string(options.tmpfsBytes) + ",mode=0755";
        if (mount("corla_fault", paths.scene.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                  size.c_str()) != 0)
            return fail("mounting a tmpfs");
    }
    for (const auto &[relative, content] : seed) {
        if (!MakeParents(paths.scene, relative)) return fail("seeding " + relative);
        std::string path = paths.scene + "/" + relative;
        bool ok = relative.back() == '/' ? mkdir(path.c_str(), 0755) == 0 || errno == EEXIST
                                         : PutFile(path, content);
        if (!ok) return fail("seeding " + relative);
    }
    if (fault == WriteFault::FullDisk && !FillUp(paths.scene)) return fail("filling the tmpfs");

    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return fail("pipe");
    fflush(nullptr);
    pid_t child = fork();
    if (child < 0) return fail("fork");
    if (child == 0) {
        setpgid(0, 0);
        int in = open(paths.input.c_str(), O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0 || dup2(outPipe[1], 1) < 0 || dup2(errPipe[1], 2) < 0)
            _exit(SetupFailed);
        close(in);
        close(outPipe[0]);
        close(errPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        if (chdir(paths.scene.c_str()) != 0) _exit(SetupFailed);
        alarm(unsigned(options.timeoutSeconds));
        if (fault == WriteFault::FileSizeLimit) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(SetupFailed);
        }
        body(paths.scene);
        fflush(nullptr);
        _exit(ChildReturned);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    std::string out, err;
    Collect(outPipe[0], errPipe[0], child, options.timeoutSeconds, out, err);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    FileMap files;
    ListScene(paths.scene, "", fault == WriteFault::FullDisk, files);

    std::string report;
    Field(report, std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1));
    Field(report, std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0));
    Field(report, out);
    Field(report, err);
    for (const auto &[name, content] : files) {
        Field(report, name);
        Field(report, content);
    }
    if (!PutFile(paths.report, report)) return fail("writing the report");
    return 0;
}

bool TakeField(const std::string &report, size_t &at, std::string &field) {
    size_t nl = report.find('\n', at);
    if (nl == std::string::npos) return false;
    size_t size = std::stoul(report.substr(at, nl - at));
    if (nl + 1 + size > report.size()) return false;
    field = report.substr(nl + 1, size);
    at = nl + 1 + size;
    return true;
}

// A base directory whose path a settings-file name may hold.
std::string SceneBase() {
    const char *tmp = getenv("TMPDIR");
    if (tmp == nullptr || *tmp == '\0') return "/tmp";
    for (const char *p = tmp; *p != '\0'; ++p)
        if (!isalnum(static_cast<unsigned char>(*p)) && strchr("/-_", *p) == nullptr) return "/tmp";
    return tmp;
}

} // namespace

const char *FaultName(WriteFault fault) {
    switch (fault) {
    case WriteFault::FileSizeLimit:
        return "FileSizeLimit";
    case WriteFault::FullDisk:
        return "FullDisk";
    case WriteFault::DevFull:
        return "DevFull";
    }
    return "?";
}

std::string FaultErrorText(WriteFault fault) {
    return strerror(fault == WriteFault::FileSizeLimit ? EFBIG : ENOSPC);
}

void SetInput(const std::string &text) {
    int fds[2];
    if (pipe(fds) != 0) return;
    // Short texts only: the pipe must take it whole before anyone reads.
    if (!WriteAllTo(fds[1], text.data(), text.size())) ADD_FAILURE() << "input too long";
    close(fds[1]);
    dup2(fds[0], 0);
    close(fds[0]);
    clearerr(stdin);
}

FaultRun RunWithWriteFault(WriteFault fault, const FileMap &seed,
                           const std::function<void(const std::string &scene)> &body,
                           const FaultOptions &options) {
    FaultRun run;
    std::string pattern = SceneBase() + "/corla_fault_XXXXXX";
    std::vector<char> text(pattern.begin(), pattern.end());
    text.push_back('\0');
    if (mkdtemp(text.data()) == nullptr) {
        run.setupError = std::string("mkdtemp: ") + strerror(errno);
        return run;
    }
    Paths paths;
    paths.top = text.data();
    paths.scene = paths.top + "/scene";
    run.scene = paths.scene;
    paths.report = paths.top + "/report";
    paths.setup = paths.top + "/setup";
    paths.input = paths.top + "/input";
    if (mkdir(paths.scene.c_str(), 0755) != 0 || !PutFile(paths.input, options.input)) {
        run.setupError = std::string("scene: ") + strerror(errno);
        RemoveTree(paths.top);
        return run;
    }
    fflush(nullptr);
    pid_t keeper = fork();
    if (keeper == 0) _exit(KeepScene(fault, seed, body, options, paths));
    int status = 0;
    while (keeper > 0 && waitpid(keeper, &status, 0) < 0 && errno == EINTR) {
    }
    std::string report = ReadFile(paths.report);
    if (keeper < 0) {
        run.setupError = "fork failed";
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        run.setupError = ReadFile(paths.setup);
        if (run.setupError.empty()) run.setupError = "the scene keeper failed";
    } else {
        size_t at = 0;
        std::string status_, signal_, name, content;
        if (TakeField(report, at, status_) && TakeField(report, at, signal_) &&
            TakeField(report, at, run.out) && TakeField(report, at, run.err)) {
            run.status = std::stoi(status_);
            run.signal = std::stoi(signal_);
            while (TakeField(report, at, name) && TakeField(report, at, content))
                run.files[name] = content;
        } else {
            run.setupError = "unreadable report";
        }
    }
    RemoveTree(paths.top);
    return run;
}

} // namespace corla_test
