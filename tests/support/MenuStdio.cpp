// Scripted standard input and captured standard output for menu tests.
#include "MenuTestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace menu_test {

namespace {

// While standard output is captured, gtest's own reports would land in the
// capture: failures are repeated on standard error, which stays put.
class FailuresToStderr : public testing::EmptyTestEventListener {
    void OnTestPartResult(const testing::TestPartResult &result) override {
        if (!result.failed()) return;
        fprintf(stderr, "%s:%d: Failure\n%s\n",
                result.file_name() != nullptr ? result.file_name() : "?", result.line_number(),
                result.message());
    }
};

void ReportFailuresOnStderr() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    testing::UnitTest::GetInstance()->listeners().Append(new FailuresToStderr);
}

std::string TempFile(const char *stem) {
    std::string path = std::string("/tmp/") + stem + "-XXXXXX";
    int fd = mkstemp(path.data());
    if (fd < 0) ADD_FAILURE() << "mkstemp failed";
    close(fd);
    return path;
}

} // namespace

StdioScript::StdioScript(const std::string &input) {
    ReportFailuresOnStderr();
    inputPath_ = TempFile("menu-in");
    WriteFileText(inputPath_, input);
    if (freopen(inputPath_.c_str(), "r", stdin) == nullptr) ADD_FAILURE() << "no stdin";
    outputPath_ = TempFile("menu-out");
    fflush(stdout);
    savedStdout_ = dup(STDOUT_FILENO);
    FILE *out = fopen(outputPath_.c_str(), "w");
    if (out == nullptr) {
        ADD_FAILURE() << "no output file";
        return;
    }
    dup2(fileno(out), STDOUT_FILENO);
    fclose(out);
}

StdioScript::~StdioScript() {
    fflush(stdout);
    if (savedStdout_ >= 0) {
        dup2(savedStdout_, STDOUT_FILENO);
        close(savedStdout_);
    }
    if (freopen("/dev/null", "r", stdin) == nullptr) ADD_FAILURE() << "no /dev/null";
    unlink(inputPath_.c_str());
    unlink(outputPath_.c_str());
}

std::string StdioScript::Output() {
    fflush(stdout);
    return ReadFileText(outputPath_);
}

std::string ReadFileText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFileText(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string MakeTempDir() {
    std::string path = "/tmp/menu-test-XXXXXX";
    if (mkdtemp(path.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    return path;
}

void RemoveTree(const std::string &path) {
    if (path.rfind("/tmp/menu-test-", 0) != 0) return; // only what MakeTempDir made
    std::string command = "rm -rf '" + path + "'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << path;
}

std::string BuildBinDir() {
    const char *bin = getenv("CORLA_BUILD_BIN");
    return bin != nullptr ? bin : "";
}

} // namespace menu_test
