// The menu model (InitMenu, FreeMenu, FindTextMenuItem) and the state,
// state-action and condition languages, on small menus declared here.
#include "TextMenu.h"

#include "MemMgr.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

namespace {

// A writable state list for an item (pStates is changed in place).
struct States {
    char text[128];
    explicit States(const char *list) { snprintf(text, sizeof text, "%s", list); }
};

TextMenuItem Item(const char *label, int kind) {
    TextMenuItem item{};
    item.pText = label;
    item.nKind = kind;
    return item;
}

TextMenuItem End() {
    return TextMenuItem{};
}

TextMenu MenuOf(TextMenuItem *items) {
    TextMenu menu{};
    menu.pTitle = "Test";
    menu.pItems = items;
    return menu;
}

// --- InitMenu, FreeMenu, FindTextMenuItem -------------------------------------

TEST(InitMenu, NumbersItemsWithoutHotKeysInOrder) {
    TextMenuItem items[] = {Item("Title line", TMI_TEXT), Item("~q Quit", TMI_EXIT),
                            Item("Add", TMI_ACTION), Item("Remove", TMI_ACTION), End()};
    TextMenu menu = MenuOf(items);
    EXPECT_EQ(InitMenu(&menu), 10); // "Title line"
    EXPECT_EQ(items[0].nKey, 0);
    EXPECT_EQ(items[1].nKey, 'q');
    EXPECT_EQ(items[2].nKey, 1);
    EXPECT_EQ(items[3].nKey, 2);
    EXPECT_EQ(items[3].nTextLen, 6);
}

TEST(InitMenu, EmptyArrayGivesZero) {
    TextMenuItem items[] = {End()};
    TextMenu menu = MenuOf(items);
    EXPECT_EQ(InitMenu(&menu), 0);
    EXPECT_EQ(InitMenu(nullptr), 0);
}

TEST(InitMenu, PreparesValuesByKind) {
    States many("_a,_b");
    States one("_x,_y,_z");
    TextMenuItem items[] = {Item("Many", TMI_MANY_OF),
                            Item("One", TMI_ONE_OF),
                            Item("Name", TMI_NAME),
                            Item("Text", TMI_STRING),
                            Item("Int", TMI_INT),
                            Item("Float", TMI_FLOAT),
                            End()};
    items[0].pStates = many.text;
    items[1].pStates = one.text;
    items[1].nDefault = 2;
    items[2].nDefault = TextMenuWord("lp0");
    items[4].nDefault = 42;
    items[5].nDefault = TextMenuFloat(2.5f);
    TextMenu menu = MenuOf(items);
    InitMenu(&menu);

    EXPECT_EQ(items[0].nValue, 1); // an empty mask becomes 1, the default too
    EXPECT_EQ(items[0].nDefault, 1);
    EXPECT_EQ(items[0].nStates, 2);
    EXPECT_EQ(items[1].nValue, 2);
    EXPECT_EQ(items[1].nStates, 3);
    EXPECT_STREQ(items[1].pState, "_z");
    ASSERT_NE(items[2].nValue, 0);
    EXPECT_STREQ(TextMenuText(&items[2]), "lp0");
    ASSERT_NE(items[3].nValue, 0);
    EXPECT_STREQ(TextMenuText(&items[3]), ""); // no default: empty
    EXPECT_EQ(items[4].nValue, 42);
    EXPECT_FLOAT_EQ(TextMenuGetFloat(items[5].nValue), 2.5f);
    for (const TextMenuItem &item : items) {
        if (item.pText != nullptr) {
            EXPECT_EQ(item.nSavedValue, -1);
        }
    }

    FreeMenu(&menu);
    EXPECT_EQ(items[2].nValue, 0);
    EXPECT_EQ(items[3].nValue, 0);
}

TEST(InitMenu, CutsALongDefaultTo255Characters) {
    std::string long_text(400, 'x');
    TextMenuItem items[] = {Item("Name", TMI_STRING), End()};
    items[0].nDefault = TextMenuWord(long_text.c_str());
    TextMenu menu = MenuOf(items);
    InitMenu(&menu);
    EXPECT_EQ(strlen(TextMenuText(&items[0])), 255u);
    FreeMenu(&menu);
}

TEST(InitMenu, KeepsABufferGivenByTheCaller) {
    auto *buffer = static_cast<char *>(GetMem(TextValueSize));
    TextMenuItem items[] = {Item("Name", TMI_NAME), End()};
    items[0].nValue = TextMenuWord(buffer);
    items[0].nDefault = TextMenuWord("abc");
    TextMenu menu = MenuOf(items);
    InitMenu(&menu);
    EXPECT_EQ(TextMenuText(&items[0]), buffer);
    EXPECT_STREQ(buffer, "abc");
    FreeMenu(&menu); // releases the caller's block too: it belongs to the menu now
    EXPECT_EQ(items[0].nValue, 0);
}

TEST(InitMenu, StateActionsSeeTheValuesOfLaterItems) {
    // Item 0 presets item 1 when it is in state 1. Item 1's own preparation
    // comes first, so the preset survives.
    States states("_Off,_On");
    TextMenuItem items[] = {Item("Switch", TMI_ONE_OF), Item("Level", TMI_INT), End()};
    items[0].pStates = states.text;
    items[0].nDefault = 1;
    items[0].pFormat = "S1{1.7}";
    items[1].nDefault = 3;
    TextMenu menu = MenuOf(items);
    InitMenu(&menu);
    EXPECT_EQ(items[1].nValue, 7);
    EXPECT_EQ(items[1].nSavedValue, 3);
}

TEST(FindTextMenuItem, FindsTheFirstOfAKind) {
    TextMenuItem items[] = {Item("a", TMI_ACTION), Item("b", TMI_APPLY), Item("c", TMI_APPLY),
                            End()};
    TextMenu menu = MenuOf(items);
    EXPECT_EQ(FindTextMenuItem(&menu, TMI_APPLY), &items[1]);
    EXPECT_EQ(FindTextMenuItem(&menu, TMI_EXIT), nullptr);
    EXPECT_EQ(FindTextMenuItem(nullptr, TMI_EXIT), nullptr);
}

// --- States -------------------------------------------------------------------

class StateItem : public testing::Test {
  protected:
    States states{"_Off,_On, Auto"};
    TextMenuItem item = Item("Mode", TMI_ONE_OF);

