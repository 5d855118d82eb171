// Drawing: the exact text of the menu screen for each kind, flag and title
// style, grids, and the pick-list screen on 80 x 24 and on screens too small
// for it.
#include "TextMenu.h"

#include "MemMgr.h"
#include "MenuTestUtil.h"
#include "SysCmd.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using menu_test::StdioScript;

// The answer line of the store (25/510 with the hints 25/230 to 25/232).
std::string Answer(bool store, bool help, bool leave) {
    return std::string("\nChoose an item") + (store ? " or s for store settings in a file" : "") +
           (help ? " or h for help" : "") + (leave ? " or <Return> to exit" : "") + ": ";
}

// A writable state list.
struct States {
    std::vector<char> buffer;
    char *text;
    explicit States(const std::string &list) : buffer(list.begin(), list.end()), text(nullptr) {
        buffer.push_back('\0');
        text = buffer.data();
    }
};

class Draw : public testing::Test {
  protected:
    void SetUp() override {
        menu_test::UseMenuTestEnvironment();
        menu_test::CommandLines.clear();
    }

    // PrintMenu's output for the menu (prepared first) with the given longest
    // label length (InitMenu's when negative).
    std::string Drawn(TextMenu &menu, int longest = -1) {
        int init = InitMenu(&menu);
        StdioScript io;
        count = PrintMenu(&menu, longest < 0 ? init : longest, TitleWidth(menu.pTitle));
        std::string out = io.Output();
        FreeMenu(&menu);
        return out;
    }
    static int TitleWidth(const char *title) { return int(strcspn(title, "\n\r")); }

    int count = 0;
};

TEST_F(Draw, PlainMenuWithExitHintOnly) {
    TextMenuItem items[] = {{"Choose a queue.", TMI_TEXT},
                            {"Add", TMI_ACTION},
                            {"~q Quit", TMI_EXIT},
                            {"Remove", TMI_ACTION},
                            {}};
    TextMenu menu{.pTitle = "Queues", .pItems = items};
    EXPECT_EQ(Drawn(menu), "\f\nQueues:\n\n"
                           "Choose a queue. \n\n"
                           " 1) Add \n\n"
                           " q) Quit \n\n"
                           " 2) Remove \n\n" +
                               Answer(false, false, true));
    EXPECT_EQ(count, 4);
}

TEST_F(Draw, RunsTheClearingCommandFirst) {
    TextMenuItem items[] = {{"Add", TMI_ACTION}, {}};
    TextMenu menu{.pTitle = "T", .pItems = items};
    Drawn(menu);
    if (TestCmd(CmdClear)) {
        ASSERT_EQ(menu_test::CommandLines.size(), 1u);
        EXPECT_NE(menu_test::CommandLines[0].find("/clear"), std::string::npos);
        EXPECT_EQ(menu_test::CommandLines[0].find("/dev/null"), std::string::npos);
    } else {
        EXPECT_TRUE(menu_test::CommandLines.empty()); // no clear: the screen is not cleared
    }
}

TEST_F(Draw, WithoutAClearCommandTheScreenIsNotCleared) {
    TextMenuItem items[] = {{"Add", TMI_ACTION}, {}};
    TextMenu menu{.pTitle = "T", .pItems = items};
    // As if clear had been looked for everywhere and not found.
    const char *path = ComList[CmdClear].path;
    uint8_t lazy = flInitSysCmd;
    ComList[CmdClear].path = nullptr;
    flInitSysCmd = 0;
    std::string out = Drawn(menu);
    ComList[CmdClear].path = path;
    flInitSysCmd = lazy;
    EXPECT_TRUE(menu_test::CommandLines.empty());
    EXPECT_EQ(out.substr(0, 6), "\f\nT:\n\n"); // the menu is drawn all the same
}

TEST_F(Draw, CompactStayAndHelp) {
    TextMenuItem items[] = {{"Add", TMI_ACTION}, {"Remove", TMI_ACTION}, {}};
    TextMenu menu{.pTitle = "Q", .pItems = items, .nFlags = TMF_COMPACT | TMF_STAY | TMF_HELP};
    EXPECT_EQ(Drawn(menu), "\f\nQ:\n\n 1) Add \n 2) Remove \n" + Answer(false, true, false));
}

