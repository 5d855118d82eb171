// helpview: the help menu on a file through a pipe (targets, redirect
// names, a file that cannot be read, the end of input), --dump of a file and
// of the bundled help pages, and usage errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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
    std::string Bundled(const std::string &page) const {
        return std::string(getenv("CORLA_BUILD_BIN")) + "/help/" + page;
    }
    std::string Write(const std::string &text) {
        file_ = dir_ + "/help.html";
        FILE *f = fopen(file_.c_str(), "w");
        if (f == nullptr) return "";
        fputs(text.c_str(), f);
        fclose(f);
        return file_;
    }
    // Run helpview with arguments (already quoted) in the temporary
    // directory, the answers on standard input, capturing standard output
    // (standard error is captured too when withErrors is set).
    Result Run(const std::string &arguments, bool withErrors = false,
               const std::string &answers = "") {
        std::string command = "cd '" + dir_ + "' && printf '%s' '" + answers +
                              "' | TERM=dumb LANG=en_US '" + program_ + "' " + arguments +
                              (withErrors ? " 2>&1" : " 2>/dev/null");
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
         {std::string(""), std::string("--dump"), "--view '" + path + "'", std::string("-x"),
          std::string("--dump a b"), "'" + path + "' '" + path + "'"}) {
        Result r = Run(arguments, true);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_NE(r.out.find("usage: helpview FILE[#TARGET]\n       helpview --dump FILE"),
                  std::string::npos)
            << r.out;
    }
    Result r = Run(std::string(2048, 'n'), true);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("the name is longer than 2047 characters"), std::string::npos) << r.out;
}

TEST_F(Helpview, TheHelpMenuOnAFileAtATarget) {
    Write("<html><head><title>Top</title></head><body>Top page <a href=\"#more\">More</a>"
          "</body></html><html page=\"more\"><head><title>More page</title></head><body>"
          "<a href=\"#x\">x</a></body></html>");
    // Opened at "more", back to the first page, then leave.
    Result r = Run("'help.html#more'", false, "b\ne\n");
    EXPECT_EQ(r.status, 0);
    size_t more = r.out.find("More page");
    size_t top = r.out.find("Top page");
    ASSERT_NE(more, std::string::npos) << r.out;
    ASSERT_NE(top, std::string::npos) << r.out;
    EXPECT_LT(more, top);
    EXPECT_NE(r.out.find("Corla Help"), std::string::npos);
    EXPECT_NE(r.out.find(" 1) x \n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" e) Exit Help"), std::string::npos);
}

TEST_F(Helpview, AFileThatCannotBeReadEndsWithStatus1) {
    Result r = Run("missing.html", true, "e\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error in reading HTML file missing.html\n");
}

TEST_F(Helpview, TheEndOfInputEndsTheHelpMenu) {
    Write("<html><body>Only page</body></html>");
    Result r = Run("help.html", true, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Only page"), std::string::npos);
    EXPECT_NE(r.out.find("reading from standard input"), std::string::npos) << r.out;
}

TEST_F(Helpview, ARedirectNameShowsThePrinterHelpText) {
    Result r = Run("'guide$$printers.redirect'", true, "e\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Printer models"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("| Plimto 3100 |"), std::string::npos) << r.out;
}

TEST_F(Helpview, TheBundledHelpFollowsItsLinksAcrossFiles) {
    // Contents, the second file (beside the first, not in the current
    // directory), its LPD page, back, back again (a link to another file
    // leaves no step to go back to), the link back to the first file, then
    // the printer models.
    Result r = Run("'" + Bundled("menudemo.html") + "'", true, "5\n1\nb\nb\n5\n6\ne\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    std::vector<size_t> at;
    for (const char *text :
         {"This dialogue defines one printer queue", "A queue hands each job",
          "The line printer daemon protocol", "A queue hands each job", "A queue hands each job",
          "This dialogue defines one printer queue", "Every queue serves one"}) {
        size_t from = at.empty() ? 0 : at.back() + 1;
        at.push_back(r.out.find(text, from));
        ASSERT_NE(at.back(), std::string::npos) << text << "\n" << r.out;
    }
}

TEST_F(Helpview, DumpRendersTheBundledHelp) {
    Result r = Run("--dump '" + Bundled("menudemo.html") + "'");
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> pages;
    for (size_t from = 0;;) {
        size_t ff = r.out.find('\f', from);
        pages.push_back(r.out.substr(from, ff == std::string::npos ? ff : ff - from));
        if (ff == std::string::npos) break;
        from = ff + 1;
    }
    ASSERT_EQ(pages.size(), 5u) << r.out;
    const char *titles[] = {
        "Printer queue configuration: help", "The queue name and the connection",
        "Entries and the values they accept", "Printer features", "Keys of the dialogue"};
    for (size_t k = 0; k < 5; ++k) {
        std::string title = titles[k];
        std::string centred = std::string((80 - title.size()) / 2, ' ') + title + "\n\n";
        EXPECT_EQ(pages[k].rfind(centred, 0), 0u) << pages[k];
    }
    EXPECT_EQ(r.out.find("Printer classes"), std::string::npos); // the skipped section
    EXPECT_NE(pages[0].find("\nContents:\n   1. <The queue name and the connection>\n"
                            "   2. <Entries and the values they accept>\n"),
              std::string::npos)
        << pages[0];
    EXPECT_NE(pages[0].find("with a number and a value: \"6 2\" asks for two copies."),
              std::string::npos);
    EXPECT_NE(pages[2].find("| 7 Paper width | ,---------+-----,"), std::string::npos) << pages[2];
    EXPECT_NE(pages[2].find("|               | |widest   |17 in|"), std::string::npos);
    EXPECT_NE(pages[2].find("8\xBD in wide"), std::string::npos);
    EXPECT_NE(pages[2].find("8.27 in \xD7 11.69 in"), std::string::npos);
    EXPECT_NE(pages[4].find("\xA9 Corla \xB7 menudemo help"), std::string::npos);

    r = Run("--dump '" + Bundled("menudemo-queues.html") + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("   3. <Local ports>: through a device of this machine.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\f'), 3);
}

} // namespace
