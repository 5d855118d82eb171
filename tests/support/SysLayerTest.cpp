// Test support for the system layer: see SysLayerTest.h.
#include "SysLayerTest.h"

#include "MemMgr.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corla_test {

std::vector<std::string> FakeOs::lines;
std::vector<unsigned> FakeOs::sleeps;
std::vector<std::pair<pid_t, int>> FakeOs::kills;
int FakeOs::systemStatus = 0;
std::string FakeOs::popenOutput;
std::vector<std::pair<std::string, std::string>> FakeOs::popenByPrefix;
std::deque<std::string> FakeOs::popenQueue;
int FakeOs::killErrno = 0;

namespace {

char ProgramName[64];
int ProgramCount = 0;

// A death test runs the fixture's SetUp in a new process that ends inside
// the test, before TearDown: its directory and log are removed at exit, by
// the process that made them (not by children forked from it).
std::string LeftDir;
pid_t LeftOwner = 0;

void RemoveLeftovers() {
    if (LeftOwner != getpid() || LeftDir.empty()) return;
    std::string command = "chmod -R u+rwx '" + LeftDir + "' 2>/dev/null; rm -rf '" + LeftDir + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", LeftDir.c_str());
    unlink((std::string("/tmp/") + ProgramName + ".log").c_str());
    LeftDir.clear();
}

int FakeSystem(const char *line) {
    FakeOs::lines.emplace_back(line);
    return FakeOs::systemStatus;
}

// The served text must outlive the stream: keep every one until Reset.
std::vector<std::string> &Served() {
    static std::vector<std::string> served;
    return served;
}

FILE *FakePopen(const char *line, const char *) {
    FakeOs::lines.emplace_back(line);
    std::string output = FakeOs::popenOutput;
    for (const auto &[prefix, text] : FakeOs::popenByPrefix)
        if (std::string_view(line).starts_with(prefix)) output = text;
    if (!FakeOs::popenQueue.empty()) {
        output = FakeOs::popenQueue.front();
        FakeOs::popenQueue.pop_front();
    }
    if (output.empty()) return fopen("/dev/null", "r");
    Served().push_back(output);
    return fmemopen(Served().back().data(), Served().back().size(), "r");
}

int FakePclose(FILE *stream) {
    return fclose(stream);
}

unsigned FakeSleep(unsigned seconds) {
    FakeOs::sleeps.push_back(seconds);
    return 0;
}

int FakeKill(pid_t pid, int signal) {
    FakeOs::kills.emplace_back(pid, signal);
    if (FakeOs::killErrno == 0) return 0;
    errno = FakeOs::killErrno;
    return -1;
}

} // namespace

void FakeOs::Reset() {
    lines.clear();
    sleeps.clear();
    kills.clear();
    systemStatus = 0;
    popenOutput.clear();
    popenByPrefix.clear();
    popenQueue.clear();
    killErrno = 0;
    Served().clear();
}

ChildResult RunInChild(const std::function<void()> &body) {
    std::string dir = MakeTempDir();
    std::string outPath = dir + "/out";
    std::string errPath = dir + "/err";
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        FILE *out = freopen(outPath.c_str(), "w", stdout);
        FILE *err = freopen(errPath.c_str(), "w", stderr);
        if (out == nullptr || err == nullptr) _exit(98);
        body();
        fflush(nullptr);
        _exit(ChildReturned);
    }
    ChildResult result;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        ADD_FAILURE() << "fork/wait failed";
    } else if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    RemoveTree(dir);
    return result;
}

void UseRecordedSleep() {
    SysCmdOs.xSleep = FakeSleep;
}

std::string MakeTempDir() {
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/corla_test.XXXXXX";
    std::vector<char> text(pattern.begin(), pattern.end());
    text.push_back('\0');
    if (mkdtemp(text.data()) == nullptr) ADD_FAILURE() << "mkdtemp: " << strerror(errno);
    return text.data();
}

