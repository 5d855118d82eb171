// The help page parser: pages and names, elements, character references and
// the registry of loaded files.
#include "html.h"

#include "HtmlTestUtil.h"
#include "MemMgr.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace htmltest;

namespace {

class HtmlParser : public HtmlTest {
  protected:
    // The items of the first page's body for a body text.
    std::string BodyItems(const std::string &body) {
        HtmlFile *file = Load("<html><body>" + body + "</body></html>");
        return file ? Items(&Page(file, 1)->Body) : "(no file)";
    }
    // The single text run of a body.
    std::string Run(const std::string &body) {
        HtmlFile *file = Load("<html><body>" + body + "<br></body></html>");
        auto *item = static_cast<HtmlItem *>(ListFindItemN(&Page(file, 1)->Body, 1));
        return item != nullptr && item->pTag == nullptr ? std::string(item->pValue) : "(none)";
    }
};

TEST_F(HtmlParser, TwoSectionsMakeTwoPagesAndTheSecondIsNamed) {
    HtmlFile *file =
        Load("<html><body>one</body></html>\n<html page=\"more\"><body>two</body></html>");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->Pages.nCount, 2);
    EXPECT_EQ(Page(file, 1)->pName, nullptr);
    ASSERT_NE(Page(file, 2)->pName, nullptr);
    EXPECT_STREQ(Page(file, 2)->pName, "more");
    EXPECT_EQ(Items(&Page(file, 1)->Body), "[one]");
    EXPECT_EQ(Items(&Page(file, 2)->Body), "[two]");
    EXPECT_EQ(pCurrentPage, Page(file, 1));
}

TEST_F(HtmlParser, PageAttributeIsFoundIgnoringCase) {
    HtmlFile *file =
        Load("<html><body>a</body></html><HTML PAGE=\"Two Words\"><body>b</body></HTML>");
    ASSERT_EQ(file->Pages.nCount, 2);
    EXPECT_STREQ(Page(file, 2)->pName, "Two Words");
}

TEST_F(HtmlParser, LaterHtmlTagWithoutPageAttributeAddsToTheCurrentPage) {
    HtmlFile *file = Load("<html><body>a</body></html><html><body>b</body></html>");
    ASSERT_EQ(file->Pages.nCount, 1);
    EXPECT_EQ(Items(&Page(file, 1)->Body), "[a][b]");
}

TEST_F(HtmlParser, FirstHtmlTagMayNameItsPage) {
    HtmlFile *file = Load("<html page=\"start\"><body>a</body></html>");
    EXPECT_STREQ(Page(file, 1)->pName, "start");
}

TEST_F(HtmlParser, SkipPageHidesTheWholeSection) {
    HtmlFile *file = Load("<html><body>one</body></html>"
                          "<html SkipPage page=\"hidden\"><body>secret</body></html>"
                          "<html page=\"three\"><body>three</body></html>");
    ASSERT_EQ(file->Pages.nCount, 2);
    EXPECT_STREQ(Page(file, 2)->pName, "three");
    EXPECT_EQ(Items(&Page(file, 2)->Body), "[three]");
}

TEST_F(HtmlParser, SkipPageIsCaseSensitiveAndItsEndIsNot) {
    HtmlFile *file =
        Load("<html><body>one</body></html><html skippage page=\"x\"><body>two</body></html>"
             "<html SkipPage><body>gone</body></HtMl><html page=\"y\"><body>3</body></html>");
    ASSERT_EQ(file->Pages.nCount, 3);
    EXPECT_STREQ(Page(file, 2)->pName, "x");
    EXPECT_STREQ(Page(file, 3)->pName, "y");
}

TEST_F(HtmlParser, SkipPageWithoutClosingTagSkipsNothingAndMakesNoPage) {
    HtmlFile *file = Load("<html><body>one</body><html SkipPage><body>two</body>");
    ASSERT_EQ(file->Pages.nCount, 1);
    EXPECT_EQ(Items(&Page(file, 1)->Body), "[one][two]");
}