    void SetUp() override {
        item.pStates = states.text;
        item.nStates = 3;
    }
};

TEST_F(StateItem, UpdateMovesOffAHiddenState) {
    item.nValue = 2;
    UpdateStateSelection(&item);
    EXPECT_EQ(item.nValue, 0);
    EXPECT_EQ(item.nPrevValue, 2);
    EXPECT_STREQ(item.pState, "_Off");
}

TEST_F(StateItem, UpdateBringsAValueOutOfRangeToTheFirstState) {
    item.nValue = 17;
    UpdateStateSelection(&item);
    EXPECT_EQ(item.nValue, 0);
    EXPECT_STREQ(item.pState, "_Off");
    item.nValue = -3;
    UpdateStateSelection(&item);
    EXPECT_EQ(item.nValue, 0);
}

TEST_F(StateItem, UpdateWithAllStatesHiddenStopsAfterOneRound) {
    snprintf(states.text, sizeof states.text, " a, b");
    item.nStates = 2;
    item.nValue = 1;
    UpdateStateSelection(&item);
    EXPECT_EQ(item.pState[0], ' ');
}

TEST_F(StateItem, UpdateWithoutStatesLeavesAnEmptyName) {
    item.nStates = 0;
    item.pStates = nullptr;
    item.nValue = 5;
    UpdateStateSelection(&item);
    EXPECT_STREQ(item.pState, "");
}

TEST_F(StateItem, ManyOfKeepsItsMask) {
    item.nKind = TMI_MANY_OF;
    item.nValue = 6;
    UpdateStateSelection(&item);
    EXPECT_EQ(item.nValue, 6);
}

TEST_F(StateItem, HideAndShowChangeTheMarkInPlace) {
    item.nValue = 1;
    HideStateSelection(&item, 1);
    EXPECT_STREQ(states.text, "_Off, On, Auto");
    EXPECT_EQ(item.nValue, 0); // the current state was hidden: the next shown one
    ShowStateSelection(&item, 2);
    EXPECT_STREQ(states.text, "_Off, On,_Auto");
    HideStateSelection(&item, 3); // no such state
    ShowStateSelection(&item, -1);
    EXPECT_STREQ(states.text, "_Off, On,_Auto");
}

TEST_F(StateItem, HideFindsNamesAfterEscapedSeparators) {
    snprintf(states.text, sizeof states.text, "_a\\,b,,_c");
    item.nStates = 2;
    HideStateSelection(&item, 1);
    EXPECT_STREQ(states.text, "_a\\,b,, c");
}

// --- State selectors ----------------------------------------------------------

struct SelectorCase {
    const char *selector;
    intptr_t value;
    int result;
};

void PrintTo(const SelectorCase &c, std::ostream *out) {
    *out << '"' << (c.selector != nullptr ? c.selector : "(null)") << "\" with " << c.value;
}

class TestFormatStateCases : public testing::TestWithParam<SelectorCase> {};

TEST_P(TestFormatStateCases, Matches) {
    EXPECT_EQ(TestFormatState(GetParam().selector, GetParam().value), GetParam().result)
        << GetParam().selector << " with " << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Selectors, TestFormatStateCases,
    testing::Values(SelectorCase{"*", 5, 1}, SelectorCase{"1", 1, 1}, SelectorCase{"1", 0, 0},
                    SelectorCase{"0;2", 2, 1}, SelectorCase{"1-3", 3, 1}, SelectorCase{"1-3", 2, 0},
                    SelectorCase{"12", 1, 0}, SelectorCase{"", 0, 0}, SelectorCase{nullptr, 0, 0},
                    // a selector without a number reads as 0
                    SelectorCase{"x", 0, 1}, SelectorCase{"x", 1, 0}, SelectorCase{"1*", 3, 0}));

// --- State actions ------------------------------------------------------------

class StateActions : public testing::Test {
  protected:
    static int calls;
    static int Count(TextMenu *, TextMenuItem *) {
        ++calls;
        return 0;
    }