void RemoveTree(const std::string &path) {
    if (path.empty() || path == "/") return;
    std::string command = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << path;
}

void WriteFile(const std::string &path, const std::string &content, mode_t mode) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    chmod(path.c_str(), mode);
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

mode_t ModeOf(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void ResetCommandTable() {
    for (ComEntry &entry : ComList)
        entry.path = nullptr;
    snprintf(SearchPaths, sizeof SearchPaths, "%s",
             "/usr/bin:/usr/ucb:/usr/sbin:/bin:/sbin:/usr/lib:/usr/lib/lp");
    PutMem(FullSearchPath);
    FullSearchPath = nullptr;
    flInitSysCmd = 1;
    flSysCmdLog = 0;
    SysCmdOs = SysCmdOsDefault;
}

void SysLayerTest::SetUp() {
    char cwd[4096];
    savedCwd_ = getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
    dir_ = MakeTempDir();
    static bool registered = false;
    if (!registered) registered = atexit(RemoveLeftovers) == 0;
    LeftDir = dir_;
    LeftOwner = getpid();
    snprintf(ProgramName, sizeof ProgramName, "corla_t%d_%d", int(getpid()), ++ProgramCount);
    my_name = ProgramName;
    unlink(LogPath().c_str());
    flUseLog = 0;
    flLogFirstWrite = 1;
    flLogFailed = 0;
    flInputFilterState = 1;
    ResetCommandTable();
    FakeOs::Reset();
    const char *path = getenv("PATH");
    hadPath_ = path != nullptr;
    savedPath_ = path ? path : "";
    const char *shell = getenv("SHELL");
    hadShell_ = shell != nullptr;
    savedShell_ = shell ? shell : "";
}

void SysLayerTest::TearDown() {
    if (pIn != nullptr) fclose(pIn);
    if (pOut != nullptr) fclose(pOut);
    pIn = nullptr;
    pOut = nullptr;
    FileStatus = InputClosed;
    ResetCommandTable();
    FakeOs::Reset();
    flUseLog = 0;
    flLogFirstWrite = 1;
    flLogFailed = 0;
    flInputFilterState = 1;
    pLogPath = "/tmp";
    unlink(LogPath().c_str());
    if (hadPath_)
        setenv("PATH", savedPath_.c_str(), 1);
    else
        unsetenv("PATH");
    if (hadShell_)
        setenv("SHELL", savedShell_.c_str(), 1);
    else
        unsetenv("SHELL");
    if (chdir(savedCwd_.c_str()) != 0) ADD_FAILURE() << "chdir back failed";
    RemoveTree(dir_);
    LeftDir.clear();
    my_name = "setup";
}

void SysLayerTest::StandIn(const std::string &name, const std::string &body) {
    WriteFile(dir_ + "/" + name, "#!/bin/sh\n" + body + "\n", 0755);
    for (int k = CmdCancel; k < CmdEnd; ++k)
        if (name == ComList[k].name) ComList[k].path = dir_.c_str();
}

void SysLayerTest::StandInShell() {
    std::string link = dir_ + "/sh";
    if (symlink("/bin/sh", link.c_str()) != 0 && errno != EEXIST)
        ADD_FAILURE() << "symlink sh: " << strerror(errno);
    ComList[CmdSh].path = dir_.c_str();
}

void SysLayerTest::LocateAllIn(const char *directory) {
    flInitSysCmd = 0;
    for (int k = CmdCancel; k < CmdEnd; ++k)
        ComList[k].path = directory;
}

void SysLayerTest::UseFakeOs() {
    SysCmdOs = SysCmdOsCalls{FakeSystem, FakePopen, FakePclose, FakeSleep, FakeKill};
}

std::string SysLayerTest::LogPath() const {
    return std::string("/tmp/") + my_name + ".log";
}

std::string SysLayerTest::ReadLog() const {
    return ReadFile(LogPath());
}

} // namespace corla_test