TEST_F(HtmlParser, TextOutsideHeadAndBodyIsIgnored) {
    HtmlFile *file = Load("before<html>between<head><title>T</title></head>middle<p>"
                          "<body>inside</body>after</html>tail");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Items(&Page(file, 1)->Head), "<title>[T]</title>");
    EXPECT_EQ(Items(&Page(file, 1)->Body), "[inside]");
}

TEST_F(HtmlParser, SecondHeadOfAPageIsPassedOverButBodiesAppend) {
    HtmlFile *file = Load("<html><head><title>A</title></head><head><title>B</title></head>"
                          "<body>x</body><body>y</body></html>");
    EXPECT_EQ(Items(&Page(file, 1)->Head), "<title>[A]</title>");
    EXPECT_EQ(Items(&Page(file, 1)->Body), "[x][y]");
}

TEST_F(HtmlParser, TagsKeepTheirAttributeText) {
    EXPECT_EQ(BodyItems("<p>a<TD  width=\"50%\" >b</td>< br>"),
              "<p>[a]<TD  width=\"50%\" >[b]</td><br>");
    EXPECT_EQ(BodyItems("x</BODY>y"), "[x]");
}

TEST_F(HtmlParser, WhiteSpaceKeepsOnlyTheFirstOfARowInsideARun) {
    EXPECT_EQ(Run("  a \t\n  b  "), "a b ");
    EXPECT_EQ(Run("a\n   b"), "a\nb");
    EXPECT_EQ(Run("\r\n\tlead"), "lead");
}

TEST_F(HtmlParser, NamedReferences) {
    EXPECT_EQ(Run("x&iexcl;y"), "x\xA1y");
    EXPECT_EQ(Run("&nbsp;&yuml;&Agrave;"), "\xA0\xFF\xC0");
    EXPECT_EQ(Run("say &quot;hi&QUOT;"), "say \"hi\"");
}

TEST_F(HtmlParser, UnknownReferencesStayAsTextInsideARun) {
    EXPECT_EQ(Run("a &amp; b"), "a &amp; b");
    EXPECT_EQ(Run("a &lt;b&gt;"), "a &lt;b&gt;");
    EXPECT_EQ(Run("a &IEXCL; b"), "a &IEXCL; b"); // names are case-sensitive
    EXPECT_EQ(Run("a &nbsp b"), "a &nbsp b");     // no ";"
    EXPECT_EQ(Run("a &verylongnamethatneverends; b"), "a &verylongnamethatneverends; b");
}

TEST_F(HtmlParser, UnknownReferenceAtTheStartOfARunLosesItsAmpersand) {
    EXPECT_EQ(Run("&amp; more"), "amp; more");
}

TEST_F(HtmlParser, DecimalReferences) {
    EXPECT_EQ(Run("&#65;"), "A");
    EXPECT_EQ(Run("x&#66;y&#67;"), "xByC");
    EXPECT_EQ(Run("&#321;"), "A"); // modulo 256
    EXPECT_EQ(Run("&#161;"), "\xA1");
}

TEST_F(HtmlParser, DecimalReferenceNeverOverflowsOrCutsTheRun) {
    // 10^30 + 65 is 65 modulo 256 only when read modulo 256 as it goes: the
    // point is that the number is read without overflow.
    EXPECT_EQ(Run("a&#99999999999999999999999999999999;b").size(), 3u);
    EXPECT_EQ(Run("a&#0;b"), "ab");
    EXPECT_EQ(Run("a&#256;b"), "ab");
    EXPECT_EQ(Run("a&#;b"), "ab");
}

TEST_F(HtmlParser, DecimalReferenceWithoutSemicolonKeepsTheTextAfterIt) {
    EXPECT_EQ(BodyItems("&#65 and more<br>rest"), "[A and more]<br>[rest]");
    EXPECT_EQ(BodyItems("&#65xyz;after<br>"), "[Aafter]<br>");
}

TEST_F(HtmlParser, RunOpenAtTheEndOfTheTextIsNotKept) {
    HtmlFile *file = Load("<html><body>kept<br>lost");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Items(&Page(file, 1)->Body), "[kept]<br>");
}

