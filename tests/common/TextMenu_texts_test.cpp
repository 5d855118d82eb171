// The engine's texts from a core string store of the test's own: menu
// records filled from group 25 (labels, state lists and prompts cut at 127
// characters, whole texts), and stored formats that do not take the
// arguments of their call, which are never used as formats.
#include "NlsUtils.h"

#include "Dbm.h"
#include "MemMgr.h"
#include "MenuTestUtil.h"
#include "TextMenu.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The process's core store is a store of this test's own, set before any
// text is fetched.
class MenuTexts : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("LANG", "en_US", 1);
        dir = menu_test::MakeTempDir();
        std::string path = dir + "/CoreString.udb";
        pDrvCoreDB = DbTOpen(path.c_str(), DbTKeepLoaded | DbTDeferWrite);
        Put("25_1", "~q Quit");
        Put("25_2", std::string(300, 'L'));
        Put("25_3", "_Low,_High");
        Put("25_4", "Copies (1-99)");
        // Formats that do not match their calls, and keys that cannot work.
        Put("25_1003", "%s between %n");
        Put("25_1009", "%d is forbidden");
        Put("30_42", "%i %i %i");
        Put("25_510", "\nAnswer%s: ");
        Put("25_201", "k: keep");
        Put("25_202", "k: cancel");
        Put("25_203", "Now %d");
        Put("25_1001", "<wait>");
    }
    static void TearDownTestSuite() {
        DbTClose(pDrvCoreDB);
        pDrvCoreDB = nullptr;
        menu_test::RemoveTree(dir);
    }
    static void Put(const char *key, const std::string &text) {
        ASSERT_EQ(DbmTPutRecord(pDrvCoreDB, key, text.c_str(), int(text.size()) + 1), 1);
    }
    static void Release(const char *text) { PutMem(const_cast<char *>(text)); }

    static std::string dir;
};
std::string MenuTexts::dir;

TEST_F(MenuTexts, LabelsAreCutAt127Characters) {
    TextMenuItem items[4] = {};
    NlsTtyMenuItemCvt(items, 1, 3);
    EXPECT_STREQ(items[0].pText, "~q Quit"); // taken unchanged: the engine reads the mark
    EXPECT_EQ(std::string(items[1].pText), std::string(127, 'L'));
    EXPECT_STREQ(items[2].pText, "_Low,_High");
    EXPECT_EQ(items[3].pText, nullptr); // only count items
    for (int k = 0; k < 3; ++k)
        Release(items[k].pText);
}

TEST_F(MenuTexts, StatesAndPromptsAreFilledLikewise) {
    TextMenuItem items[2] = {};
    NlsTtyMenuItemStateCvt(items, 3, 1);
    NlsTtyMenuItemPromptCvt(items, 4, 2);
    ASSERT_NE(items[0].pStates, nullptr);
    EXPECT_STREQ(items[0].pStates, "_Low,_High");
    items[0].nKind = TMI_ONE_OF;
    items[0].nStates = 2;
    HideStateSelection(&items[0], 1); // a copy of its own: writable
    EXPECT_STREQ(items[0].pStates, "_Low, High");
    EXPECT_STREQ(items[0].pPrompt, "Copies (1-99)");
    EXPECT_STREQ(items[1].pPrompt, "25_5"); // a missing text gives its key
    EXPECT_EQ(items[1].pStates, nullptr);
    Release(items[0].pStates);
    Release(items[0].pPrompt);
    Release(items[1].pPrompt);
}

TEST_F(MenuTexts, AWholeTextForAPointer) {
    const char *title = "static";
    NlsTtyMenuCvt(&title, 2);
    EXPECT_EQ(std::string(title), std::string(300, 'L')); // not cut
    Release(title);
    NlsTtyMenuCvt(&title, 77);
    EXPECT_STREQ(title, "25_77");
    Release(title);
    NlsTtyMenuCvt(nullptr, 1); // nothing to fill: nothing happens
}

// The checked print for programs built on the engine: a stored format only
// when it takes the call's arguments, else the English model, also for a
// text the store lacks (never its key).
TEST_F(MenuTexts, TheCheckedPrintUsesAStoredFormatOnlyWhenItFits) {
    Put("40_1", "File %s, %d copies");
    Put("40_2", "%d copies of %s"); // the arguments the other way round
    char out[64];
    NlsCoreSnprintf(out, sizeof out, 40, 1, "%s: %d", "a", 2);
    EXPECT_STREQ(out, "File a, 2 copies");
    NlsCoreSnprintf(out, sizeof out, 40, 2, "%s: %d", "a", 2);
    EXPECT_STREQ(out, "a: 2");
    NlsCoreSnprintf(out, sizeof out, 40, 3, "Plain");
    EXPECT_STREQ(out, "Plain");
    NlsCoreSnprintf(out, 4, 40, 1, "%s: %d", "a", 2);
    EXPECT_STREQ(out, "Fil");
    menu_test::StdioScript io;
    NlsCorePrintf(40, 1, "%s: %d", "b", 3);
    NlsCorePrintf(40, 3, "|none %d", 4);
    EXPECT_EQ(io.Output(), "File b, 3 copies|none 4");
}

} // namespace

namespace {

using menu_test::StdioScript;

class UnusableTexts : public MenuTexts {
  protected:
    void SetUp() override { menu_test::UseMenuTestEnvironment(); }
};

TEST_F(UnusableTexts, MessagesFallBackToTheBuiltInEnglish) {
    {
        StdioScript io;
        EXPECT_EQ(ValidateEntry("11", "d(1,10)"), VE_RANGE);
        EXPECT_EQ(io.Output(), "This number must be between 1 to 10.<wait>");
    }
    {
        StdioScript io;
        EXPECT_EQ(ValidateEntry("root", "!(root)"), VE_FORBIDDEN);
        EXPECT_EQ(io.Output(), "Invalid entry \"root\"<wait>");
    }
    StdioScript io;
    EXPECT_EQ(ValidateEntry("abcdefghij", "A(1,8)"), VE_LENGTH);
    EXPECT_EQ(io.Output(), "The entry must be 1 to 8 characters long.<wait>");
}

TEST_F(UnusableTexts, AMessageTheStoreLacksIsNotShown) {
    StdioScript io;
    EXPECT_EQ(ValidateEntry("1.2.3", "f(0,9)"), VE_RANGE);
    EXPECT_EQ(io.Output(), "");
}

TEST_F(UnusableTexts, TheAnswerLineFallsBack) {
    TextMenuItem items[] = {{}};
    TextMenu menu{.pTitle = "T", .pItems = items};
    StdioScript io;
    PrintMenu(&menu, 0, 1);
    EXPECT_EQ(io.Output(), "\f\nT:\n\n\nChoose an item or <Return> to exit: ");
}

TEST_F(UnusableTexts, PickListKeysMustDiffer) {
    setenv("COLUMNS", "80", 1);
    setenv("LINES", "24", 1);
    char states[] = "_a,_b";
    TextMenuItem item{.pText = "P", .nKind = TMI_ONE_OF, .pStates = states};
    intptr_t hidden = 0;
    StdioScript io;
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 0), 0); // the list ends first
    EXPECT_STREQ(PMATTYMENU_SAVE, "s: save and return");
    EXPECT_STREQ(PMATTYMENU_CANCEL, "c: cancel");
    EXPECT_STREQ(PMATTYMENU_CURSEL, "Current selection: %s");
    EXPECT_NE(io.Output().find("Current selection: a"), std::string::npos);
    unsetenv("COLUMNS");
    unsetenv("LINES");
}

} // namespace
