// The run loop driven through scripted standard input: leaving and the save
// question, keys, hot keys, entries with inline values, submenus, the
// pick-list dialogue, the keys h and s, settings files given at start, the
// flags, and the end of input.
#include "TextMenu.h"

#include "MemMgr.h"
#include "MenuTestUtil.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using menu_test::StdioScript;

int Count(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const std::string LeaveTop = "\nDo you want to exit menutest? [y/n] ";

struct States {
    char text[128];
    explicit States(const char *list) { snprintf(text, sizeof text, "%s", list); }
};

// Counters the callbacks of the menus below update.
struct Calls {
    int done = 0;
    int enter = 0;
    int action = 0;
    int apply = 0;
    intptr_t lastValue = 0;
};
Calls calls;

void Done(TextMenu *) {
    ++calls.done;
}
void Enter(TextMenu *) {
    ++calls.enter;
}
int Action(TextMenu *, TextMenuItem *item) {
    ++calls.action;
    calls.lastValue = item->nValue;
    return 0;
}
int Apply(TextMenu *, TextMenuItem *) {
    ++calls.apply;
    return 0;
}
int RequestExit(TextMenu *, TextMenuItem *) {
    flExitTextMenu = 1;
    return 1;
}
int BecomeAction(TextMenu *, TextMenuItem *item) {
    item->nKind = TMI_ACTION;
    return 0;
}
// Replaces the first choice made in a dialogue by state 4 alone.
int ReplaceFirstChoice(TextMenu *, TextMenuItem *item) {
    if (calls.action++ == 0) item->nValue = 0b1000;
    return 0;
}
int ReportMask(TextMenu *, TextMenuItem *item) {
    fprintf(stderr, "mask=%d\n", int(item->nValue));
    return 0;
}

class RunLoop : public testing::Test {
  protected:
    void SetUp() override {
        menu_test::UseMenuTestEnvironment();
        calls = Calls{};
        flExitTextMenu = 0;
        setenv("COLUMNS", "80", 1);
        setenv("LINES", "24", 1);
    }
    void TearDown() override {
        flExitTextMenu = 0;
        unsetenv("COLUMNS");
        unsetenv("LINES");
    }

    // Run the menu with the answers; its output.
    std::string Run(TextMenu &menu, const std::string &answers, const char *file = nullptr,
                    int interactive = 1) {
        StdioScript io(answers);
        RunMenu(&menu, file, interactive);
        return io.Output();
    }
};

// --- Leaving ------------------------------------------------------------------

TEST_F(RunLoop, StayRedrawsAnEmptyAnswerWithoutAQuestion) {
    TextMenuItem items[] = {{"~q Quit", TMI_EXIT}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_STAY};
    std::string out = Run(menu, "\n\nq\n");
    EXPECT_EQ(Count(out, "\f\nM:"), 3);
    EXPECT_EQ(Count(out, "[y/n]"), 0);
}

TEST_F(RunLoop, LeavingATopMenuNamesTheProgram) {
    TextMenuItem items[] = {{"Add", TMI_ACTION}, {}};
    TextMenu menu{.pTitle = "M", .pfnDone = Done, .pItems = items};
    std::string out = Run(menu, "\ny\n");
    EXPECT_EQ(out.substr(out.size() - LeaveTop.size() - 1), LeaveTop + "\n");
    EXPECT_EQ(calls.done, 1); // no save question: the apply callback runs first
}

TEST_F(RunLoop, DecliningToLeaveRunsTheEnterCallback) {
    TextMenuItem items[] = {{"Add", TMI_ACTION}, {}};
    TextMenu menu{.pTitle = "M", .pfnEnter = Enter, .pItems = items};
    std::string out = Run(menu, "\nn\n\nY\nyes\n");
    EXPECT_EQ(calls.enter, 2);
    EXPECT_EQ(Count(out, LeaveTop), 3); // "Y" is no answer: asked again
    EXPECT_EQ(Count(out, "\f\nM:"), 2);
}

TEST_F(RunLoop, AChangedMenuAsksTheSaveQuestionFirst) {
    TextMenuItem items[] = {{.pText = "Text", .nKind = TMI_STRING, .pFormat = "A(1,8)"}, {}};
    TextMenu menu{.pTitle = "M", .pSavePrompt = "Save the queue", .pfnDone = Done, .pItems = items};
    std::string out = Run(menu, "1 abc\n\nn\ny\n");
    size_t save = out.find("Save the queue? [y/n] ");
    ASSERT_NE(save, std::string::npos);
    EXPECT_NE(out.find(LeaveTop, save), std::string::npos);
    EXPECT_EQ(calls.done, 0);
    EXPECT_EQ(items[0].nValue, 0); // released on leaving
}

TEST_F(RunLoop, AnUnchangedMenuGoesStraightToTheLeaveQuestion) {
    TextMenuItem items[] = {{.pText = "Text", .nKind = TMI_STRING}, {}};
    TextMenu menu{.pTitle = "M", .pSavePrompt = "Save the queue", .pfnDone = Done, .pItems = items};
    std::string out = Run(menu, "\ny\n");
    EXPECT_EQ(Count(out, "Save the queue"), 0);
    EXPECT_EQ(Count(out, LeaveTop), 1);
    EXPECT_EQ(calls.done, 0);
}

TEST_F(RunLoop, SavingRunsTheApplyCallbackAndLeaves) {
    TextMenuItem items[] = {{.pText = "Text", .nKind = TMI_STRING}, {}};
    TextMenu menu{.pTitle = "M", .pSavePrompt = "Save", .pfnDone = Done, .pItems = items};
    std::string out = Run(menu, "1 abc\n\ny\n");
    EXPECT_EQ(calls.done, 1);
    EXPECT_EQ(Count(out, "Do you want"), 0);
}

TEST_F(RunLoop, SavingWithAnEmptyNameStaysInTheMenu) {
    TextMenuItem items[] = {{.pText = "Name", .nKind = TMI_NAME},
                            {.pText = "Copies", .nKind = TMI_INT},
                            {"~q Quit", TMI_EXIT},
                            {}};
    TextMenu menu{.pTitle = "M", .pSavePrompt = "Save", .pfnDone = Done, .pItems = items};
    std::string out = Run(menu, "2 5\n\ny\n\nq\n");
    EXPECT_EQ(Count(out, "\nAll names must be set before applying setup.\nPress <Return> to "
                         "continue"),
              1);
    EXPECT_EQ(calls.done, 0);
    EXPECT_EQ(Count(out, "\f\nM:"), 3);
}

// --- Keys ---------------------------------------------------------------------

TEST_F(RunLoop, UnknownKeysAndZeroChooseNothing) {
    TextMenuItem items[] = {{"Intro", TMI_TEXT},
                            {.pText = "Add", .nKind = TMI_ACTION, .pfnAction = Action},
                            {"~q Quit", TMI_EXIT},
                            {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    std::string out = Run(menu, "x\n0\n7\n  1\nQ\n");
    EXPECT_EQ(calls.action, 1); // "  1" chose Add; "Q" is the hot key q
    EXPECT_EQ(Count(out, "\f\nM:"), 5);
}

TEST_F(RunLoop, GreyedAndHiddenItemsCannotBeChosen) {
    TextMenuItem items[] = {
        {.pText = "Add", .nKind = TMI_ACTION, .nHidden = TMH_GREY, .pfnAction = Action},
        {.pText = "~x Gone", .nKind = TMI_EXIT, .nHidden = TMH_GONE},
        {"~q Quit", TMI_EXIT},
        {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    Run(menu, "1\nx\nq\n");
    EXPECT_EQ(calls.action, 0);
}

TEST_F(RunLoop, CyclingThroughStates) {
    States states("_Low,_Mid,_High");
    TextMenuItem items[] = {{.pText = "~l Level",
                             .nKind = TMI_ONE_OF,
                             .pStates = states.text,
                             .pfnAction = Action,
                             .pFormat = "H2{2}"},
                            {"~q Quit", TMI_EXIT},
                            {"Shown below High", TMI_ACTION},
                            {}};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_KEEP};
    std::string out = Run(menu, "l\nl\nq\n");
    EXPECT_EQ(items[0].nValue, 2);
    EXPECT_EQ(items[0].nPrevValue, 1);
    EXPECT_EQ(items[2].nHidden, TMH_GONE); // the state actions ran
    EXPECT_EQ(calls.action, 2);
    EXPECT_NE(out.find("[2. Mid]"), std::string::npos);
    EXPECT_NE(out.find("[3. High]"), std::string::npos);

    Run(menu, "l\nl 1\nq\n");
    EXPECT_EQ(items[0].nValue, 0); // "l 1" names Low
}

TEST_F(RunLoop, CyclingSkipsHiddenStates) {
    States states("_A, B,_C");
    TextMenuItem items[] = {
        {.pText = "State", .nKind = TMI_ONE_OF, .pStates = states.text}, {"~q Quit", TMI_EXIT}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_KEEP};
    Run(menu, "1\nq\n");
    EXPECT_EQ(items[0].nValue, 2);
    Run(menu, "1 2\nq\n"); // B is hidden: the next shown state after it
    EXPECT_EQ(items[0].nValue, 2);
    Run(menu, "1 9\nq\n"); // no state 9: the next after the current one
    EXPECT_EQ(items[0].nValue, 2);
}

TEST_F(RunLoop, ATextEntryTakesAnInlineValue) {
    TextMenuItem items[] = {{.pText = "Name", .nKind = TMI_NAME},
                            {.pText = "Text",
                             .nKind = TMI_STRING,
                             .pPrompt = "Text please",
                             .pfnAction = Action,
                             .pFormat = "A(1,8)"},
                            {"~q Quit", TMI_EXIT},
                            {}};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_KEEP};
    std::string out = Run(menu, "2 abc\nq\n");
    EXPECT_STREQ(TextMenuText(&items[1]), "abc");
    EXPECT_EQ(calls.action, 1);
    EXPECT_EQ(Count(out, "Text please: "), 0);
    EXPECT_NE(out.find("[abc]"), std::string::npos);
    FreeMenu(&menu);
}

TEST_F(RunLoop, EntriesAskWithTheirPrompt) {
    TextMenuItem items[] = {
        {.pText = "Text", .nKind = TMI_STRING, .pPrompt = "Text please", .pfnAction = Action},
        {.pText = "Copies", .nKind = TMI_INT, .pFormat = "d(1,99)"},
        {.pText = "Width", .nKind = TMI_FLOAT, .pFormat = "f(1,17)"},
        {"~q Quit", TMI_EXIT},
        {}};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_KEEP};
    std::string out = Run(menu, "1\nhello there\n1\n\n2\n42\n3 8.25\nq\n");
    EXPECT_STREQ(TextMenuText(&items[0]), "hello there");
    EXPECT_EQ(calls.action, 1); // the empty answer changed nothing
    EXPECT_EQ(Count(out, "Text please: "), 2);
    EXPECT_EQ(Count(out, "Copies: "), 1); // without a prompt, the label
    EXPECT_EQ(items[1].nValue, 42);
    EXPECT_FLOAT_EQ(TextMenuGetFloat(items[2].nValue), 8.25f);
    FreeMenu(&menu);
}

TEST_F(RunLoop, ARejectedEntryKeepsTheOldValue) {
    TextMenuItem items[] = {{.pText = "Copies",
                             .nKind = TMI_INT,
                             .nDefault = 3,
                             .pfnAction = Action,
                             .pFormat = "d(1,99)"},
                            {"~q Quit", TMI_EXIT},
                            {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    std::string out = Run(menu, "1 500\n\nq\n");
    EXPECT_EQ(items[0].nValue, 3);
    EXPECT_EQ(calls.action, 0);
    EXPECT_NE(out.find("This number must be between 1 to 99."), std::string::npos);
}

TEST_F(RunLoop, ALongAnswerIsCutTo255CharactersInTheValue) {
    TextMenuItem items[] = {{.pText = "Text", .nKind = TMI_STRING}, {"~q Quit", TMI_EXIT}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_KEEP};
    Run(menu, "1 " + std::string(3000, 'z') + "\nq\n");
    EXPECT_EQ(std::string(TextMenuText(&items[0])), std::string(255, 'z'));
    FreeMenu(&menu);
}

// --- Submenus and leaving all menus ----------------------------------------------

extern TextMenu MainMenu;
TextMenuItem SubItems[] = {{.pText = "~x Exit all", .nKind = TMI_ACTION, .pfnAction = RequestExit},
                           {}};
TextMenu SubMenu{.pTitle = "Advanced", .pParent = &MainMenu, .pItems = SubItems};
TextMenuItem MainItems[] = {
    {.pText = "Sub", .nKind = TMI_SUBMENU, .nValue = 0}, {"~q Quit", TMI_EXIT}, {}};
TextMenu MainMenu{.pTitle = "Main", .pfnEnter = Enter, .pItems = MainItems};

TEST_F(RunLoop, ASubmenuNamesItsParentWhenLeft) {
    MainItems[0].nValue = TextMenuWord(&SubMenu);
    std::string out = Run(MainMenu, "1\n\ny\nq\n");
    EXPECT_NE(out.find("\f\nAdvanced:"), std::string::npos);
    EXPECT_NE(out.find("\nDo you want to return to Main menu? [y/n] "), std::string::npos);
    EXPECT_EQ(Count(out, "Do you want to exit"), 0);
    EXPECT_EQ(calls.enter, 2); // at start and after the submenu returned
}

TEST_F(RunLoop, ExitRequestLeavesEveryMenu) {
    MainItems[0].nValue = TextMenuWord(&SubMenu);
    std::string out = Run(MainMenu, "1\nx\n");
    EXPECT_EQ(Count(out, "\f\nMain:"), 1);
    EXPECT_EQ(Count(out, "[y/n]"), 0);
    EXPECT_EQ(RunMenu(&MainMenu, nullptr, 1), 0); // still set: nothing runs
    EXPECT_EQ(calls.enter, 3);
}

// --- Callbacks that rebuild the menu ---------------------------------------------

// Moves the menu's items to a new array and releases the old one, as a menu
// whose entries depend on the page shown does.
int MoveItems(TextMenu *menu, TextMenuItem *) {
    ++calls.action;
    size_t n = 0;
    while (menu->pItems[n].pText != nullptr)
        ++n;
    auto *moved = static_cast<TextMenuItem *>(GetMem((n + 1) * sizeof(TextMenuItem)));
    for (size_t k = 0; k <= n; ++k)
        moved[k] = menu->pItems[k];
    PutMem(menu->pItems);
    menu->pItems = moved;
    return 0;
}

TEST_F(RunLoop, ACallbackMayReplaceTheItemArray) {
    // After the callback the loop reads the item again from the new array;
    // the old one is released (ASan reports any read of it).
    auto *items = static_cast<TextMenuItem *>(GetMem(4 * sizeof(TextMenuItem)));
    items[0] = {.pText = "~m Move", .nKind = TMI_ACTION, .pfnAction = MoveItems};
    items[1] = {.pText = "Copies", .nKind = TMI_INT, .pfnAction = MoveItems};
    items[2] = {"~q Quit", TMI_EXIT};
    items[3] = {};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_REINIT};
    std::string out = Run(menu, "m\n1 5\nm\nq\n");
    EXPECT_EQ(calls.action, 3);
    EXPECT_EQ(Count(out, "\f\nM:"), 4);
    PutMem(menu.pItems);
}

// --- The flags -----------------------------------------------------------------

TEST_F(RunLoop, KeepLeavesTheValueBuffers) {
    TextMenuItem items[] = {{.pText = "Text", .nKind = TMI_STRING}, {"~q Quit", TMI_EXIT}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    Run(menu, "q\n");
    EXPECT_EQ(items[0].nValue, 0);
    menu.nFlags = TMF_KEEP;
    Run(menu, "q\n");
    EXPECT_NE(items[0].nValue, 0);
    FreeMenu(&menu);
}

TEST_F(RunLoop, ReinitAfterAnActionResetsTheValues) {
    TextMenuItem items[] = {{.pText = "Copies", .nKind = TMI_INT, .nDefault = 1},
                            {.pText = "~r Reset", .nKind = TMI_ACTION, .pfnAction = Action},
                            {"~q Quit", TMI_EXIT},
                            {}};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_REINIT};
    Run(menu, "1 5\nq\n");
    EXPECT_EQ(items[0].nValue, 5);
    Run(menu, "1 5\nr\nq\n");
    EXPECT_EQ(items[0].nValue, 1);
}

TEST_F(RunLoop, KindBeforeDecidesByTheKindBeforeProcessing) {
    TextMenuItem items[] = {{.pText = "~e Exit", .nKind = TMI_EXIT, .pfnAction = BecomeAction},
                            {"~q Quit", TMI_EXIT},
                            {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    std::string out = Run(menu, "e\nq\n"); // the item became an action item: stays
    EXPECT_EQ(Count(out, "\f\nM:"), 2);
    items[0].nKind = TMI_EXIT;
    menu.nFlags = TMF_KIND_BEFORE;
    out = Run(menu, "e\nq\n");
    EXPECT_EQ(Count(out, "\f\nM:"), 1);
}

TEST_F(RunLoop, ApplyNeedsEveryName) {
    TextMenuItem items[] = {{.pText = "Name", .nKind = TMI_NAME},
                            {.pText = "~a Apply", .nKind = TMI_APPLY, .pfnAction = Apply},
                            {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    std::string out = Run(menu, "a\n\n1 lp0\na\n");
    EXPECT_EQ(calls.apply, 1);
    EXPECT_EQ(Count(out, "All names must be set"), 1);
}

TEST_F(RunLoop, ApplyWithoutNameEntriesGoesAhead) {
    TextMenuItem items[] = {{.pText = "~a Apply", .nKind = TMI_APPLY, .pfnAction = Apply}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    Run(menu, "a\n");
    EXPECT_EQ(calls.apply, 1);
}

// --- The pick-list dialogue -------------------------------------------------------

class PickDialogue : public RunLoop {
  protected:
    States states{"_None,_Duplex,_Staple,_Punch"};
    TextMenuItem items[3] = {
        {.pText = "Features", .nKind = TMI_MANY_OF, .pStates = states.text, .pfnAction = Action},
        {"~q Quit", TMI_EXIT},
        {}};
    TextMenu menu{.pTitle = "M", .pSavePrompt = "Save", .pItems = items};
};

TEST_F(PickDialogue, NumbersToggleStatesAndTheKeepKeyReturns) {
    std::string out = Run(menu, "1\n2,3\ns\n\ny\n");
    EXPECT_EQ(items[0].nValue, 0b0111);
    EXPECT_EQ(items[0].nPrevValue, 1);
    EXPECT_EQ(calls.action, 1);
    EXPECT_EQ(Count(out, "Current selection: "), 2); // drawn, then drawn again
    EXPECT_NE(out.find("Current selection: None Duplex Staple "), std::string::npos);
    EXPECT_EQ(Count(out, "Save? [y/n]"), 0); // a many-of item is no change of the menu
}

TEST_F(PickDialogue, TheCancelKeyRestoresTheStartingValue) {
    Run(menu, "1\n4\n4 2\nc\nq\n");
    EXPECT_EQ(items[0].nValue, 1);
    EXPECT_EQ(calls.action, 3); // two changes and the cancel
    EXPECT_EQ(calls.lastValue, 1);
}

TEST_F(PickDialogue, AnInlineOptionIsTakenOnce) {
    std::string out = Run(menu, "1 4\ns\nq\n");
    EXPECT_EQ(items[0].nValue, 0b1001);
    EXPECT_EQ(Count(out, "Current selection: "), 2);
}

TEST_F(PickDialogue, UnusableAnswersTurnThePage) {
    std::string out = Run(menu, "1\n\n-\n9\nx\ns\nq\n");
    EXPECT_EQ(items[0].nValue, 1);
    EXPECT_EQ(calls.action, 0);
    EXPECT_EQ(Count(out, "Current selection: "), 5);
}

TEST_F(PickDialogue, HiddenStatesCannotBeChosen) {
    states.text[6] = ' '; // " Duplex"
    Run(menu, "1\n2\ns\nq\n");
    EXPECT_EQ(items[0].nValue, 1);
}

TEST_F(PickDialogue, FurtherChoicesBuildOnWhatTheCallbackLeft) {
    items[0].pfnAction = ReplaceFirstChoice;
    Run(menu, "1\n2\n2\ns\nq\n");
    EXPECT_EQ(items[0].nValue, 0b1010); // not 0b0001: the second toggle began from 0b1000
}

TEST_F(PickDialogue, AOneOfItemTakesTheNumber) {
    States one("_a,_b,_c");
    TextMenuItem single[] = {{.pText = "One", .nKind = TMI_ONE_OF, .pStates = one.text}, {}};
    TextMenu m{.pTitle = "M", .pItems = single};
    InitMenu(&m);
    StdioScript io("3\n1,2\ns\n");
    ProcessStateValue(&m, 0, nullptr);
    EXPECT_EQ(single[0].nValue, 1); // the last number counts
}

TEST_F(PickDialogue, TooSmallAScreenEndsTheDialogue) {
    setenv("LINES", "5", 1);
    std::string out = Run(menu, "1\n\nq\n");
    EXPECT_NE(out.find("The screen is too small for this list."), std::string::npos);
    EXPECT_EQ(items[0].nValue, 1);
}

// --- Children: the program's end -----------------------------------------------------

struct ChildEnd {
    int status = -1; // exit status; -1 when it did not exit
    std::string err;
};

// Run body in a child process (standard error captured); its end.
ChildEnd InChild(const std::function<void()> &body) {
    std::string errPath = "/tmp/menu-err-XXXXXX";
    int errFd = mkstemp(errPath.data());
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(errFd, STDERR_FILENO);
        body();
        fflush(stdout);
        _exit(99);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(errFd);
    ChildEnd end;
    if (WIFEXITED(status)) end.status = WEXITSTATUS(status);
    end.err = menu_test::ReadFileText(errPath);
    unlink(errPath.c_str());
    return end;
}

TEST_F(RunLoop, EndOfInputEndsTheProgram) {
    TextMenuItem items[] = {{"Add", TMI_ACTION}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    StdioScript io("1\n");
    ChildEnd end = InChild([&] { RunMenu(&menu, nullptr, 1); });
    EXPECT_EQ(end.status, 1);
    EXPECT_NE(end.err.find("menutest: reading from standard input : the input has ended\n"),
              std::string::npos)
        << end.err;
    EXPECT_EQ(end.err.find("Success"), std::string::npos) << end.err;
    EXPECT_EQ(Count(io.Output(), "\f\nM:"), 2);
}

TEST_F(RunLoop, EndOfInputAtTheLeaveQuestionAnswersNo) {
    TextMenuItem items[] = {{"Add", TMI_ACTION}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    StdioScript io("\n");
    ChildEnd end = InChild([&] { RunMenu(&menu, nullptr, 1); });
    EXPECT_EQ(end.status, 1); // no: drawn again, then the read fails
    EXPECT_EQ(Count(io.Output(), LeaveTop), 1);
}

TEST_F(RunLoop, EndOfInputInThePickListKeepsTheChanges) {
    States states("_a,_b,_c");
    TextMenuItem items[] = {
        {.pText = "F", .nKind = TMI_MANY_OF, .pStates = states.text, .pfnAction = ReportMask}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    StdioScript io("1\n2\n");
    ChildEnd end = InChild([&] { RunMenu(&menu, nullptr, 1); });
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(Count(end.err, "mask="), 1);
    EXPECT_NE(end.err.find("mask=3"), std::string::npos);
}

// --- Settings files and the key s --------------------------------------------------

class StoreKeys : public RunLoop {
  protected:
    void SetUp() override {
        RunLoop::SetUp();
        dir = menu_test::MakeTempDir();
    }
    void TearDown() override {
        menu_test::RemoveTree(dir);
        RunLoop::TearDown();
    }
    std::string dir;
    TextMenuItem items[3] = {
        {.pText = "Copies", .nKind = TMI_INT, .nDefault = 2}, {"~q Quit", TMI_EXIT}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items, .nFlags = TMF_STORE_ASK};
};

TEST_F(StoreKeys, AskedFileNameStoresTheMenu) {
    std::string path = dir + "/queue_1";
    std::string out = Run(menu, "1 7\ns\n" + path + "\nq\n");
    EXPECT_NE(out.find("Enter the settings file name: "), std::string::npos);
    EXPECT_EQ(menu_test::ReadFileText(path), "0[7] 13 0\n");
}

TEST_F(StoreKeys, ANameThatFailsTheCheckStoresNothing) {
    std::string out = Run(menu, "s\nrelative_name\ns\n" + dir + "/a.b\n\nq\n");
    EXPECT_NE(out.find("Invalid character '.'"), std::string::npos);
    EXPECT_EQ(menu_test::ReadFileText(dir + "/a.b"), "");
    EXPECT_EQ(access((dir + "/a.b").c_str(), F_OK), -1);
}

TEST_F(StoreKeys, StoreAndQuitWritesDotSettingsAndEnds) {
    menu.nFlags = TMF_STORE_QUIT;
    StdioScript io("1 9\ns\n");
    ChildEnd end = InChild([&] {
        if (chdir(dir.c_str()) == 0) RunMenu(&menu, nullptr, 1);
    });
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(menu_test::ReadFileText(dir + "/.settings"), "0[9] 13 0\n");
}

TEST_F(StoreKeys, ASettingsFileGivenAtStartIsRestored) {
    std::string path = dir + "/given";
    menu_test::WriteFileText(path, "0[11] 13 0\n");
    menu.nFlags = TMF_KEEP;
    std::string out = Run(menu, "q\n", path.c_str());
    EXPECT_EQ(items[0].nValue, 11);
    EXPECT_NE(out.find("[11]"), std::string::npos);
}

TEST_F(StoreKeys, WithoutInteractionOnlyTheApplyCallbackRuns) {
    std::string path = dir + "/given";
    menu_test::WriteFileText(path, "0[12] 13 0\n");
    menu.pfnDone = Done;
    std::string out = Run(menu, "", path.c_str(), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(calls.done, 1);
    EXPECT_EQ(items[0].nValue, 12);
}

TEST_F(StoreKeys, AMissingSettingsFileGoesToTheKind5Callback) {
    TextMenuItem withFallback[] = {
        {.pText = "Copies", .nKind = TMI_INT},
        {.pText = "No file", .nKind = TMI_NOFILE, .nHidden = TMH_GONE, .pfnAction = Apply},
        {}};
    TextMenu m{.pTitle = "M", .pfnDone = Done, .pItems = withFallback};
    std::string out = Run(m, "", (dir + "/missing").c_str());
    EXPECT_EQ(out, "");
    EXPECT_EQ(calls.apply, 1);
    EXPECT_EQ(calls.done, 0);
}

// --- Help -------------------------------------------------------------------------

std::string helpName;
std::string helpTitle;
void FakeHelp(char *name, char *, char *title) {
    helpName = name != nullptr ? name : "(null)";
    helpTitle = title != nullptr ? title : "(null)";
    name[0] = 'X'; // the viewer may change its copy
}

TEST_F(RunLoop, TheKeyHOpensHelpOnTheCurrentPage) {
    TextMenuItem items[] = {{"~q Quit", TMI_EXIT}, {}};
    TextMenu menu{.pTitle = "M", .pItems = items};
    pTtyHtmlName = "queues.html";
    pTtyHtmlTitle = "Queue help";
    pfnTtyHtmlHelp = FakeHelp;
    Run(menu, "h\nq\n"); // without TMF_HELP, h is an ordinary key
    EXPECT_EQ(helpName, "");
    menu.nFlags = TMF_HELP;
    std::string out = Run(menu, "H\nq\n");
    EXPECT_EQ(helpName, "queues.html");
    EXPECT_EQ(helpTitle, "Queue help");
    EXPECT_STREQ(pTtyHtmlName, "queues.html");
    EXPECT_NE(out.find(" or h for help"), std::string::npos);
    pfnTtyHtmlHelp = nullptr;
    Run(menu, "h\nq\n"); // no viewer: nothing happens
    pTtyHtmlName = nullptr;
    pTtyHtmlTitle = nullptr;
}

} // namespace