TEST_F(Draw, StoreHintForEitherStoreFlag) {
    TextMenuItem items[] = {{}};
    TextMenu menu{.pTitle = "Q", .pItems = items, .nFlags = TMF_STORE_QUIT};
    EXPECT_EQ(Drawn(menu), "\f\nQ:\n\n" + Answer(true, false, true));
    menu.nFlags = TMF_STORE_ASK | TMF_HELP;
    EXPECT_EQ(Drawn(menu), "\f\nQ:\n\n" + Answer(true, true, true));
    EXPECT_EQ(count, 0);
}

TEST_F(Draw, TitleStyles) {
    TextMenuItem items[] = {{}};
    TextMenu menu{.pTitle = "Printer setup\nsecond line", .nStyle = 1, .pItems = items};
    std::string centred = Drawn(menu);
    EXPECT_EQ(centred.substr(0, 2 + 33 + 13), "\f\n" + std::string(33, ' ') + "Printer setup");
    EXPECT_EQ(centred.substr(48, 14), "\nsecond line\n\n");
    menu.nStyle = 2;
    EXPECT_EQ(Drawn(menu).substr(0, 2 + 67 + 13), "\f\n" + std::string(67, ' ') + "Printer setup");
    std::string wide(90, 'W');
    menu.pTitle = wide.c_str();
    EXPECT_EQ(Drawn(menu).substr(0, 3), "\f\nW"); // wider than 80: no blanks
    menu.nStyle = 1;
    EXPECT_EQ(Drawn(menu).substr(0, 3), "\f\nW");
}

TEST_F(Draw, EntryValuesArePaddedToTheLongestLabel) {
    States levels("_Low,_High");
    States features("_None,_Duplex,_Staple");
    TextMenuItem items[] = {
        {.pText = "Copies", .nKind = TMI_INT, .nDefault = 2},
        {.pText = "Level", .nKind = TMI_ONE_OF, .pStates = levels.text, .nDefault = 1},
        {.pText = "Features", .nKind = TMI_MANY_OF, .pStates = features.text, .nValue = 6},
        {.pText = "Name", .nKind = TMI_NAME, .nDefault = TextMenuWord("lp0")},
        {.pText = "Comment", .nKind = TMI_STRING},
        {.pText = "Width", .nKind = TMI_FLOAT, .nDefault = TextMenuFloat(2.5f)},
        {}};
    TextMenu menu{.pTitle = "V", .pItems = items, .nFlags = TMF_COMPACT};
    EXPECT_EQ(Drawn(menu, 10), "\f\nV:\n\n"
                               " 1) Copies .... [2]\n"
                               " 2) Level ..... [2. High]\n"
                               " 3) Features .. [2,3]\n"
                               " 4) Name ...... [lp0]\n"
                               " 5) Comment ... []\n"
                               " 6) Width ..... [2.500]\n" +
                                   Answer(false, false, true));
}

TEST_F(Draw, ManyOfWithTheFirstStateOnlyAndHiddenCurrentState) {
    States features("_None,_Duplex");
    States levels("_Low, High");
    TextMenuItem items[] = {{.pText = "F", .nKind = TMI_MANY_OF, .pStates = features.text},
                            {.pText = "L", .nKind = TMI_ONE_OF, .pStates = levels.text},
                            {}};
    TextMenu menu{.pTitle = "V", .pItems = items, .nFlags = TMF_COMPACT};
    InitMenu(&menu);
    items[1].nValue = 1; // the hidden state
    StdioScript io;
    PrintMenu(&menu, 1, 1);
    EXPECT_EQ(io.Output(), "\f\nV:\n\n 1) F  [default]\n 2) L  [ ]\n" + Answer(false, false, true));
}

TEST_F(Draw, GreyedHiddenAndNumberedLines) {
    TextMenuItem items[] = {{.pText = "Add", .nKind = TMI_ACTION},
                            {.pText = "Copies", .nKind = TMI_INT, .nHidden = TMH_GREY},
                            {.pText = "Gone", .nKind = TMI_ACTION, .nHidden = TMH_GONE},
                            {.pText = "Counted", .nKind = TMI_LINE},
                            {.pText = "~x Greyed key", .nKind = TMI_ACTION, .nHidden = TMH_GREY},
                            {.pText = "Gone text", .nKind = TMI_TEXT, .nHidden = TMH_GONE},
                            {}};
    TextMenu menu{.pTitle = "G", .pItems = items, .nFlags = TMF_COMPACT};
    EXPECT_EQ(Drawn(menu, 6), "\f\nG:\n\n"
                              " 1) Add \n"
                              "    Copies  [0]\n"
                              " 3) Counted \n"
                              "    Greyed key \n" +
                                  Answer(false, false, true));
}

