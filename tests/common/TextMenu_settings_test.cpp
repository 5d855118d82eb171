// Settings files: the values of a menu tree written by StoreMenu and read
// back by LoadMenu, with the lines LoadMenu must not apply as they stand.
#include "TextMenu.h"

#include "MenuTestUtil.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

class Settings : public testing::Test {
  protected:
    void SetUp() override {
        dir = menu_test::MakeTempDir();
        path = dir + "/settings";
        applied = 0;
    }
    void TearDown() override { menu_test::RemoveTree(dir); }

    std::string Store(TextMenu &menu) {
        FILE *file = fopen(path.c_str(), "w");
        EXPECT_NE(file, nullptr);
        FILE *saved = pOut;
        pOut = file;
        StoreMenu(&menu);
        pOut = saved;
        fclose(file);
        return menu_test::ReadFileText(path);
    }
    void Load(TextMenu &menu, const std::string &text) {
        menu_test::WriteFileText(path, text);
        ASSERT_EQ(OpenInputFile(path.c_str(), ErrReport), 1);
        LoadMenu(&menu);
        CloseInputFile();
    }

    static int applied;
    static int CountApply(TextMenu *, TextMenuItem *) {
        ++applied;
        return 0;
    }

    std::string dir;
    std::string path;
};
int Settings::applied = 0;

struct States {
    char text[64];
    explicit States(const char *list) { snprintf(text, sizeof text, "%s", list); }
};

TEST_F(Settings, StoresEveryValuedItemThenTheSubmenus) {
    States modes("_Off,_On");
    States features("_a,_b");
    TextMenuItem subItems[] = {{.pText = "Timeout", .nKind = TMI_INT, .nDefault = 7}, {}};
    TextMenu sub{.pTitle = "Sub", .pItems = subItems};
    TextMenuItem items[] = {
        {.pText = "Intro", .nKind = TMI_TEXT},
        {.pText = "Name", .nKind = TMI_NAME, .nDefault = TextMenuWord("lp0")},
        {.pText = "Comment", .nKind = TMI_STRING, .nDefault = TextMenuWord("a b")},
        {.pText = "Mode", .nKind = TMI_ONE_OF, .pStates = modes.text, .nDefault = 1},
        {.pText = "Copies", .nKind = TMI_INT, .nDefault = 3},
        {.pText = "Sub", .nKind = TMI_SUBMENU, .nValue = TextMenuWord(&sub)},
        {.pText = "Width",
         .nKind = TMI_FLOAT,
         .nHidden = TMH_GREY,
         .nDefault = TextMenuFloat(2.5f)},
        {.pText = "Features", .nKind = TMI_MANY_OF, .pStates = features.text}, // not written
        {}};
    TextMenu menu{.pTitle = "Top", .pItems = items};
    InitMenu(&menu);
    InitMenu(&sub);
    EXPECT_EQ(Store(menu), "1[lp0] 11 0\n"
                           "2[a b] 12 0\n"
                           "3[1] 9 0\n"
                           "4[3] 13 0\n"
                           "6[2.500] 14 1\n"
                           "5{\n"
                           "0[7] 13 0\n"
                           "}\n");
    FreeMenu(&menu);
}

TEST_F(Settings, EmptyMenuWritesNothing) {
    TextMenuItem items[] = {{}};
    TextMenu menu{.pTitle = "Empty", .pItems = items};
    EXPECT_EQ(InitMenu(&menu), 0);
    EXPECT_EQ(Store(menu), "");
}

TEST_F(Settings, AReleasedTextItemStoresItsDefault) {
    TextMenuItem items[] = {{.pText = "Name", .nKind = TMI_NAME, .nDefault = TextMenuWord("x")},
                            {.pText = "Other", .nKind = TMI_STRING},
                            {}};
    TextMenu menu{.pTitle = "T", .pItems = items};
    EXPECT_EQ(Store(menu), "0[x] 11 0\n1[] 12 0\n");
}

