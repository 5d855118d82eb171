// helpview --dump: the laid-out pages of a help file, separated by form
// feeds; usage errors for every other command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int status;
    std::string out;
};

class Helpview : public testing::Test {
  protected:
    void SetUp() override {
        const char *bin = getenv("CORLA_BUILD_BIN");
        if (bin == nullptr) GTEST_SKIP() << "CORLA_BUILD_BIN is not set";
        program_ = std::string(bin) + "/helpview";
        ASSERT_EQ(access(program_.c_str(), X_OK), 0) << program_;
        char dir[] = "/tmp/helpview_testXXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        if (!file_.empty()) unlink(file_.c_str());
        if (!dir_.empty()) rmdir(dir_.c_str());
    }
    std::string Write(const std::string &text) {
        file_ = dir_ + "/help.html";
        FILE *f = fopen(file_.c_str(), "w");
        if (f == nullptr) return "";
        fputs(text.c_str(), f);
        fclose(f);
        return file_;
    }
    // Run helpview with arguments (already quoted), capturing standard
    // output (standard error is captured too when withErrors is set).
    Result Run(const std::string &arguments, bool withErrors = false) {
        std::string command = program_ + " " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
        FILE *p = popen(command.c_str(), "r");
        Result result{-1, ""};
        if (p == nullptr) return result;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            result.out.append(buffer, n);
        int status = pclose(p);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    std::string program_;
    std::string dir_;
    std::string file_;
};

TEST_F(Helpview, DumpPrintsEveryPageSeparatedByFormFeeds) {
    std::string path =
        Write("<html><head><title>Help</title></head><body>First<br>page</body></html>\n"
              "<html page=\"two\"><body><a href=\"#x\">Next</a></body></html>\n"
              "<html page=\"three\"><body><table border><tr><td>t</td></tr></table>"
              "</body></html>\n");
    Result r = Run("--dump '" + path + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(38, ' ') + "Help\n\nFirst\npage\n\f<Next>\n\f,-,\n|t|\n'-'\n");
}

TEST_F(Helpview, DumpOfAMissingOrEmptyFileFails) {
    Result r = Run("--dump '" + dir_ + "/missing.html'", true);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("cannot read help pages"), std::string::npos) << r.out;
    std::string path = Write("no pages at all");
    EXPECT_EQ(Run("--dump '" + path + "'").status, 1);
}

TEST_F(Helpview, OtherCommandLinesAreUsageErrors) {
    std::string path = Write("<html><body>x</body></html>");
    for (const std::string &arguments :
         {std::string(""), "'" + path + "'", std::string("--dump"), "--view '" + path + "'"}) {
        Result r = Run(arguments, true);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_NE(r.out.find("usage: helpview --dump FILE"), std::string::npos) << r.out;
    }
}

} // namespace