TEST_F(Draw, SubmenuItemShowsTheSubmenusTitle) {
    TextMenuItem subItems[] = {{}};
    TextMenu sub{.pTitle = "Advanced settings", .pItems = subItems};
    TextMenuItem items[] = {{.pText = "Add", .nKind = TMI_ACTION},
                            {.pText = "Sub", .nKind = TMI_SUBMENU, .nValue = TextMenuWord(&sub)},
                            {.pText = "~z None", .nKind = TMI_SUBMENU},
                            {.pText = "~y Sub", .nKind = TMI_SUBMENU, .nValue = TextMenuWord(&sub)},
                            {}};
    TextMenu menu{.pTitle = "S", .pItems = items, .nFlags = TMF_COMPACT};
    EXPECT_EQ(Drawn(menu), "\f\nS:\n\n"
                           " 1) Add \n"
                           " 2) Advanced settings \n"
                           " y) Advanced settings \n" +
                               Answer(false, false, true));
}

TEST_F(Draw, ShortHotKeyLabelsShowNothingBeyondTheirEnd) {
    TextMenuItem items[] = {{"~q", TMI_EXIT}, {"~", TMI_EXIT}, {}};
    TextMenu menu{.pTitle = "K", .pItems = items, .nFlags = TMF_COMPACT};
    // "~" alone marks no key: it is an ordinary numbered label.
    EXPECT_EQ(Drawn(menu), "\f\nK:\n\n q)  \n 1) ~ \n" + Answer(false, false, true));
    EXPECT_EQ(items[0].nKey, 'q');
}

// --- Grids -----------------------------------------------------------------

TEST_F(Draw, ThreeHotKeysInOneRowOfAKind3Grid) {
    TextMenuItem items[] = {{.pText = "Page text", .nKind = TMI_TEXT},
                            {.pText = "", .nKind = TMI_GRID_ALL, .nValue = 3},
                            {"~e Exit Help", TMI_EXIT},
                            {"~c Contents", TMI_ACTION},
                            {"~b Back", TMI_ACTION},
                            {}};
    TextMenu menu{.pTitle = "Help", .pItems = items};
    std::string expected = "\f\nHelp:\n\nPage text \n\n" + std::string(" e) Exit Help") +
                           std::string(12, ' ') + " c) Contents" + std::string(13, ' ') +
                           " b) Back" + std::string(17, ' ') + "\n\n" + Answer(false, false, true);
    EXPECT_EQ(Drawn(menu), expected);
}

TEST_F(Draw, GridRowsStartAndWrap) {
    TextMenuItem items[] = {{.pText = "", .nKind = TMI_GRID_ALL, .nValue = 2},
                            {"One", TMI_ACTION},
                            {"Two", TMI_ACTION},
                            {"Three", TMI_ACTION}, // the row is full: a new one
                            {.pText = "", .nKind = TMI_GRID_ALL, .nValue = 4},
                            {"Four", TMI_ACTION},
                            {.pText = "Gone", .nKind = TMI_ACTION, .nHidden = TMH_GONE},
                            {"Six", TMI_ACTION},
                            {}};
    TextMenu menu{.pTitle = "G", .pItems = items, .nFlags = TMF_COMPACT};
    auto cell = [](int number, const std::string &label, int width) {
        std::string text = (number < 10 ? " " : "") + std::to_string(number) + ") " + label;
        text += std::string(size_t(width - 5 - int(label.size())), ' ');
        return text.substr(0, size_t(width - 2)) + " ";
    };
    EXPECT_EQ(Drawn(menu), "\f\nG:\n\n" + cell(1, "One", 40) + cell(2, "Two", 40) + "\n" +
                               cell(3, "Three", 40) + "\n" + cell(4, "Four", 20) +
                               cell(6, "Six", 20) + "\n" + Answer(false, false, true));
}