TEST_F(Settings, RoundTripRestoresTheValues) {
    States modes("_Off,_On,_Auto");
    TextMenuItem subItems[] = {{.pText = "Timeout", .nKind = TMI_INT, .nDefault = 7},
                               {.pText = "Accept", .nKind = TMI_APPLY, .pfnAction = CountApply},
                               {}};
    TextMenu sub{.pTitle = "Sub", .pItems = subItems};
    TextMenuItem items[] = {
        {.pText = "Name", .nKind = TMI_NAME, .nDefault = TextMenuWord("lp0")},
        {.pText = "Comment", .nKind = TMI_STRING, .nDefault = TextMenuWord("two words")},
        {.pText = "Mode", .nKind = TMI_ONE_OF, .pStates = modes.text, .nDefault = 2},
        {.pText = "Copies", .nKind = TMI_INT, .nDefault = -4},
        {.pText = "Width", .nKind = TMI_FLOAT, .nDefault = TextMenuFloat(8.5f)},
        {.pText = "Sub", .nKind = TMI_SUBMENU, .nValue = TextMenuWord(&sub)},
        {}};
    TextMenu menu{.pTitle = "Top", .pItems = items};
    InitMenu(&menu);
    InitMenu(&sub);
    subItems[0].nValue = 99;
    std::string stored = Store(menu);

    TextMenuItem fresh[7];
    for (int k = 0; k < 7; ++k)
        fresh[k] = items[k];
    TextMenu again{.pTitle = "Top", .pItems = fresh};
    fresh[0].nValue = fresh[1].nValue = 0; // new buffers, so both menus can be freed
    InitMenu(&again);
    subItems[0].nValue = 0;
    flLoadedSettings = 0;
    Load(again, stored);
    EXPECT_EQ(flLoadedSettings, 1);
    EXPECT_STREQ(TextMenuText(&fresh[0]), "lp0");
    EXPECT_STREQ(TextMenuText(&fresh[1]), "two"); // restored only up to the blank
    EXPECT_EQ(fresh[2].nValue, 2);
    EXPECT_EQ(fresh[3].nValue, -4);
    EXPECT_FLOAT_EQ(TextMenuGetFloat(fresh[4].nValue), 8.5f);
    EXPECT_EQ(subItems[0].nValue, 99);
    EXPECT_EQ(applied, 1); // the submenu's block ended: its apply item ran
    FreeMenu(&again);
    FreeMenu(&menu);
}

class LoadLines : public Settings {
  protected:
    States modes{"_Off,_On"};
    TextMenuItem subItems[2] = {{.pText = "Timeout", .nKind = TMI_INT}, {}};
    TextMenu sub{.pTitle = "Sub", .pItems = subItems};
    TextMenuItem items[7] = {{.pText = "Text", .nKind = TMI_STRING},
                             {.pText = "Count", .nKind = TMI_INT},
                             {.pText = "Sub", .nKind = TMI_SUBMENU},
                             {.pText = "Mode", .nKind = TMI_ONE_OF},
                             {.pText = "Name", .nKind = TMI_NAME},
                             {.pText = "Width", .nKind = TMI_FLOAT},
                             {}};
    TextMenu menu{.pTitle = "Top", .pItems = items};

    void SetUp() override {
        Settings::SetUp();
        items[2].nValue = TextMenuWord(&sub);
        items[3].pStates = modes.text;
        InitMenu(&menu);
    }
    void TearDown() override {
        FreeMenu(&menu);
        Settings::TearDown();
    }
};

TEST_F(LoadLines, AStateLineTakesValueAndVisibilityNotKind) {
    Load(menu, "3[1] 0 2\n");
    EXPECT_EQ(items[3].nValue, 1);
    EXPECT_EQ(items[3].nHidden, TMH_GONE);
    EXPECT_EQ(items[3].nKind, TMI_ONE_OF);
}

TEST_F(LoadLines, KindsOfAnotherRepresentationAreNotTaken) {
    Load(menu, "0[abc] 13 0\n1[5] 12 0\n3[1] 13 0\n5[1.5] 9 0\n");
    EXPECT_EQ(items[0].nKind, TMI_STRING);
    EXPECT_STREQ(TextMenuText(&items[0]), "abc");
    EXPECT_EQ(items[1].nKind, TMI_INT);
    EXPECT_EQ(items[1].nValue, 5);
    EXPECT_EQ(items[3].nKind, TMI_ONE_OF);
    EXPECT_EQ(items[5].nKind, TMI_FLOAT);
    EXPECT_FLOAT_EQ(TextMenuGetFloat(items[5].nValue), 1.5f);
    Load(menu, "0[x] 11 0\n4[y] 12 0\n"); // the two text kinds share a representation
    EXPECT_EQ(items[0].nKind, TMI_NAME);
    EXPECT_EQ(items[4].nKind, TMI_STRING);
}