    States states{"_Low,_High"};
    States other{"_a,_b,_c"};
    TextMenuItem items[9] = {
        Item("Switch", TMI_ONE_OF), Item("Other", TMI_ONE_OF),  Item("Text", TMI_STRING),
        Item("Three", TMI_INT),     Item("Four", TMI_INT),      Item("Five", TMI_INT),
        Item("Six", TMI_ACTION),    Item("Seven", TMI_SUBMENU), End()};
    TextMenu menu = MenuOf(items);

    void SetUp() override {
        calls = 0;
        items[0].pStates = states.text;
        items[0].nStates = 2;
        items[1].pStates = other.text;
        items[1].nStates = 3;
        for (TextMenuItem &item : items)
            item.nSavedValue = -1;
    }

    void Apply(const char *format, intptr_t value) {
        items[0].pFormat = format;
        items[0].nValue = value;
        ProcessStateFormat(&menu, 0);
    }
};
int StateActions::calls = 0;

TEST_F(StateActions, HideFollowsTheState) {
    Apply("H1{3,4}", 0);
    EXPECT_EQ(items[3].nHidden, TMH_SHOWN);
    EXPECT_EQ(items[4].nHidden, TMH_SHOWN);
    Apply("H1{3,4}", 1);
    EXPECT_EQ(items[3].nHidden, TMH_GONE);
    EXPECT_EQ(items[4].nHidden, TMH_GONE);
    Apply("H1{3,4}", 0);
    EXPECT_EQ(items[3].nHidden, TMH_SHOWN);
}

TEST_F(StateActions, GreyOutFollowsTheState) {
    Apply("N0{5} H0{6}", 0);
    EXPECT_EQ(items[5].nHidden, TMH_GREY);
    EXPECT_EQ(items[6].nHidden, TMH_GONE);
    Apply("N0{5} H0{6}", 1);
    EXPECT_EQ(items[5].nHidden, TMH_SHOWN);
    EXPECT_EQ(items[6].nHidden, TMH_SHOWN);
}

TEST_F(StateActions, SetPutsTheValueAsideAndBringsItBack) {
    items[5].nValue = 2;
    Apply("S1{5.7}", 1);
    EXPECT_EQ(items[5].nValue, 7);
    EXPECT_EQ(items[5].nSavedValue, 2);
    Apply("S1{5.7}", 0);
    EXPECT_EQ(items[5].nValue, 2);
    EXPECT_EQ(items[5].nSavedValue, -1);
    Apply("S1{5.7}", 0); // nothing put aside: nothing to bring back
    EXPECT_EQ(items[5].nValue, 2);
}

TEST_F(StateActions, SetAppliedTwiceKeepsTheUsersValue) {
    items[5].nValue = 2;
    Apply("S*{5.7}", 1);
    Apply("S*{5.7}", 0); // still matching: the preset is not put aside over the value
    EXPECT_EQ(items[5].nSavedValue, 2);
    Apply("S1{5.7}", 0);
    EXPECT_EQ(items[5].nValue, 2);
}

TEST_F(StateActions, SetNeverTouchesATextOrSubmenuWord) {
    char buffer[16] = "keep";
    items[2].nValue = TextMenuWord(buffer);
    TextMenu sub{};
    items[7].nValue = TextMenuWord(&sub);
    Apply("S1{2.7,7.9}", 1);
    EXPECT_EQ(TextMenuText(&items[2]), buffer);
    EXPECT_EQ(items[7].nValue, TextMenuWord(&sub));
    EXPECT_EQ(items[2].nSavedValue, -1);
}

TEST_F(StateActions, SetKeepsAStateIndexWithinTheList) {
    items[1].nValue = 1;
    Apply("S1{1.5}", 1); // item 1 has three states
    EXPECT_EQ(items[1].nValue, 1);
    Apply("S1{1.2}", 1);
    EXPECT_EQ(items[1].nValue, 2);
}

TEST_F(StateActions, PRunsTheOtherItemsActionsAndCallback) {
    items[1].pFormat = "H0{3}";
    items[1].pfnAction = Count;
    items[1].nValue = 0;
    Apply("P*{1} H1{4}", 1);
    EXPECT_EQ(items[3].nHidden, TMH_GONE); // item 1's action ran
    EXPECT_EQ(items[4].nHidden, TMH_GONE); // and the outer format went on
    EXPECT_EQ(calls, 1);
    Apply("P0{1}", 1); // no match: nothing
    EXPECT_EQ(calls, 1);
}

TEST_F(StateActions, PActionsNamingEachOtherEnd) {
    items[1].pFormat = "P*{0}";
    items[1].pfnAction = Count;
    items[0].pfnAction = Count;
    Apply("P*{1}", 0);
    EXPECT_EQ(calls, 1); // item 1's P on item 0 is skipped: item 0 is in progress
}

TEST_F(StateActions, UnknownItemsAndBadGroupsAreSkipped) {
    Apply("H1{99,-1,3} Q1{3} H1 N1{4", 1);
    EXPECT_EQ(items[3].nHidden, TMH_GONE);
    EXPECT_EQ(items[4].nHidden, TMH_GREY); // an unclosed last group still applies
}

TEST_F(StateActions, AHiddenOwnerDoesNothing) {
    items[0].nHidden = TMH_GREY;
    Apply("H*{3}", 0);
    EXPECT_EQ(items[3].nHidden, TMH_SHOWN);
}

TEST_F(StateActions, GroupsEndAtABlankInTheList) {
    Apply("H1{3 4}", 1);
    EXPECT_EQ(items[3].nHidden, TMH_GONE);
    EXPECT_EQ(items[4].nHidden, TMH_SHOWN);
}

// --- Conditions ---------------------------------------------------------------

class Conditions : public testing::Test {
  protected:
    TextMenuItem items[6] = {Item("a", TMI_INT), Item("b", TMI_INT),     Item("c", TMI_INT),
                             Item("d", TMI_INT), Item("e", TMI_SUBMENU), End()};
    TextMenu menu = MenuOf(items);