TEST_F(Draw, Kind1GridIsMadeOfRowsBegunByTextItems) {
    TextMenuItem items[] = {{.pText = "", .nKind = TMI_GRID, .nValue = 2},
                            {.pText = "", .nKind = TMI_TEXT, .nValue = 2},
                            {"~a A", TMI_ACTION},
                            {"~b B", TMI_ACTION},
                            {.pText = "", .nKind = TMI_GRID}, // ends the grid, draws nothing
                            {"After", TMI_ACTION},
                            {}};
    TextMenu menu{.pTitle = "G", .pItems = items, .nFlags = TMF_COMPACT};
    std::string cellA = " a) A" + std::string(34, ' ');
    std::string cellB = " b) B" + std::string(34, ' ');
    EXPECT_EQ(Drawn(menu),
              "\f\nG:\n\n\n" + cellA + cellB + "\n\n 1) After \n" + Answer(false, false, true));
}

TEST_F(Draw, GridColumnsAreClampedSoCellsStayPositive) {
    TextMenuItem items[] = {
        {.pText = "", .nKind = TMI_GRID_ALL, .nValue = 500}, {"~x Long label", TMI_ACTION}, {}};
    TextMenu menu{.pTitle = "G", .pItems = items, .nFlags = TMF_COMPACT};
    // 13 columns of 6 characters: the cell is cut to 4 and a blank added;
    // the label is longer than the cell: the row ends after it.
    EXPECT_EQ(Drawn(menu), "\f\nG:\n\n x)  \n\n" + Answer(false, false, true));
}

// --- The pick-list screen ---------------------------------------------------------

class PickList : public testing::Test {
  protected:
    void SetUp() override {
        menu_test::UseMenuTestEnvironment();
        setenv("COLUMNS", "80", 1);
        setenv("LINES", "24", 1);
    }
    void TearDown() override {
        unsetenv("COLUMNS");
        unsetenv("LINES");
    }
    // Row y (from 1) of a screen of the given width sent by Refresh.
    static std::string Row(const std::string &out, int y, int width = 80) {
        return out.substr(size_t(y - 1) * size_t(width), size_t(width));
    }
    static std::string Pad(const std::string &text, size_t width = 80) {
        return text + std::string(width - text.size(), ' ');
    }
};

TEST_F(PickList, FiveStatesInOneColumn) {
    States states("_Off,_Low,_Mid, High,_Max");
    TextMenuItem item{.pText = "Level", .nKind = TMI_ONE_OF, .pStates = states.text, .nValue = 2};
    StdioScript io;
    intptr_t hidden = -1;
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 0), 0); // the list ends before the page
    EXPECT_EQ(hidden, intptr_t(1) << 3);
    std::string out = io.Output();
    ASSERT_EQ(out.size(), 1919u);
    EXPECT_EQ(Row(out, 1), Pad(std::string(37, ' ') + "Level"));
    EXPECT_EQ(Row(out, 2), Pad(""));
    EXPECT_EQ(Row(out, 3), Pad("     1) Off"));
    EXPECT_EQ(Row(out, 4), Pad("     2) Low"));
    EXPECT_EQ(Row(out, 5), Pad(" ->  3) Mid"));
    EXPECT_EQ(Row(out, 6), Pad("        High")); // hidden: no number
    EXPECT_EQ(Row(out, 7), Pad("     5) Max"));
    EXPECT_EQ(Row(out, 8), Pad(""));
    EXPECT_EQ(Row(out, 22), Pad("s: save and return" + std::string(22, ' ') + "c: cancel"));
    EXPECT_EQ(Row(out, 23), Pad("Current selection: Mid"));
    EXPECT_EQ(out.substr(23 * 80), Pad("Option (numbers, or <Return> for the next page): ", 79));
}

TEST_F(PickList, ManyOfMarksEverySelectedState) {
    States states("_None,_Duplex,_Staple,_Punch");
    TextMenuItem item{
        .pText = "Features", .nKind = TMI_MANY_OF, .pStates = states.text, .nValue = 0b1010};
    StdioScript io;
    intptr_t hidden = 0;
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 0), 0);
    std::string out = io.Output();
    EXPECT_EQ(Row(out, 3), Pad("     1) None"));
    EXPECT_EQ(Row(out, 4), Pad(" ->  2) Duplex"));
    EXPECT_EQ(Row(out, 6), Pad(" ->  4) Punch"));
    EXPECT_EQ(Row(out, 23), Pad("Current selection: Duplex Punch "));
}