TEST_F(HtmlParser, TagWithoutClosingBracketEndsTheText) {
    HtmlFile *file = Load("<html><body>abc<br class=x");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Items(&Page(file, 1)->Body), "[abc]");
    EXPECT_EQ(Load("<html"), nullptr);
}

TEST_F(HtmlParser, AnchorsTakeNameOrHrefAndTheLaterWins) {
    HtmlFile *file =
        Load("<html><body><a name=\"t1\">x</a><a href=next.html>y</a>"
             "<a name=\"n\" HREF=\"h#t\">z</a><a href=\"two words\">w</a><a>v</a></body>");
    ASSERT_NE(file, nullptr);
    List *body = &Page(file, 1)->Body;
    auto anchor = [&](int n) { return static_cast<HtmlItem *>(ListFindItemN(body, n))->pAnchor; };
    EXPECT_STREQ(anchor(1)->pTarget, "t1");
    EXPECT_EQ(anchor(1)->nType, AnchorTarget);
    EXPECT_STREQ(anchor(4)->pTarget, "next.html");
    EXPECT_EQ(anchor(4)->nType, AnchorLink);
    EXPECT_STREQ(anchor(7)->pTarget, "h#t");
    EXPECT_EQ(anchor(7)->nType, AnchorLink);
    EXPECT_STREQ(anchor(10)->pTarget, "two");
    EXPECT_EQ(anchor(13)->pTarget, nullptr);
    EXPECT_EQ(anchor(13)->nType, AnchorNone);
    // The item's length stays that of the attribute text.
    EXPECT_EQ(static_cast<HtmlItem *>(ListFindItemN(body, 1))->nLen, 9);
}

TEST_F(HtmlParser, GetKeyWordCutsTheTagOutOfTheText) {
    char text[] = "lead <b class=x> tail <i";
    HtmlFile file{};
    file.pCursor = text;
    char *tag = GetKeyWord(&file);
    ASSERT_NE(tag, nullptr);
    EXPECT_STREQ(tag, "b class=x");
    EXPECT_STREQ(file.pCursor, " tail <i");
    EXPECT_EQ(GetKeyWord(&file), nullptr);
    EXPECT_STREQ(file.pCursor, " tail <i");
}

TEST_F(HtmlParser, CallersTextIsCopiedNeverChanged) {
    static const char text[] = "<html page=\"p\"><body>a &iexcl; <a href=\"x\">b</a></body></html>";
    std::string before = text;
    HtmlFile *file = ParseHtmlFile("const.html", text);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(text), before);
    EXPECT_NE(file->pContent, text);
}

TEST_F(HtmlParser, NamesDropFileSchemeAndTarget) {
    HtmlFile *file = ParseHtmlFile("FILE://dir/x.html#sec", "<html><body>a</body></html>");
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(file->pName, "dir/x.html");
    EXPECT_EQ(FindHtmlFile("dir/x.html"), file);
    EXPECT_EQ(FindHtmlFile("Dir/x.html"), nullptr);
}

TEST_F(HtmlParser, RemoteNamesAreRefused) {
    EXPECT_EQ(ParseHtmlFile("http://host/x.html", "<html><body>a</body></html>"), nullptr);
    EXPECT_EQ(ParseHtmlFile("HTTP://host/x.html", "<html><body>a</body></html>"), nullptr);
    EXPECT_EQ(FileIndex, 0);
}

TEST_F(HtmlParser, NameWithTargetReachesItInANewFile) {
    HtmlFile *file = ParseHtmlFile("t.html#two", "<html><body>a</body></html>"
                                                 "<html page=\"two\"><body>b</body></html>");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(pCurrentPage, Page(file, 2));
    EXPECT_EQ(HistoryI, 1);
}

TEST_F(HtmlParser, LoadedFileIsReusedWithoutReadingAgain) {
    HtmlFile *first = Load("<html><body>first</body></html>", "same.html");
    ASSERT_NE(first, nullptr);
    HtmlFile *again = ParseHtmlFile("same.html", "<html><body>other</body></html>");
    EXPECT_EQ(again, first);
    EXPECT_EQ(FileIndex, 1);
    EXPECT_EQ(Text(again), "first\n");
    // Read from a file that does not exist: still the registered one.
    EXPECT_EQ(ParseHtmlFile("same.html", nullptr), first);
}

