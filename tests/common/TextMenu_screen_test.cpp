// The character screen buffer: terminal size, placing text, filling,
// sending the cells, the boxed notice and the test pattern.
#include "TextMenu.h"

#include "MemMgr.h"
#include "MenuTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using menu_test::StdioScript;

// A screen of the given size with blank cells.
class Screen {
  public:
    Screen(int columns, int rows) {
        screen_.nColumns = columns;
        screen_.nRows = rows;
        screen_.pCells = static_cast<char *>(GetMem(size_t(columns) * size_t(rows)));
        std::fill(screen_.pCells, screen_.pCells + size_t(columns) * size_t(rows), ' ');
    }
    ~Screen() { PutMem(screen_.pCells); }
    TextScreen *operator->() { return &screen_; }
    TextScreen *get() { return &screen_; }
    std::string Line(int y) const { // y from 1
        return std::string(screen_.pCells + size_t(y - 1) * size_t(screen_.nColumns),
                           size_t(screen_.nColumns));
    }

  private:
    TextScreen screen_{};
};

// GetTermInfo reads the environment only when standard output is not a
// terminal; the captured output never is.
class TermInfo : public testing::Test {
  protected:
    void TearDown() override {
        unsetenv("COLUMNS");
        unsetenv("LINES");
    }
    TextScreen *Get(TextScreen *screen = nullptr) {
        StdioScript io;
        return GetTermInfo(screen);
    }
    static void Release(TextScreen *screen) {
        PutMem(screen->pCells);
        PutMem(screen);
    }
};

TEST_F(TermInfo, DefaultsTo80By24) {
    unsetenv("COLUMNS");
    unsetenv("LINES");
    TextScreen *screen = Get();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->nColumns, 80);
    EXPECT_EQ(screen->nRows, 24);
    EXPECT_EQ(std::string(screen->pCells, 80 * 24), std::string(80 * 24, ' '));
    Release(screen);
}

TEST_F(TermInfo, TakesTheEnvironmentsSizeAndResizes) {
    setenv("COLUMNS", "100", 1);
    setenv("LINES", "30", 1);
    TextScreen *screen = Get();
    EXPECT_EQ(screen->nColumns, 100);
    EXPECT_EQ(screen->nRows, 30);
    setenv("COLUMNS", "40", 1);
    setenv("LINES", "10", 1);
    EXPECT_EQ(Get(screen), screen);
    EXPECT_EQ(screen->nColumns, 40);
    EXPECT_EQ(screen->nRows, 10);
    Release(screen);
}

TEST_F(TermInfo, ClipsAWideTerminalToTheLineBuffer) {
    setenv("COLUMNS", "9000", 1);
    setenv("LINES", "2", 1);
    TextScreen *screen = Get();
    EXPECT_EQ(screen->nColumns, 4095);
    Release(screen);
}

TEST_F(TermInfo, IgnoresUnusableValues) {
    setenv("COLUMNS", "wide", 1);
    setenv("LINES", "30", 1);
    TextScreen *screen = Get();
    EXPECT_EQ(screen->nColumns, 80);
    EXPECT_EQ(screen->nRows, 24);
    Release(screen);
}

TEST(WriteString, PlacesTextAtTheCursorWithoutMovingIt) {
    Screen s(10, 3);
    SetPosition(s.get(), 0, 0); // line 0 counts as line 1
    WriteString(s.get(), "%s-%d", "ab", 7);
    EXPECT_EQ(s.Line(1), "ab-7      ");
    EXPECT_EQ(s->nX, 0);
    EXPECT_EQ(s->nY, 1);
    SetPosition(s.get(), 10, 1); // the right edge: the next line's start
    WriteString(s.get(), "x");
    EXPECT_EQ(s.Line(2), "x         ");
    SetPosition(s.get(), 8, 2); // runs on into the next line
    WriteString(s.get(), "%s", "1234");
    EXPECT_EQ(s.Line(2), "x       12");
    EXPECT_EQ(s.Line(3), "34        ");
}

TEST(WriteString, DropsWhatFallsBeyondTheLastCell) {
    Screen s(10, 3);
    SetPosition(s.get(), 7, 3);
    WriteString(s.get(), "%s", "abcdefgh");
    EXPECT_EQ(s.Line(3), "       abc");
    SetPosition(s.get(), 11, 9); // out of range: the first cell
    WriteString(s.get(), "Z");
    EXPECT_EQ(s.Line(1)[0], 'Z');
    SetPosition(s.get(), -4, 2);
    WriteString(s.get(), "Y");
    EXPECT_EQ(s.Line(2)[0], 'Y');
}

