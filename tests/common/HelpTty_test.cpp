// The terminal help menu: redirect names and the printer help store, the
// items built for a page (entries, limits, growth of the item array), the
// callbacks that follow links, go back and return to the contents, the
// title, and whole help sessions through scripted standard input.
#include "HelpTty.h"

#include "Dbm.h"
#include "HtmlTestUtil.h"
#include "MemMgr.h"
#include "MenuTestUtil.h"
#include "NlsUtils.h"
#include "TextMenu.h"
#include "html.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using htmltest::LinkAt;
using htmltest::Load;
using htmltest::Page;
using menu_test::StdioScript;

int Count(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A name buffer of exactly HelpNameSize bytes on the heap, so that a write
// past its end is caught by the address sanitizer.
struct NameBuffer {
    std::vector<char> bytes = std::vector<char>(HelpNameSize, '\0');
    explicit NameBuffer(const std::string &name) {
        snprintf(bytes.data(), bytes.size(), "%s", name.c_str());
    }
    char *data() { return bytes.data(); }
    std::string text() const { return std::string(bytes.data()); }
};

class HelpMenuTest : public testing::Test {
  protected:
    void SetUp() override {
        menu_test::UseMenuTestEnvironment();
        if (menu_test::BuildBinDir().empty()) GTEST_SKIP() << "CORLA_BUILD_BIN is not set";
        NlsReset();
        HtmlFreeAll();
        TtyHelpFreeAll();
    }
    void TearDown() override {
        TtyHelpFreeAll();
        HtmlFreeAll();
        if (ownCoreDB_ != nullptr) {
            DbTClose(ownCoreDB_);
            pDrvCoreDB = nullptr;
        }
        setenv("LANG", "en_US", 1);
        NlsReset();
        menu_test::UseMenuTestEnvironment();
        if (!dir_.empty()) menu_test::RemoveTree(dir_);
    }

    const std::string &Dir() {
        if (dir_.empty()) dir_ = menu_test::MakeTempDir();
        return dir_;
    }
    // A store file in the temporary directory holding the texts.
    DbT *MakeStore(const std::string &name,
                   const std::vector<std::pair<std::string, std::string>> &texts) {
        std::string path = Dir() + "/" + name + ".udb";
        DbT *db = DbTOpen(path.c_str(), 0);
        for (const auto &[key, text] : texts)
            EXPECT_EQ(DbmTPutRecord(db, key.c_str(), text.c_str(), int(text.size() + 1)), 1);
        return db;
    }
    // Use a core string store of its own (the application's pDrvCoreDB).
    void UseCoreTexts(const std::vector<std::pair<std::string, std::string>> &texts) {
        ownCoreDB_ = MakeStore("core", texts);
        pDrvCoreDB = ownCoreDB_;
    }

    // The items of the help menu, up to its end mark.
    static std::vector<TextMenuItem *> Items() {
        std::vector<TextMenuItem *> items;
        for (TextMenuItem *item = HelpMenu.pItems; item != nullptr && item->pText != nullptr;
             ++item)
            items.push_back(item);
        return items;
    }
    static std::string Labels() {
        std::string out;
        for (TextMenuItem *item : Items())
            if (item->nKind != TMI_TEXT) out += std::string(item->pText) + "|";
        return out;
    }
    // Choose entry n (from 1) of the built menu as the run loop would.
    static int Choose(int n) {
        for (TextMenuItem *item : Items())
            if (item->pfnAction == TtyHelpGotoLink && item->nKey == n)
                return item->pfnAction(&HelpMenu, item);
        ADD_FAILURE() << "no entry " << n << " in " << Labels();
        return -1;
    }

    // A file whose first page links to page a, to the anchor b of page c
    // and to page c by its file's own name.
    HtmlFile *Guide() {
        HtmlFile *file =
            Load("<html><body>Start <a href=\"#a\">to a</a> <a href=\"#b\">to b</a> "
                 "<a href=\"guide#c\">to c</a></body></html>"
                 "<html page=\"a\"><body>Page a</body></html>"
                 "<html page=\"c\"><body>Page c<br><br><a name=\"b\">b is here</a></body></html>",
                 "help/guide.html");
        TtyHelpBuildMenuItems();
        return file;
    }

    DbT *ownCoreDB_ = nullptr;
    std::string dir_;
};

// --- Redirect names ----------------------------------------------------------

TEST_F(HelpMenuTest, FindRedirectRecognisesRedirectNames) {
    struct Case {
        const char *name;
        const char *key; // null: not a redirect name
        const char *cut; // the name afterwards
    };
    const Case cases[] = {
        {"guide$$printers.redirect", "printers", "guide$$printers"},
        {"guide$$printers.REDIRECT", "printers", "guide$$printers"},
        {"guide$$printers.Redirect#models", "printers", "guide$$printers"},
        {"dir.d/guide$$p.redirect", "p", "dir.d/guide$$p"},
        {"$$k.redirect", "k", "$$k"},
        {"guide.html", nullptr, "guide.html"},
        {"guide$$printers.txt.redirect", nullptr, "guide$$printers.txt.redirect"},
        {"guide$printers.redirect", nullptr, "guide$printers.redirect"},
        {"a.redirect$$x", nullptr, "a.redirect$$x"},
        {"guide$$printers.redirec", nullptr, "guide$$printers.redirec"},
        {"", nullptr, ""},
    };
    for (const Case &c : cases) {
        NameBuffer name(c.name);
        char *key = FindRedirect(name.data());
        if (c.key == nullptr) {
            EXPECT_EQ(key, nullptr) << c.name;
        } else {
            ASSERT_NE(key, nullptr) << c.name;
            EXPECT_STREQ(key, c.key);
        }
        EXPECT_EQ(name.text(), c.cut) << c.name;
    }
    EXPECT_EQ(FindRedirect(nullptr), nullptr);
}

TEST_F(HelpMenuTest, CheckForRedirectFetchesTheStoredText) {
    NameBuffer name("menudemo$$printers.redirect");
    char *key = CheckForRedirect(name.data());
    EXPECT_EQ(key, RedirectKey);
    EXPECT_STREQ(RedirectKey, "printers");
    EXPECT_EQ(name.text().rfind("<html><head><title>Printer models</title>", 0), 0u) << name.text();

    NameBuffer plain("menudemo.html");
    EXPECT_EQ(CheckForRedirect(plain.data()), nullptr);
    EXPECT_EQ(plain.text(), "menudemo.html");
}

TEST_F(HelpMenuTest, AKeyTheStoreLacksStandsForItself) {
    NameBuffer name("menudemo$$nothere.redirect");
    EXPECT_EQ(CheckForRedirect(name.data()), RedirectKey);
    EXPECT_EQ(name.text(), "nothere");
}

TEST_F(HelpMenuTest, RedirectKeysAreCutAt63Characters) {
    for (size_t length : {62u, 63u, 64u, 300u}) {
        std::string key(length, 'k');
        NameBuffer name("x$$" + key + ".redirect");
        ASSERT_EQ(CheckForRedirect(name.data()), RedirectKey) << length;
        EXPECT_EQ(strlen(RedirectKey), std::min<size_t>(length, 63)) << length;
        EXPECT_EQ(std::string(RedirectKey), key.substr(0, 63));
    }
}

TEST_F(HelpMenuTest, StoredTextsFillAtMostTheNameBuffer) {
    std::vector<std::pair<std::string, std::string>> texts;
    for (size_t length : {2046u, 2047u, 2048u, 5000u})
        texts.emplace_back("t" + std::to_string(length), std::string(length, 'x'));
    pPrtHelpDB = MakeStore("help", texts);
    for (size_t length : {2046u, 2047u, 2048u, 5000u}) {
        NameBuffer name("h$$t" + std::to_string(length) + ".redirect");
        ASSERT_NE(CheckForRedirect(name.data()), nullptr);
        EXPECT_EQ(name.text().size(), std::min<size_t>(length, HelpNameSize - 1)) << length;
    }
}

TEST_F(HelpMenuTest, WithoutAPrinterHelpStoreTheKeyStandsForItself) {
    std::string tools = Dir();
    pToolPath = tools.data();
    NlsReset();
    testing::internal::CaptureStderr();
    NameBuffer name("h$$printers.redirect");
    EXPECT_EQ(CheckForRedirect(name.data()), RedirectKey);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(name.text(), "printers");
    EXPECT_NE(err.find("Could not open English database"), std::string::npos) << err;
    // Looked for once only.
    testing::internal::CaptureStderr();
    NameBuffer again("h$$printers.redirect");
    CheckForRedirect(again.data());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(HelpMenuTest, TheFrenchStoreHoldsFrenchTexts) {
    setenv("LANG", "fr_FR", 1);
    NlsReset();
    NameBuffer name("menudemo$$printers.redirect");
    ASSERT_NE(CheckForRedirect(name.data()), nullptr);
    EXPECT_NE(name.text().find("Mod&egrave;les d'imprimante"), std::string::npos) << name.text();
}

TEST_F(HelpMenuTest, ALanguageWithoutItsOwnStoreGetsTheEnglishTexts) {
    std::string tools = Dir();
    menu_test::WriteFileText(tools + "/trans.conf", "Default en_US\nen_US = en\nde_DE = de\n");
    ASSERT_EQ(system(("mkdir -p '" + tools + "/db/en_US' '" + tools + "/db/de_DE'").c_str()), 0);
    DbT *english = DbTOpen((tools + "/db/en_US/PrtHelp.udb").c_str(), 0);
    ASSERT_EQ(DbmTPutRecord(english, "k", "english", 8), 1);
    DbTClose(english);
    pToolPath = tools.data();
    setenv("LANG", "de", 1);
    NlsReset();
    NameBuffer name("x$$k.redirect");
    ASSERT_NE(CheckForRedirect(name.data()), nullptr);
    EXPECT_EQ(name.text(), "english");
}

// --- The items of a page -------------------------------------------------------

TEST_F(HelpMenuTest, APageWithThreeLinks) {
    HtmlFile *file = Load("<html><head><title>Guide</title></head><body>Read "
                          "<a href=\"#one\">One</a>, <a href=\"two.html\">Two</a> and "
                          "<a href=\"three.html#x\">Three</a>.</body></html>");
    TtyHelpBuildMenuItems();
    HtmlPage *page = Page(file, 1);
    std::vector<TextMenuItem *> items = Items();
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(HelpMenu.pItems, HelpMenuItems);
    EXPECT_EQ(HelpMenuItemCnt, 10);
    EXPECT_EQ(items[0]->nKind, TMI_TEXT);
    EXPECT_EQ(items[0]->pText, page->pImage);
    const char *labels[] = {"One", "Two", "Three"};
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_STREQ(items[size_t(k)]->pText, labels[k - 1]);
        EXPECT_EQ(items[size_t(k)]->nKind, TMI_ACTION);
        EXPECT_EQ(items[size_t(k)]->nHidden, TMH_SHOWN);
        EXPECT_EQ(items[size_t(k)]->nKey, k);
        EXPECT_EQ(items[size_t(k)]->pfnAction, TtyHelpGotoLink);
        EXPECT_EQ(items[size_t(k)]->pUserData, LinkAt(page, k));
    }
    for (size_t k : {4u, 5u}) {
        EXPECT_STREQ(items[k]->pText, "");
        EXPECT_EQ(items[k]->nKind, TMI_GRID_ALL);
    }
    EXPECT_STREQ(items[6]->pText, "~e Exit Help");
    EXPECT_EQ(items[6]->nKind, TMI_EXIT);
    EXPECT_EQ(items[6]->nKey, 'e');
    EXPECT_EQ(items[6]->pfnAction, nullptr);
    EXPECT_STREQ(items[7]->pText, "~c Contents");
    EXPECT_EQ(items[7]->nKind, TMI_ACTION);
    EXPECT_EQ(items[7]->nKey, 'c');
    EXPECT_EQ(items[7]->pfnAction, TtyHelpContents);
    EXPECT_STREQ(items[8]->pText, "~b Back");
    EXPECT_EQ(items[8]->nKind, TMI_ACTION);
    EXPECT_EQ(items[8]->nKey, 'b');
    EXPECT_EQ(items[8]->pfnAction, TtyHelpBack);
    EXPECT_STREQ(HelpMenu.pTitle, "Corla Help");
    EXPECT_EQ(HelpMenu.nStyle, 1);
    EXPECT_EQ(HelpMenu.nFlags, 0x01C1);
    // The engine prepares the items to the same keys.
    InitMenu(&HelpMenu);
    EXPECT_EQ(items[3]->nKey, 3);
    EXPECT_EQ(items[8]->nKey, 'b');
}

TEST_F(HelpMenuTest, AnchorsThatLeadNowhereGetNoEntry) {
    HtmlFile *file = Load("<html page=\"self\"><body>"
                          "<a name=\"self\">this page</a> <a href=\"#x\"></a> "
                          "<a name=\"quiet\"></a><a>no target</a> "
                          "<a name=\"spot\">a spot</a> <a href=\"#y\">why</a>"
                          "</body></html>");
    TtyHelpBuildMenuItems();
    EXPECT_EQ(Labels(), "a spot|why|||~e Exit Help|~c Contents|~b Back|");
    EXPECT_STREQ(Page(file, 1)->pName, "self");
}

TEST_F(HelpMenuTest, APageWithoutANameIsTheContents) {
    HtmlFile *file = Load("<html><body>Top <a href=\"#more\">more</a></body></html>"
                          "<html page=\"more\"><body>More <a href=\"#contents\">back</a>"
                          "</body></html>");
    EXPECT_EQ(Page(file, 1)->pName, nullptr);
    TtyHelpBuildMenuItems();
    EXPECT_STREQ(Page(file, 1)->pName, "contents");
    Choose(1);
    EXPECT_EQ(pCurrentPage, Page(file, 2));
    Choose(1); // "#contents" now reaches the first page
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(HistoryI, 2);
}

TEST_F(HelpMenuTest, LinkLabelsHoldAtMost127Characters) {
    for (size_t length : {1u, 126u, 127u, 128u, 300u}) {
        SCOPED_TRACE(length);
        std::string text(length, 'w');
        text[0] = 'A';
        Load("<html><body><a href=\"#t\">" + text + "</a> <a name=\"n\">" + text +
             "</a></body></html>");
        TtyHelpBuildMenuItems();
        std::vector<TextMenuItem *> items = Items();
        ASSERT_GE(items.size(), 3u);
        EXPECT_EQ(std::string(items[1]->pText), text.substr(0, 127));
        EXPECT_EQ(std::string(items[2]->pText), text.substr(0, 127));
    }
}

TEST_F(HelpMenuTest, LabelsStayOnOneLineAndCarryNoHotKeyMark) {
    Load("<html><body><a href=\"#t\">one<br>two</a> <a href=\"#u\">~x marks</a></body></html>");
    TtyHelpBuildMenuItems();
    std::vector<TextMenuItem *> items = Items();
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(strchr(items[1]->pText, '\n'), nullptr) << items[1]->pText;
    EXPECT_EQ(std::string(items[1]->pText).rfind("one", 0), 0u);
    EXPECT_STREQ(items[2]->pText, "x marks");
    InitMenu(&HelpMenu);
    EXPECT_EQ(items[2]->nKey, 2);
}

TEST_F(HelpMenuTest, AnchorsWithOffsetsOutsideThePageTextGetNoEntry) {
    HtmlFile *file =
        Load("<html><body><a href=\"#t\">fine</a> <a href=\"#u\">odd</a></body></html>");
    HtmlAnchor *odd = LinkAt(Page(file, 1), 2);
    ASSERT_NE(odd, nullptr);
    odd->nStart = 100000;
    TtyHelpBuildMenuItems();
    EXPECT_EQ(Labels(), "fine|||~e Exit Help|~c Contents|~b Back|");
    odd->nStart = -5;
    odd->nWidth = -3;
    TtyHelpBuildMenuItems();
    EXPECT_EQ(Labels(), "fine|||~e Exit Help|~c Contents|~b Back|");
}

TEST_F(HelpMenuTest, TheItemArrayGrowsForPagesWithManyLinks) {
    std::string many = "<html page=\"many\"><body>";
    for (int k = 1; k <= 40; ++k)
        many += "<a href=\"#x" + std::to_string(k) + "\">link " + std::to_string(k) + "</a><br>";
    many += "</body></html>";
    HtmlFile *file = Load("<html><body><a href=\"#a\">a</a> <a href=\"#b\">b</a> "
                          "<a href=\"#many\">c</a></body></html>" +
                          many);
    TtyHelpBuildMenuItems();
    EXPECT_EQ(HelpMenuItemCnt, 10);
    Choose(3);
    ASSERT_EQ(pCurrentPage, Page(file, 2));
    EXPECT_EQ(HelpMenuItemCnt, 47);
    EXPECT_EQ(HelpMenu.pItems, HelpMenuItems);
    std::vector<TextMenuItem *> items = Items();
    ASSERT_EQ(items.size(), 46u);
    EXPECT_STREQ(items[40]->pText, "link 40");
    EXPECT_EQ(items[40]->nKey, 40);
    EXPECT_STREQ(items[45]->pText, "~b Back");
    // Back on the small page: the array keeps its size, the end mark moves.
    EXPECT_EQ(TtyHelpBack(&HelpMenu, nullptr), 0);
    EXPECT_EQ(HelpMenuItemCnt, 47);
    EXPECT_EQ(Items().size(), 9u);
    EXPECT_EQ(HelpMenuItems[9].pText, nullptr);
    EXPECT_EQ(HelpMenuItems[46].pText, nullptr);
}

TEST_F(HelpMenuTest, AnArrayThatCannotGrowIsKept) {
    Guide();
    TextMenuItem *before = HelpMenuItems;
    int count = HelpMenuItemCnt;
    EXPECT_EQ(TtyHelpReserveItems(size_t(1) << 40), 0);
    // Within the size of one area, beyond what the memory manager hands out.
    EXPECT_EQ(TtyHelpReserveItems(size_t(INT32_MAX) / sizeof(TextMenuItem)), 0);
    EXPECT_EQ(HelpMenuItems, before);
    EXPECT_EQ(HelpMenuItemCnt, count);
    EXPECT_EQ(TtyHelpReserveItems(size_t(count)), 1);
    EXPECT_EQ(Labels(), "to a|to b|to c|||~e Exit Help|~c Contents|~b Back|");
}

TEST_F(HelpMenuTest, WithoutAPageOnlyTheFixedEntriesAreOffered) {
    TtyHelpBuildMenuItems();
    EXPECT_EQ(Labels(), "||~e Exit Help|~c Contents|~b Back|");
    ASSERT_FALSE(Items().empty());
    EXPECT_STREQ(Items()[0]->pText, "");
}

// --- Following links, Back and Contents ----------------------------------------

TEST_F(HelpMenuTest, ALinkToATargetAndBack) {
    HtmlFile *file = Guide();
    EXPECT_NE(Choose(1), 0); // the run loop must not prepare the menu again
    EXPECT_EQ(pCurrentPage, Page(file, 2));
    EXPECT_EQ(HistoryI, 1);
    EXPECT_EQ(Items()[0]->pText, Page(file, 2)->pImage);
    EXPECT_EQ(Labels(), "||~e Exit Help|~c Contents|~b Back|");
    EXPECT_EQ(TtyHelpBack(&HelpMenu, nullptr), 0);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(HistoryI, 0);
    EXPECT_EQ(Labels(), "to a|to b|to c|||~e Exit Help|~c Contents|~b Back|");
    // An empty history: nothing changes.
    EXPECT_EQ(TtyHelpBack(&HelpMenu, nullptr), 1);
    EXPECT_EQ(TtyHelpContents(&HelpMenu, nullptr), 1);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
}

TEST_F(HelpMenuTest, ALinkToAnAnchorRecordsWhereItWas) {
    HtmlFile *file = Guide();
    Choose(2);
    EXPECT_EQ(pCurrentPage, Page(file, 3));
    ASSERT_EQ(HistoryI, 1);
    EXPECT_EQ(History[0].pPage, Page(file, 1));
    std::string text = htmltest::Text(file, 3);
    EXPECT_EQ(text.substr(size_t(TargetPos), 9), "b is here");
    // The target's own entry on its page stays there and records a step.
    EXPECT_EQ(Labels(), "b is here|||~e Exit Help|~c Contents|~b Back|");
    testing::internal::CaptureStdout();
    Choose(1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(pCurrentPage, Page(file, 3));
    EXPECT_EQ(HistoryI, 2);
}

TEST_F(HelpMenuTest, ALinkWithTheFilesOwnNameStaysInTheFile) {
    HtmlFile *file = Guide();
    Choose(3);
    EXPECT_EQ(pCurrentPage, Page(file, 3));
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(HistoryI, 1);
}

TEST_F(HelpMenuTest, ContentsReturnsToTheFirstPageAndEmptiesTheHistory) {
    HtmlFile *file = Guide();
    Choose(1);
    TtyHelpBack(&HelpMenu, nullptr);
    Choose(2);
    Choose(1);
    EXPECT_EQ(HistoryI, 2);
    EXPECT_EQ(TtyHelpContents(&HelpMenu, nullptr), 0);
    EXPECT_EQ(HistoryI, 0);
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
    EXPECT_EQ(Labels(), "to a|to b|to c|||~e Exit Help|~c Contents|~b Back|");
}

TEST_F(HelpMenuTest, AFullHistoryStillMovesButRecordsNothing) {
    HtmlFile *file = Load("<html><body><a href=\"#two\">two</a></body></html>"
                          "<html page=\"two\"><body><a href=\"#one\">one</a></body></html>"
                          "<html page=\"one\"><body><a href=\"#two\">two</a></body></html>");
    TtyHelpBuildMenuItems();
    for (int k = 0; k < HtmlMaxHistory; ++k)
        Choose(1);
    EXPECT_EQ(HistoryI, HtmlMaxHistory);
    HtmlPage *shown = pCurrentPage;
    Choose(1);
    EXPECT_NE(pCurrentPage, shown);
    EXPECT_EQ(HistoryI, HtmlMaxHistory);
    EXPECT_EQ(TtyHelpBack(&HelpMenu, nullptr), 0);
    EXPECT_EQ(HistoryI, HtmlMaxHistory - 1);
    EXPECT_EQ(TtyHelpContents(&HelpMenu, nullptr), 0);
    EXPECT_EQ(pCurrentPage, Page(file, 1));
}

TEST_F(HelpMenuTest, LinksToOtherFilesAreFoundBesideTheFileThatHoldsThem) {
    const std::string &dir = Dir();
    menu_test::WriteFileText(
        dir + "/first.html",
        "<html><body><a href=\"second.html#x\">second</a> <a href=\"nowhere.html\">none</a>"
        "</body></html>");
    menu_test::WriteFileText(dir + "/second.html",
                             "<html><body>Second</body></html>"
                             "<html page=\"x\"><body>X <a href=\"first.html\">first</a></body>"
                             "</html>");
    ASSERT_EQ(HtmlHelp((dir + "/first.html").c_str(), nullptr), 1);
    TtyHelpBuildMenuItems();
    Choose(1);
    ASSERT_EQ(FileIndex, 2);
    EXPECT_EQ(std::string(aFile[1]->pName), dir + "/second.html");
    EXPECT_EQ(CurrentFile, 1);
    EXPECT_EQ(pCurrentPage, Page(aFile[1], 2));
    EXPECT_EQ(Labels(), "first|||~e Exit Help|~c Contents|~b Back|");
    Choose(1); // back to the first file: registered already, not read again
    EXPECT_EQ(FileIndex, 2);
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(pCurrentPage, Page(aFile[0], 1));

    testing::internal::CaptureStdout();
    Choose(2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error in reading file nowhere.html\n");
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(pCurrentPage, Page(aFile[0], 1));
    EXPECT_EQ(Labels(), "second|none|||~e Exit Help|~c Contents|~b Back|");
}

TEST_F(HelpMenuTest, ARedirectLinkShowsTheStoredText) {
    Load("<html><body><a href=\"guide$$printers.redirect\">Models</a> "
         "<a href=\"guide$$nothere.redirect\">Missing</a></body></html>",
         "guide.html");
    TtyHelpBuildMenuItems();
    Choose(1);
    ASSERT_EQ(FileIndex, 2);
    EXPECT_STREQ(aFile[1]->pName, "printers");
    EXPECT_EQ(CurrentFile, 1);
    ASSERT_NE(pCurrentPage, nullptr);
    EXPECT_NE(std::string(pCurrentPage->pImage).find("Printer models"), std::string::npos);
    EXPECT_EQ(HistoryI, 0); // another file: no history entry
    EXPECT_EQ(flBuildingFile, 0);

    // Followed again: the registered text, not loaded twice.
    CurrentFile = 0;
    pCurrentPage = Page(aFile[0], 1);
    TtyHelpBuildMenuItems();
    Choose(1);
    EXPECT_EQ(FileIndex, 2);
    EXPECT_EQ(CurrentFile, 1);

    CurrentFile = 0;
    pCurrentPage = Page(aFile[0], 1);
    TtyHelpBuildMenuItems();
    testing::internal::CaptureStdout();
    Choose(2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error in reading file guide$$nothere.redirect\n");
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(pCurrentPage, Page(aFile[0], 1));
}

// --- Fixed labels and the title --------------------------------------------------

TEST_F(HelpMenuTest, FrenchLabelsAndTitle) {
    setenv("LANG", "fr_FR", 1);
    NlsReset();
    Guide();
    EXPECT_EQ(Labels(), "to a|to b|to c|||~q Quitter l'aide|~s Sommaire|~r Retour|");
    std::vector<TextMenuItem *> items = Items();
    EXPECT_EQ(items[6]->nKey, 'q');
    EXPECT_EQ(items[7]->nKey, 's');
    EXPECT_EQ(items[8]->nKey, 'r');
    EXPECT_STREQ(HelpMenu.pTitle, "Aide de Corla");
}

TEST_F(HelpMenuTest, TheCallersTitleStandsInWhenTheCatalogueHasNone) {
    UseCoreTexts({{"20_150", "~x Leave"}, {"20_151", "~t Top"}, {"20_152", "~p Previous"}});
    std::string title(200, 'T');
    NameBuffer name("guide.html");
    std::string page = "<html><body>Hello</body></html>";
    StdioScript script("x\n");
    TtyHtmlHelp(name.data(), page.data(), title.data());
    std::string out = script.Output();
    EXPECT_NE(out.find(std::string(127, 'T') + "\n"), std::string::npos);
    EXPECT_EQ(out.find(std::string(128, 'T')), std::string::npos);
    EXPECT_NE(out.find("x) Leave"), std::string::npos) << out;
    EXPECT_NE(out.find("p) Previous"), std::string::npos);
}

TEST_F(HelpMenuTest, UnsafeOrUnusableCatalogueTextsAreNotUsed) {
    UseCoreTexts({{"30_22", "%d Help%n"},
                  {"20_150", "~x Leave"},
                  {"20_151", "~X Top"}, // the same key as Leave
                  {"20_152", "~p Previous"}});
    NameBuffer name("guide.html");
    std::string page = "<html><body>Hello</body></html>";
    std::string title = "Caller";
    StdioScript script("e\n");
    TtyHtmlHelp(name.data(), page.data(), title.data());
    std::string out = script.Output();
    EXPECT_NE(out.find("Caller\n"), std::string::npos) << out;
    EXPECT_NE(out.find("e) Exit Help"), std::string::npos) << out;
    EXPECT_EQ(out.find("Leave"), std::string::npos);

    ASSERT_EQ(DbmTPutRecord(ownCoreDB_, "20_151", "~t Top", 7), 1);
    TtyHelpBuildMenuItems();
    EXPECT_EQ(Labels(), "||~x Leave|~t Top|~p Previous|");
    for (const char *label : {"Exit", "~", "~ blank", "~7 digit"}) {
        SCOPED_TRACE(label);
        ASSERT_EQ(DbmTPutRecord(ownCoreDB_, "20_150", label, int(strlen(label) + 1)), 1);
        TtyHelpBuildMenuItems();
        EXPECT_EQ(Labels(), "||~e Exit Help|~c Contents|~b Back|");
    }
}

// --- Whole help sessions through standard input ----------------------------------

TEST_F(HelpMenuTest, ASessionThroughAPipe) {
    std::string text = "<html><head><title>Start page</title></head><body>Start "
                       "<a href=\"#a\">to a</a> <a href=\"#c\">to c</a></body></html>"
                       "<html page=\"a\"><head><title>Page A</title></head><body>A "
                       "<a href=\"#c\">to c</a></body></html>"
                       "<html page=\"c\"><head><title>Page C</title></head><body>C</body></html>";
    NameBuffer name("session.html");
    std::string title = "Session";
    // a, then c from a, back to a, contents, nothing to go back to, c, exit.
    StdioScript script("1\n1\nb\nc\nb\n2\n\n9\ne\nnot read\n");
    TtyHtmlHelp(name.data(), text.data(), title.data());
    std::string out = script.Output();
    std::vector<std::string> order;
    for (size_t at = out.find("Corla Help"); at != std::string::npos;
         at = out.find("Corla Help", at + 1)) {
        size_t title_at = out.find_first_not_of(" \n", at + 10);
        order.push_back(out.substr(title_at, out.find('\n', title_at) - title_at));
    }
    std::vector<std::string> expected = {"Start page", "Page A", "Page C", "Page A", "Start page",
                                         "Start page", "Page C", "Page C", "Page C"};
    EXPECT_EQ(order, expected) << out;
    EXPECT_NE(out.find(" 1) to a \n 2) to c \n"), std::string::npos) << out;
    EXPECT_NE(out.find("e) Exit Help"), std::string::npos);
    EXPECT_EQ(Count(out, "Choose an item: "), 9);
    EXPECT_EQ(HistoryI, 1);
    // The answers after the exit are left for the program.
    char rest[64] = "";
    ASSERT_NE(fgets(rest, sizeof rest, stdin), nullptr);
    EXPECT_STREQ(rest, "not read\n");
}

TEST_F(HelpMenuTest, TheItemArrayMayMoveUnderTheRunLoop) {
    std::string many = "<html page=\"many\"><body>";
    for (int k = 1; k <= 60; ++k)
        many += "<a href=\"#p" + std::to_string(k % 2) + "\">go " + std::to_string(k) + "</a><br>";
    many += "</body></html><html page=\"p0\"><body>Even</body></html>"
            "<html page=\"p1\"><body>Odd</body></html>";
    std::string text = "<html><body><a href=\"#many\">many</a></body></html>" + many;
    NameBuffer name("moving.html");
    std::string title = "Moving";
    StdioScript script("1\n55\nb\n60\ne\n");
    TtyHtmlHelp(name.data(), text.data(), title.data());
    std::string out = script.Output();
    EXPECT_EQ(Count(out, "Odd"), 1) << out;
    EXPECT_EQ(Count(out, "Even"), 1);
    EXPECT_EQ(HelpMenuItemCnt, 67);
}

TEST_F(HelpMenuTest, NothingRunsWithoutANameATitleOrAFile) {
    std::string title = "T";
    NameBuffer name("/nonexistent/help.html");
    StdioScript script("e\n");
    TtyHtmlHelp(nullptr, nullptr, title.data());
    TtyHtmlHelp(name.data(), nullptr, nullptr);
    EXPECT_EQ(script.Output(), "");
    TtyHtmlHelp(name.data(), nullptr, title.data());
    EXPECT_EQ(script.Output(), "Error in reading HTML file /nonexistent/help.html\n");
    NameBuffer redirect("x$$nothere.redirect");
    TtyHtmlHelp(redirect.data(), nullptr, title.data());
    EXPECT_EQ(script.Output(), "Error in reading HTML file /nonexistent/help.html\n"
                               "Error reading HTML buffer\n");
}

TEST_F(HelpMenuTest, TheKeyHOfAMenuOpensHelpOnARedirectName) {
    TextMenuItem items[] = {{"~q Quit", TMI_EXIT}, {}};
    TextMenu menu{.pTitle = "Main", .pItems = items, .nFlags = TMF_HELP};
    // A constant name: the run loop hands the viewer a writable copy.
    pTtyHtmlName = "guide$$printers.redirect";
    pTtyHtmlTitle = "Main help";
    pTtyHtmlData = nullptr;
    pfnTtyHtmlHelp = TtyHtmlHelp;
    StdioScript script("h\ne\nq\n");
    RunMenu(&menu, nullptr, 1);
    std::string out = script.Output();
    pfnTtyHtmlHelp = nullptr;
    pTtyHtmlName = nullptr;
    pTtyHtmlTitle = nullptr;
    EXPECT_STREQ(RedirectKey, "printers");
    size_t help = out.find("Printer models");
    ASSERT_NE(help, std::string::npos) << out;
    EXPECT_NE(out.find("Corla Help"), std::string::npos);
    EXPECT_EQ(Count(out, "\nMain:\n"), 2) << out; // before and after the help
    EXPECT_GT(out.rfind("\nMain:\n"), help);
}

} // namespace