TEST_F(PickList, LongListsArePagedByColumns) {
    std::string list;
    for (int k = 1; k <= 40; ++k)
        list += "_State number " + std::to_string(k) + " with a long name,";
    States states(list);
    TextMenuItem item{.pText = "Pick", .nKind = TMI_ONE_OF, .pStates = states.text, .nValue = 37};
    intptr_t hidden = 0;
    {
        StdioScript io;
        // 18 states a column, 35 characters each: two columns fit.
        EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 0), 36);
        std::string out = io.Output();
        EXPECT_EQ(Row(out, 3), "     1) State number 1 with a long name" + std::string(5, ' ') +
                                   "19) State number 19 with a long name");
        EXPECT_EQ(Row(out, 23), Pad("Current selection: State number 38 with a long name"));
    }
    StdioScript io;
    // The last page ends before it is full: 0, so the dialogue starts over.
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 36), 0);
    std::string out = io.Output();
    EXPECT_EQ(Row(out, 3), Pad("    37) State number 37 with a long name"));
    EXPECT_EQ(Row(out, 4), Pad(" -> 38) State number 38 with a long name"));
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 40), -1); // beyond the list
}

// The count drawn, or 0 when the list ends before the page does: on 80 x 24
// a column holds 18 states and two columns of these names fit a page.
TEST_F(PickList, ThePageCountIsZeroWhenTheListEndsBeforeThePage) {
    struct Case {
        int states;
        int first;
        int result;
    };
    for (Case c : {Case{5, 0, 0}, Case{17, 0, 0}, Case{18, 0, 18}, Case{19, 0, 0}, Case{36, 0, 36},
                   Case{37, 0, 36}, Case{37, 36, 0}, Case{72, 36, 36}}) {
        std::string list;
        for (int k = 1; k <= c.states; ++k)
            list += "_A state with a long name" + std::string(k < 10 ? "0" : "") +
                    std::to_string(k) + ",";
        States states(list);
        TextMenuItem item{.pText = "Pick", .nKind = TMI_ONE_OF, .pStates = states.text};
        intptr_t hidden = 0;
        StdioScript io;
        if (c.first > 0) {
            ASSERT_GE(PrintPickOneManyScreen(&item, &hidden, 0), 0);
        }
        EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, c.first), c.result)
            << c.states << " states from " << c.first;
    }
}

TEST_F(PickList, TooFewRows) {
    setenv("LINES", "6", 1);
    States states("_a,_b");
    TextMenuItem item{.pText = "P", .nKind = TMI_ONE_OF, .pStates = states.text};
    StdioScript io("\n");
    intptr_t hidden = 0;
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 0), -1);
    EXPECT_EQ(io.Output(), "\nThe screen is too small for this list.\n"
                           "It has 80 columns and 6 rows;\n"
                           "at least 27 columns and 7 rows are needed. Press <Return> to "
                           "continue.\n");
    EXPECT_EQ(getchar(), EOF); // the one character was read
}

// The engine's drawing step only writes: the key that closes the notice is
// read by its caller (the pick-list dialogue, or PrintPickOneManyScreen).
TEST_F(PickList, DrawingATooSmallScreenReadsNothing) {
    setenv("LINES", "6", 1);
    States states("_a,_b");
    TextMenuItem item{.pText = "P", .nKind = TMI_ONE_OF, .pStates = states.text};
    StdioScript io("x");
    intptr_t hidden = 0;
    bool tooSmall = false;
    EXPECT_EQ(menu_detail::DrawPickOneManyScreen(&item, &hidden, 0, &tooSmall), -1);
    EXPECT_TRUE(tooSmall);
    EXPECT_NE(io.Output().find("It has 80 columns and 6 rows;"), std::string::npos);
    EXPECT_EQ(getchar(), 'x');
    setenv("LINES", "24", 1);
    EXPECT_EQ(menu_detail::DrawPickOneManyScreen(&item, &hidden, 0, &tooSmall), 0);
    EXPECT_FALSE(tooSmall);
}