TEST_F(LoadLines, ValuesThatCannotBeUsedAreIgnored) {
    items[1].nValue = 4;
    Load(menu, "3[7] 9 0\n"    // no state 7
               "3[1] 9 5\n"    // visibility 5: value taken, visibility not
               "1[] 13 0\n"    // no number
               "5[nan] 14 0\n" // no float worth keeping
               "1[abc] 13 -1\n");
    EXPECT_EQ(items[3].nValue, 1);
    EXPECT_EQ(items[3].nHidden, TMH_SHOWN);
    EXPECT_EQ(items[1].nValue, 4);
    EXPECT_EQ(items[1].nHidden, TMH_SHOWN);
    EXPECT_FLOAT_EQ(TextMenuGetFloat(items[5].nValue), 0.0f);
}

TEST_F(LoadLines, UnusableLinesAreSkipped) {
    Load(menu, "just words\n"
               "1[5\n"       // no "]"
               "1[6]\n"      // nothing after the "]"
               "9[7] 13 0\n" // no item 9
               "-1[8] 13 0\n"
               "\n"
               "1[9] 13 0\n");
    EXPECT_EQ(items[1].nValue, 9);
}

// The line end is not something after the "]": the same line is ignored
// with its line feed, with CR LF, and as the file's last line without one.
TEST_F(LoadLines, NothingButTheLineEndAfterTheBracketIsNothing) {
    for (const char *last : {"1[6]\n", "1[6]\r\n", "1[6]", "0[x]\n"}) {
        Load(menu, std::string("0[kept] 12 0\n1[9] 13 0\n") + last);
        EXPECT_EQ(items[1].nValue, 9) << last;
        EXPECT_STREQ(TextMenuText(&items[0]), "kept") << last;
    }
    Load(menu, "1[6] 13");
    EXPECT_EQ(items[1].nValue, 6); // something after the "]", no line end
}

TEST_F(LoadLines, ALongValueIsCutTo255Characters) {
    std::string value(300, 'v');
    Load(menu, "0[" + value + "] 12 0\n");
    EXPECT_EQ(std::string(TextMenuText(&items[0])), std::string(255, 'v'));
}

TEST_F(LoadLines, ABlockOfAnItemThatIsNoSubmenuIsSkippedWhole) {
    Load(menu, "1{\n"
               "0[inner] 12 0\n"
               "4{\n"
               "0[deeper] 12 0\n"
               "}\n"
               "}\n"
               "0[outer] 12 0\n");
    EXPECT_STREQ(TextMenuText(&items[0]), "outer");
    EXPECT_EQ(items[1].nValue, 0); // never taken for a menu
}

TEST_F(LoadLines, ABlockWhoseSubmenuIsNotAvailableIsSkipped) {
    items[2].nHidden = TMH_GONE;
    Load(menu, "2{\n0[5] 13 0\n}\n1[3] 13 0\n");
    EXPECT_EQ(subItems[0].nValue, 0);
    EXPECT_EQ(items[1].nValue, 3); // the block's "}" did not end the menu
}

TEST_F(LoadLines, TheSubmenusBlockFillsTheSubmenu) {
    Load(menu, "2{\n0[5] 13 0\n}\n1[3] 13 0\n");
    EXPECT_EQ(subItems[0].nValue, 5);
    EXPECT_EQ(items[1].nValue, 3);
}

TEST_F(LoadLines, ATextItemNeverPreparedGetsABuffer) {
    TextMenuItem other[] = {{.pText = "T", .nKind = TMI_STRING}, {}};
    TextMenu unprepared{.pTitle = "U", .pItems = other};
    Load(unprepared, "0[value] 12 0\n");
    ASSERT_NE(other[0].nValue, 0);
    EXPECT_STREQ(TextMenuText(&other[0]), "value");
    FreeMenu(&unprepared);
}

// A menu whose submenu is itself: storing writes it once per level up to
// the path limit, and a file nesting deeper than that is read safely.
TEST_F(Settings, ASelfContainingTreeEnds) {
    TextMenuItem items[] = {{.pText = "Self", .nKind = TMI_SUBMENU},
                            {.pText = "Count", .nKind = TMI_INT, .nDefault = 1},
                            {}};
    TextMenu menu{.pTitle = "Loop", .pItems = items};
    items[0].nValue = TextMenuWord(&menu);
    InitMenu(&menu);
    EXPECT_EQ(Store(menu), "1[1] 13 0\n"); // the submenu is the menu being written

    std::string deep;
    for (int k = 0; k < 5000; ++k)
        deep += "0{\n";
    deep += "1[7] 13 0\n";
    Load(menu, deep);
    EXPECT_EQ(items[1].nValue, 1); // the line lies in a skipped block
}

} // namespace