TEST(WriteString, CutsTextAt511Characters) {
    Screen s(100, 10);
    SetPosition(s.get(), 0, 1);
    WriteString(s.get(), "%s", std::string(700, 'q').c_str());
    std::string cells(s->pCells, 1000);
    EXPECT_EQ(cells.find_first_not_of('q'), 511u);
}

TEST(FillArea, FillsAndClipsTheRectangle) {
    Screen s(6, 3);
    FillArea(s.get(), 1, 0, 2, 2, '#');
    EXPECT_EQ(s.Line(1), " ##   ");
    EXPECT_EQ(s.Line(2), " ##   ");
    FillArea(s.get(), -2, 2, 100, 100, '=');
    EXPECT_EQ(s.Line(3), "======");
    FillArea(s.get(), 4, -1, 2, 2, '*');
    EXPECT_EQ(s.Line(1), " ## **");
    FillArea(s.get(), 0, 0, -1, 5, '!');
    FillArea(s.get(), 0, 0, 5, 0, '!');
    EXPECT_EQ(std::string(s->pCells, 18).find('!'), std::string::npos);
}

TEST(Refresh, SendsAllCellsButTheLast) {
    Screen s(80, 24);
    StdioScript io;
    EXPECT_EQ(Refresh(s.get()), 0);
    EXPECT_EQ(io.Output(), std::string(1919, ' '));
}

TEST(Refresh, ANewlineCellEndsItsLine) {
    Screen s(4, 3);
    SetPosition(s.get(), 0, 1);
    WriteString(s.get(), "ab\ncd");
    SetPosition(s.get(), 0, 3);
    WriteString(s.get(), "wxyz");
    StdioScript io;
    Refresh(s.get());
    // Line 1 "ab\n" (its last cell skipped), line 2 "d   " (the text ran on
    // into it), line 3 without its last cell.
    EXPECT_EQ(io.Output(), "ab\nd   wxy");
}

TEST(Refresh, AZeroCellEndsTheVisibleLine) {
    Screen s(4, 2);
    s->pCells[1] = '\0';
    StdioScript io;
    Refresh(s.get());
    EXPECT_EQ(io.Output(), " " + std::string(3, ' '));
}

TEST(Refresh, NoRowsOnlyFlushes) {
    Screen s(4, 1);
    s->nRows = 0;
    StdioScript io;
    Refresh(s.get());
    Refresh(nullptr);
    EXPECT_EQ(io.Output(), "");
}

TEST(Overlay, BoxWithWaitLine) {
    Screen s(80, 24);
    SetOvlInfo(s.get(), 5, 5, 20, 2);
    SetPosition(s.get(), 3, 4);
    StdioScript io("x");
    Overlay(s.get(), "Printer lp0 added\nOK", 1);
    std::string border(24, '*');
    auto line = [](const std::string &text) {
        return "* " + text + std::string(20 - text.size(), ' ') + " *\n";
    };
    EXPECT_EQ(io.Output(), border + "\n" + line("Printer lp0 added") + line("OK") +
                               "* Press enter" + std::string(12, ' ') + "*\n" + border + "\n");
    EXPECT_EQ(s->nX, 3); // the cursor is where it was
    EXPECT_EQ(s->nY, 4);
    EXPECT_EQ(getchar(), EOF); // the one character was read
}

TEST(Overlay, LongTextWrapsAndIsLimitedToHeightPlusThreeLines) {
    Screen s(80, 24);
    SetOvlInfo(s.get(), 0, 0, 4, 0);
    StdioScript io;
    Overlay(s.get(), "abcdefghijklmnopqrstuvwxyz", 0);
    EXPECT_EQ(io.Output(), "********\n"
                           "* abcd *\n"
                           "* efgh *\n"
                           "* ijkl *\n"
                           "********\n");
}

TEST(Overlay, NarrowBoxHasNoNegativePadding) {
    Screen s(80, 24);
    SetOvlInfo(s.get(), 0, 0, 3, 1);
    StdioScript io("\n");
    Overlay(s.get(), "", 1);
    EXPECT_EQ(io.Output(), "*******\n* Press enter*\n*******\n");
}

TEST(NumberScreen, FillsTheFirst1920Cells) {
    Screen s(80, 25);
    NumberScreen(s.get());
    EXPECT_EQ(s.Line(1).substr(0, 12), "012345678901");
    EXPECT_EQ(s.Line(2).substr(0, 3), "012");
    EXPECT_EQ(s.Line(25), std::string(80, ' '));
}

TEST(NumberScreen, StaysWithinASmallScreen) {
    Screen s(10, 2);
    NumberScreen(s.get()); // ASan reports any cell written beyond the 20
    EXPECT_EQ(s.Line(2), "0123456789");
}

} // namespace