TEST_F(PickList, TooFewColumns) {
    setenv("COLUMNS", "30", 1);
    std::string wide = "_" + std::string(40, 'w');
    States states(wide + ",_b");
    TextMenuItem item{.pText = "P", .nKind = TMI_ONE_OF, .pStates = states.text};
    StdioScript io;
    intptr_t hidden = 0;
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 0), -1);
    EXPECT_NE(io.Output().find("at least 40 columns and 7 rows"), std::string::npos);
}

TEST_F(PickList, NamesLongerThanTheLineAreCut) {
    setenv("COLUMNS", "60", 1);
    std::string wide = "_" + std::string(60, 'n');
    States states(wide);
    TextMenuItem item{.pText = "P", .nKind = TMI_ONE_OF, .pStates = states.text};
    StdioScript io;
    intptr_t hidden = 0;
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 0), 0); // the list ends before the page
    std::string out = io.Output();
    // Cut to the line's end, nothing spilled into the next line.
    EXPECT_EQ(Row(out, 3, 60), " ->  1) " + std::string(49, 'n') + "...");
    EXPECT_EQ(Row(out, 4, 60), std::string(60, ' '));
}

TEST_F(PickList, ManyOfBeyondTheMaskIsShownButNeverMarked) {
    std::string list;
    for (int k = 1; k <= 40; ++k)
        list += "_s" + std::to_string(k) + ",";
    States states(list);
    TextMenuItem item{
        .pText = "P", .nKind = TMI_MANY_OF, .pStates = states.text, .nValue = intptr_t(-1)};
    StdioScript io;
    intptr_t hidden = 0;
    EXPECT_EQ(PrintPickOneManyScreen(&item, &hidden, 0), 0); // one page, not full
    std::string out = io.Output();
    EXPECT_EQ(Row(out, 3).substr(0, 11), " ->  1) s1 ");
    // Second column at 4 + 7, shifted by (80 - 33) / 3.
    EXPECT_EQ(Row(out, 15).substr(26, 11), " -> 31) s31");
    EXPECT_EQ(Row(out, 16).substr(26, 11), "    32) s32");
}

TEST(GetColumnWidths, LongestNameOfEachColumn) {
    States states("_a,_bbb,_cc,_d");
    TextMenuItem item{.pText = "P", .nKind = TMI_ONE_OF, .pStates = states.text};
    TextScreen screen{.nColumns = 80, .nRows = 8}; // two states a column
    int widths[PickMaxColumns];
    EXPECT_EQ(GetColumnWidths(&screen, &item, widths), 4);
    EXPECT_EQ(widths[0], 4);
    EXPECT_EQ(widths[1], 3);
    EXPECT_EQ(widths[2], 0);
    EXPECT_EQ(GetColumnWidths(nullptr, &item, widths), 0);
    screen.nRows = 6; // no room for a column: nothing measured, no division
    EXPECT_EQ(GetColumnWidths(&screen, &item, widths), 0);
}

TEST(GetColumnWidths, AtMost512Columns) {
    std::string list;
    for (int k = 0; k < 600; ++k)
        list += "_x,";
    char *states = SaveStr_(list.c_str());
    TextMenuItem item{.pText = "P", .nKind = TMI_ONE_OF, .pStates = states};
    TextScreen screen{.nColumns = 80, .nRows = 7}; // one state a column
    int widths[PickMaxColumns];
    EXPECT_EQ(GetColumnWidths(&screen, &item, widths), 2);
    EXPECT_EQ(widths[PickMaxColumns - 1], 2);
    PutMem(states);
}

TEST(WriteScreenFrame, LongSelectionIsCut) {
    menu_test::UseMenuTestEnvironment();
    TextScreen screen{.nColumns = 40, .nRows = 10};
    screen.pCells = static_cast<char *>(GetMem(400));
    std::fill(screen.pCells, screen.pCells + 400, ' ');
    TextMenuItem item{.pText = "~x Title", .nKind = TMI_MANY_OF};
    WriteScreenFrame(&screen, &item, std::string(50, 'v').c_str());
    std::string cells(screen.pCells, 400);
    EXPECT_EQ(cells.substr(0, 40), std::string(17, ' ') + "Title" + std::string(18, ' '));
    // "Current selection: %s" leaves 40 - 21 + 2 = 21 characters; cut 3 before.
    EXPECT_EQ(cells.substr(8 * 40, 40), "Current selection: " + std::string(18, 'v') + "...");
    PutMem(screen.pCells);
}

} // namespace
