// Help navigation: targets, links within and across files, and the history.
#include "html.h"

#include "HtmlTestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace htmltest;

namespace {

class HtmlNavigation : public HtmlTest {
  protected:
    // A file whose first page links to targets a (a page) and b (an anchor
    // on the third page), and to another file.
    HtmlFile *Guide() {
        return Load(
            "<html><body>Start <a href=\"#a\">to a</a> <a href=\"#b\">to b</a> "
            "<a href=\"other.html\">other</a> <a href=\"guide#c\">to c</a></body></html>"
            "<html page=\"a\"><body>Page a</body></html>"
            "<html page=\"c\"><body>Page c<br><br><a name=\"b\">b is here</a></body></html>",
            "help/guide.html");
    }
    // The middle offset of link n of the shown page.
    static int Inside(int n) {
        HtmlAnchor *link = LinkAt(pCurrentPage, n);
        return link != nullptr ? (link->nStart + link->nEnd) / 2 : -1;
    }
};

TEST_F(HtmlNavigation, GoToTargetReachesAPageByName) {
    HtmlFile *file = Guide();
    TargetPos = 7;
    GoToTarget("#a");
    EXPECT_EQ(pCurrentPage, Page(file, 2));
    EXPECT_EQ(TargetPos, 0);
    ASSERT_EQ(HistoryI, 1);
    // The entry is written after TargetPos is set, with the page left.
    EXPECT_EQ(History[0].pPage, Page(file, 1));
    EXPECT_EQ(History[0].nTargetPos, 0);
    EXPECT_EQ(History[0].nFile, 0);
}

TEST_F(HtmlNavigation, GoToTargetReachesANamedAnchor) {
    HtmlFile *file = Guide();
    TargetPos = 7;
    GoToTarget("b");
    EXPECT_EQ(pCurrentPage, Page(file, 3));
    ASSERT_EQ(HistoryI, 1);
    EXPECT_EQ(History[0].nTargetPos, 7);
    std::string text = Text(file, 3);
    EXPECT_EQ(text.substr(size_t(TargetPos), 9), "b is here");
}

TEST_F(HtmlNavigation, UnknownTargetChangesNothing) {
    HtmlFile *file = Guide();
    GoToTarget("#nowhere");
    GoToTarget("#");
    GoToTarget(nullptr);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(HistoryI, 0);
}

TEST_F(HtmlNavigation, LinkToATargetAndBack) {
    HtmlFile *file = Guide();
    HtmlProcessLink(Inside(1));
    EXPECT_EQ(pCurrentPage, Page(file, 2));
    EXPECT_EQ(HistoryI, 1);
    EXPECT_EQ(HtmlSetHistory(-1), 1);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(HistoryI, 0);
    EXPECT_EQ(HtmlSetHistory(-1), 0);
}

TEST_F(HtmlNavigation, LinkSetsTargetPosToThePosition) {
    Guide();
    int at = Inside(2);
    HtmlProcessLink(at);
    ASSERT_EQ(HistoryI, 1);
    EXPECT_EQ(History[0].nTargetPos, at);
}

TEST_F(HtmlNavigation, LinkWithTheFilesOwnNameStaysInTheFile) {
    HtmlFile *file = Guide();
    HtmlProcessLink(Inside(4)); // "guide#c": a prefix of guide.html
    EXPECT_EQ(pCurrentPage, Page(file, 3));
    EXPECT_EQ(CurrentFile, 0);
}

TEST_F(HtmlNavigation, PositionOutsideEveryLinkDoesNothing) {
    HtmlFile *file = Guide();
    HtmlProcessLink(0);
    HtmlProcessLink(-1);
    HtmlProcessLink(100000);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(HistoryI, 0);
}

TEST_F(HtmlNavigation, NothingHappensWhileAFileIsBuilt) {
    HtmlFile *file = Guide();
    flBuildingFile = 1;
    HtmlProcessLink(Inside(1));
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    flBuildingFile = 0;
}

TEST_F(HtmlNavigation, NothingHappensWithoutFilesOrLinks) {
    HtmlProcessLink(0);
    EXPECT_EQ(pCurrentPage, nullptr);
    Load("<html><body>no links</body></html>");
    HtmlPage *shown = pCurrentPage;
    HtmlProcessLink(0);
    EXPECT_EQ(pCurrentPage, shown);
}

TEST_F(HtmlNavigation, LinkToAnotherFileChangesFileWithoutHistory) {
    Guide();
    HtmlFile *other = Load("<html><body>Other file</body></html>", "other.html");
    ASSERT_NE(other, nullptr);
    HtmlSetHistory(0); // back to the guide (history is empty: no change)
    CurrentFile = 0;
    pCurrentPage = Page(aFile[0], 1);
    HtmlProcessLink(Inside(3));
    EXPECT_EQ(CurrentFile, 1);
    EXPECT_EQ(pCurrentPage, Page(other, 1));
    EXPECT_EQ(HistoryI, 0);
}

TEST_F(HtmlNavigation, LinkToAFileNotLoadedYetLoadsIt) {
    HtmlFile *file =
        Load("<html><body><a href=\"more.html#x\">more</a></body></html>", "start.html");
    ASSERT_NE(file, nullptr);
    char dir[] = "/tmp/html_nav_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/more.html";
    FILE *f = fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("<html><body>More</body></html><html page=\"x\"><body>X</body></html>", f);
    fclose(f);
    HtmlAnchor link{};
    std::string target = path + "#x";
    link.pTarget = target.data();
    link.nType = AnchorLink;
    ProcessLink(&link);
    EXPECT_EQ(FileIndex, 2);
    EXPECT_EQ(CurrentFile, 1);
    EXPECT_EQ(pCurrentPage, Page(aFile[1], 2));
    EXPECT_EQ(flBuildingFile, 0);
    unlink(path.c_str());
    rmdir(dir);
}

TEST_F(HtmlNavigation, RelativeLinksAreLookedForBesideTheirFileFirst) {
    char dir[] = "/tmp/html_nav_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string base = dir;
    auto write = [](const std::string &path, const char *text) {
        FILE *f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs(text, f);
        fclose(f);
    };
    ASSERT_EQ(mkdir((base + "/help").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((base + "/cwd").c_str(), 0755), 0);
    write(base + "/help/a.html",
          "<html><body><a href=\"b.html#x\">b</a> <a href=\"c.html\">c</a></body></html>");
    write(base + "/help/b.html",
          "<html><body>B</body></html><html page=\"x\"><body>X</body></html>");
    write(base + "/cwd/c.html", "<html><body>C in the current directory</body></html>");
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir((base + "/cwd").c_str()), 0);

    HtmlFile *a = ParseHtmlFile((base + "/help/a.html").c_str(), nullptr);
    ASSERT_NE(a, nullptr);
    HtmlProcessLink(Inside(1));
    ASSERT_EQ(FileIndex, 2);
    EXPECT_EQ(std::string(aFile[1]->pName), base + "/help/b.html");
    EXPECT_EQ(pCurrentPage, Page(aFile[1], 2));
    // Not beside it: the name as given, from the current directory.
    CurrentFile = 0;
    pCurrentPage = Page(a, 1);
    HtmlProcessLink(Inside(2));
    ASSERT_EQ(FileIndex, 3);
    EXPECT_STREQ(aFile[2]->pName, "c.html");
    EXPECT_EQ(Text(aFile[2]), "C in the current directory\n");

    EXPECT_EQ(chdir(saved), 0);
    std::string command = "rm -rf '" + base + "'";
    EXPECT_EQ(system(command.c_str()), 0);
}

TEST_F(HtmlNavigation, LinkToAMissingFileReportsAndStays) {
    HtmlFile *file = Load("<html><body><a href=\"/nonexistent/x.html\">x</a></body></html>");
    testing::internal::CaptureStdout();
    HtmlProcessLink(Inside(1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error in reading file /nonexistent/x.html\n");
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(CurrentFile, 0);
}

TEST_F(HtmlNavigation, ContentsReturnsToTheFirstFilesFirstPage) {
    HtmlFile *file = Guide();
    GoToTarget("a");
    GoToTarget("c");
    EXPECT_EQ(HistoryI, 2);
    EXPECT_EQ(HtmlSetHistory(0), 1);
    EXPECT_EQ(HistoryI, 0);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(HtmlSetHistory(0), 0);
}

TEST_F(HtmlNavigation, OtherModesChangeNothing) {
    HtmlFile *file = Guide();
    GoToTarget("a");
    EXPECT_EQ(HtmlSetHistory(5), 1);
    EXPECT_EQ(pCurrentPage, Page(file, 2));
    EXPECT_EQ(HistoryI, 1);
}

TEST_F(HtmlNavigation, FullHistoryStillMovesButRecordsNothing) {
    HtmlFile *file = Guide();
    for (int i = 0; i < HtmlMaxHistory; ++i)
        GoToTarget(i % 2 ? "a" : "c");
    EXPECT_EQ(HistoryI, HtmlMaxHistory);
    HtmlProcessLink(0); // on page c: no link at 0
    pCurrentPage = Page(file, 1);
    HtmlProcessLink(Inside(1));
    EXPECT_EQ(pCurrentPage, Page(file, 2));
    EXPECT_EQ(HistoryI, HtmlMaxHistory);
    EXPECT_EQ(HtmlSetHistory(-1), 1);
    EXPECT_EQ(HistoryI, HtmlMaxHistory - 1);
}

TEST_F(HtmlNavigation, HtmlHelpOpensAFileAndEmptiesTheHistory) {
    Guide();
    GoToTarget("a");
    ASSERT_EQ(HistoryI, 1);
    EXPECT_EQ(HtmlHelp("second.html", "<html><body>two</body></html>"), 1);
    EXPECT_EQ(HistoryI, 0);
    EXPECT_EQ(flBuildingFile, 0);
    EXPECT_EQ(CurrentFile, 1);
    EXPECT_EQ(Text(aFile[1]), "two\n");
}

TEST_F(HtmlNavigation, HtmlHelpReportsFailures) {
    EXPECT_EQ(HtmlHelp(nullptr, "<html><body>x</body></html>"), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(HtmlHelp("bad.html", "no pages here"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error reading HTML buffer\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(HtmlHelp("/nonexistent/help.html", nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error in reading HTML file /nonexistent/help.html\n");
    EXPECT_EQ(flBuildingFile, 0);
}

TEST_F(HtmlNavigation, SetHistoryRecordsTheShownState) {
    HtmlFile *file = Guide();
    TargetPos = 12;
    SetHistory();
    ASSERT_EQ(HistoryI, 1);
    EXPECT_EQ(History[0].nFile, 0);
    EXPECT_EQ(History[0].pPage, Page(file, 1));
    EXPECT_EQ(History[0].nTargetPos, 12);
}

} // namespace
