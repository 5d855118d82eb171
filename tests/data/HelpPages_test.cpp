// The help pages and printer help stores as the build ships them: the
// English and French stores hold the same keys, every text fits the name
// buffer of the help viewer and is a help page with a title, and every link
// of the bundled pages leads somewhere (a page, a target, another file or a
// redirect text) without an error.
#include "HelpTty.h"

#include "Dbm.h"
#include "HtmlTestUtil.h"
#include "MemMgr.h"
#include "MenuTestUtil.h"
#include "NlsUtils.h"
#include "html.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using htmltest::Page;

class HelpPages : public testing::Test {
  protected:
    void SetUp() override {
        menu_test::UseMenuTestEnvironment();
        bin_ = menu_test::BuildBinDir();
        if (bin_.empty()) GTEST_SKIP() << "CORLA_BUILD_BIN is not set";
        NlsReset();
        HtmlFreeAll();
        TtyHelpFreeAll();
    }
    void TearDown() override {
        TtyHelpFreeAll();
        HtmlFreeAll();
        NlsReset();
    }
    // The keys of a compiled store, in store order.
    static std::vector<std::string> Keys(const std::string &path) {
        std::vector<std::string> keys;
        DbT *db = DbTOpen(path.c_str(), DbTKeepLoaded);
        EXPECT_EQ(db->nDbType, DbTypeTyped) << path << ": build the corla_data target first";
        char *list = DbmTGetRecordList(db, " ", "");
        for (const char *p = list; p != nullptr && *p != '\0';) {
            while (*p == ' ')
                ++p;
            const char *end = p;
            while (*end != '\0' && *end != ' ')
                ++end;
            if (end > p) keys.emplace_back(p, size_t(end - p));
            p = end;
        }
        PutMem(list);
        DbTClose(db);
        return keys;
    }

    std::string bin_;
};

TEST_F(HelpPages, EveryPrinterHelpTextIsAPageThatFitsTheNameBuffer) {
    std::vector<std::string> english = Keys(bin_ + "/db/en_US/PrtHelp.udb");
    std::vector<std::string> french = Keys(bin_ + "/db/fr_FR/PrtHelp.udb");
    EXPECT_EQ(english, french);
    ASSERT_FALSE(english.empty());
    for (const char *lang : {"en_US", "fr_FR"}) {
        DbT *db = DbTOpen((bin_ + "/db/" + lang + "/PrtHelp.udb").c_str(), DbTKeepLoaded);
        for (const std::string &key : english) {
            SCOPED_TRACE(std::string(lang) + " " + key);
            int size = DbmTGetRecordSize(db, key.c_str());
            ASSERT_GT(size, 1);
            EXPECT_LE(size_t(size), HelpNameSize) << "too long for the name buffer";
            std::string text(size_t(size), '\0');
            DbmTGetRecord(db, key.c_str(), text.data());
            EXPECT_EQ(text.back(), '\0');
            HtmlFile *file = ParseHtmlFile((std::string(lang) + key).c_str(), text.c_str());
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(file->Pages.nCount, 1);
            EXPECT_EQ(Page(file, 1)->Head.nCount, 3) << "a title";
        }
        DbTClose(db);
    }
}

TEST_F(HelpPages, EveryLinkOfTheBundledPagesLeadsSomewhere) {
    std::string first = bin_ + "/help/menudemo.html";
    ASSERT_EQ(HtmlHelp(first.c_str(), nullptr), 1);
    int links = 0;
    // Files are registered as links reach them: walk them all, including
    // those found on the way.
    for (int f = 0; f < FileIndex; ++f) {
        for (int p = 1; p <= aFile[f]->Pages.nCount; ++p) {
            for (int n = 1;; ++n) {
                CurrentFile = f;
                pCurrentPage = Page(aFile[f], p);
                HistoryI = 0;
                TtyHelpBuildMenuItems();
                TextMenuItem *entry = nullptr;
                for (TextMenuItem *item = HelpMenu.pItems; item->pText != nullptr; ++item)
                    if (item->pfnAction == TtyHelpGotoLink && item->nKey == n) entry = item;
                if (entry == nullptr) break;
                SCOPED_TRACE(std::string(aFile[f]->pName) + " page " + std::to_string(p) +
                             " entry " + entry->pText);
                HtmlPage *from = pCurrentPage;
                testing::internal::CaptureStdout();
                TtyHelpGotoLink(&HelpMenu, entry);
                EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
                EXPECT_TRUE(pCurrentPage != from || HistoryI == 1) << "the link went nowhere";
                ++links;
            }
        }
    }
    EXPECT_EQ(FileIndex, 3); // menudemo.html, menudemo-queues.html, the printer models
    EXPECT_GE(links, 20);
}

} // namespace