    int Test(const char *condition, int owner = 4) {
        return TestStateCondition(&menu, condition, owner);
    }
};

TEST_F(Conditions, TermsReadItemValues) {
    items[2].nValue = 1;
    EXPECT_EQ(TestState(&menu, "2.1", 0), 1);
    EXPECT_EQ(TestState(&menu, "2.0", 0), 0);
    items[2].nHidden = TMH_GREY;
    EXPECT_EQ(TestState(&menu, "2.1", 0), 2);
    EXPECT_EQ(TestState(&menu, "+2.1", 0), 2); // relative to the owner
    EXPECT_EQ(TestState(&menu, "-2.1", 4), 2);
    EXPECT_EQ(TestState(&menu, "9.0", 0), 0); // no such item
    EXPECT_EQ(TestState(&menu, "-9.0", 4), 0);
    EXPECT_EQ(TestState(&menu, "x", 0), 0);
    EXPECT_EQ(TestState(&menu, nullptr, 0), 0);
}

TEST_F(Conditions, OrAndNegation) {
    items[2].nValue = 1;
    EXPECT_EQ(Test("2.1|3.1"), 1);
    EXPECT_EQ(Test("!(2.1&3.1)"), 1);
    items[3].nValue = 1;
    EXPECT_EQ(Test("!(2.1&3.1)"), 0);
    EXPECT_EQ(Test("!!2.1"), 1);
}

TEST_F(Conditions, EvaluatedLeftToRightWithoutPrecedence) {
    items[0].nValue = 1; // 0.1 true, 1.1 false, 2.5 false
    // (true | false) & false: false; with & binding tighter it would be true.
    EXPECT_EQ(Test("0.1|1.1&2.5"), 0);
    EXPECT_EQ(Test("0.1|(1.1&2.5)"), 1);
}

TEST_F(Conditions, TheASuffixNeedsAGreyedItem) {
    items[1].nValue = 3;
    EXPECT_EQ(Test("1.3A"), 0);
    items[1].nHidden = TMH_GREY;
    EXPECT_EQ(Test("1.3A"), 1);
    EXPECT_EQ(Test("1.3"), 1);
}

TEST_F(Conditions, OddTextEndsSafely) {
    items[0].nValue = 1;
    EXPECT_EQ(Test(""), 0);
    EXPECT_EQ(Test(nullptr), 0);
    EXPECT_EQ(Test("((0.1"), 1);    // unclosed groups end with the text
    EXPECT_EQ(Test(")0.1"), 1);     // a stray ")" is skipped
    EXPECT_EQ(Test("0.1)&1.1"), 0); // also between operands
    EXPECT_EQ(Test("&|!"), 1);      // missing operands are false
    std::string deep(5000, '(');
    deep += "0.1";
    EXPECT_EQ(Test(deep.c_str()), 0); // too deep to be meant: false, but no overflow
}

// --- Choosing a submenu ---------------------------------------------------------

TEST(ValidateMenu, ChoosesTheSubmenuOfTheFirstConditionThatHolds) {
    TextMenu first{};
    TextMenu second{};
    TextMenu *both[] = {&first, &second};
    TextMenuItem items[] = {Item("a", TMI_INT), Item("b", TMI_INT), Item("State", TMI_INT),
                            Item("Sub", TMI_SUBMENU), End()};
    items[3].pFormat = "2.0 2.1";
    items[3].nValue = TextMenuWord(both);
    TextMenu menu = MenuOf(items);
    EXPECT_EQ(ValidateMenu(&menu, 3), &first);
    items[2].nValue = 1;
    EXPECT_EQ(ValidateMenu(&menu, 3), &second);
    items[2].nValue = 2;
    EXPECT_EQ(ValidateMenu(&menu, 3), nullptr);
    items[2].nValue = 0;
    items[3].nHidden = TMH_GREY;
    EXPECT_EQ(ValidateMenu(&menu, 3), nullptr);
}

TEST(ValidateMenu, PlainSubmenuAndWrongItems) {
    TextMenu sub{};
    TextMenuItem items[] = {Item("Sub", TMI_SUBMENU), Item("Int", TMI_INT), End()};
    items[0].nValue = TextMenuWord(&sub);
    items[1].nValue = 12345; // never taken for a menu
    TextMenu menu = MenuOf(items);
    EXPECT_EQ(ValidateMenu(&menu, 0), &sub);
    EXPECT_EQ(ValidateMenu(&menu, 1), nullptr);
    EXPECT_EQ(ValidateMenu(&menu, 2), nullptr);
    EXPECT_EQ(ValidateMenu(&menu, -1), nullptr);
    items[0].pFormat = "   ";
    EXPECT_EQ(ValidateMenu(&menu, 0), nullptr); // an empty list of conditions
}

} // namespace