TEST_F(HtmlParser, TargetOnALoadedFileIsFollowed) {
    HtmlFile *file =
        Load("<html><body>a</body></html><html page=\"b\"><body>b</body></html>", "r.html");
    ASSERT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(ParseHtmlFile("r.html#b", nullptr), file);
    EXPECT_EQ(pCurrentPage, Page(file, 2));
    EXPECT_EQ(ParseHtmlFile("r.html", nullptr), file);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
}

TEST_F(HtmlParser, FileWithoutPagesIsNotRegistered) {
    EXPECT_EQ(Load("just text <b>no html</b>"), nullptr);
    EXPECT_EQ(Load(""), nullptr);
    EXPECT_EQ(Load("<html SkipPage><body>x</body></html>"), nullptr);
    EXPECT_EQ(FileIndex, 0);
}

TEST_F(HtmlParser, FailedLoadKeepsTheShownPage) {
    HtmlFile *file = Load("<html><body>a</body></html>");
    HtmlPage *shown = pCurrentPage;
    EXPECT_EQ(Load("<body>stray</body>"), nullptr);
    EXPECT_EQ(pCurrentPage, shown);
    EXPECT_EQ(Items(&Page(file, 1)->Body), "[a]");
}

TEST_F(HtmlParser, RegistryHoldsAHundredFiles) {
    for (int i = 0; i < HtmlMaxFiles - 1; ++i)
        ASSERT_NE(Load("<html><body>x</body></html>"), nullptr) << i;
    EXPECT_EQ(FileIndex, HtmlMaxFiles - 1);
    EXPECT_NE(Load("<html><body>x</body></html>"), nullptr);
    EXPECT_EQ(FileIndex, HtmlMaxFiles);
    HtmlPage *shown = pCurrentPage;
    EXPECT_EQ(Load("<html><body>x</body></html>"), nullptr);
    EXPECT_EQ(FileIndex, HtmlMaxFiles);
    EXPECT_EQ(pCurrentPage, shown);
    // Files already loaded are still found.
    EXPECT_NE(ParseHtmlFile(aFile[0]->pName, nullptr), nullptr);
}

TEST_F(HtmlParser, ReadsTheFileWhenNoTextIsGiven) {
    char dir[] = "/tmp/html_parser_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/help.html";
    FILE *f = fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("<html><body>from disk</body></html>", f);
    fclose(f);
    HtmlFile *file = ParseHtmlFile(path.c_str(), nullptr);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Text(file), "from disk\n");
    EXPECT_EQ(ParseHtmlFile((std::string(dir) + "/missing.html").c_str(), nullptr), nullptr);
    EXPECT_EQ(ParseHtmlFile(dir, nullptr), nullptr); // a directory
    unlink(path.c_str());
    rmdir(dir);
}

TEST_F(HtmlParser, ReferenceTablesCoverLatin1) {
    EXPECT_EQ(HTMLKeySizes[0], 0);
    EXPECT_EQ(HTMLKeySizes[1], 5);  // nbsp;
    EXPECT_EQ(HTMLKeySizes[2], 6);  // iexcl;
    EXPECT_EQ(HTMLKeySizes[96], 5); // yuml;
    EXPECT_EQ(HTMLChars[0], 160);
    EXPECT_EQ(HTMLChars[95], 255);
    EXPECT_EQ(FindToken("times;", HTMLKeys), 215 - 159);
}

TEST_F(HtmlParser, FreeAllReturnsEveryBlock) {
    char why[256];
    Load("<html><head><title>t</title></head><body><a href=x>l</a><table border><tr><td>c"
         "<table><tr><td>n</td></tr></table></td></tr></table></body></html>");
    HtmlFreeAll();
    EXPECT_EQ(FileIndex, 0);
    EXPECT_EQ(pCurrentPage, nullptr);
    EXPECT_TRUE(MemCheck(why, sizeof why)) << why;
    EXPECT_EQ(pMemB, nullptr);
}

} // namespace
