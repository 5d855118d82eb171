// TextMenu: drawing. The menu screen is written as plain lines to standard
// output each time the run loop asks for an answer; the pick-list screen of
// a state item is composed in the character screen buffer and sent in one
// pass, page by page: each page is laid out, then drawn. Drawing only
// writes; the answers (and the key that closes the screen-too-small notice)
// are read by the pick-list dialogue of the run loop.
#include "TextMenu.h"

#include "NlsUtils.h"
#include "SysCmd.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace menu_detail;

char *PMATTYMENU_SAVE = nullptr;
char *PMATTYMENU_CANCEL = nullptr;
char *PMATTYMENU_CURSEL = nullptr;
char *PMATTYMENU_CURSELTRUNC = nullptr;
char *PMATTYMENU_OPTION = nullptr;

namespace {

inline constexpr int MenuWidth = 80; // the menu screen is laid out for 80 columns

const char AnswerText[] = "\nChoose an item%s%s%s: ";
const char SaveText[] = "s: save and return";
const char CancelText[] = "c: cancel";
const char CurSelText[] = "Current selection: %s";
const char CurSelTruncText[] = "Current selection: %s...";
const char OptionText[] = "Option (numbers, or <Return> for the next page): ";

// The first characters of the keep and cancel texts are the dialogue's
// keys: they must differ, and neither may be a digit (digits choose states)
// nor a blank.
bool UsableKeys(const char *save, const char *cancel) {
    auto usable = [](char c) {
        return c != '\0' && c != ' ' && c != '\t' && !(c >= '0' && c <= '9');
    };
    return usable(save[0]) && usable(cancel[0]) && save[0] != cancel[0];
}

void FetchPickTexts() {
    if (PMATTYMENU_SAVE != nullptr) return;
    char save[NlsFetchBufSize];
    char cancel[NlsFetchBufSize];
    const char *s = FetchTextOr(texts::PickSave, save, SaveText);
    const char *c = FetchTextOr(texts::PickCancel, cancel, CancelText);
    if (!UsableKeys(s, c)) {
        s = SaveText;
        c = CancelText;
    }
    PMATTYMENU_SAVE = SaveStr_(s);
    PMATTYMENU_CANCEL = SaveStr_(c);
    char buffer[NlsFetchBufSize];
    PMATTYMENU_CURSEL = SaveStr_(FetchFormat(texts::PickCurrent, CurSelText, buffer));
    PMATTYMENU_CURSELTRUNC = SaveStr_(FetchFormat(texts::PickCurrentCut, CurSelTruncText, buffer));
    PMATTYMENU_OPTION = SaveStr_(FetchTextOr(texts::PickOption, buffer, OptionText));
}

void Blanks(int n) {
    for (int k = 0; k < n; ++k)
        putchar(' ');
}

// The name of the current state of a one-of item, without its mark: null
// when the state is hidden or missing.
const char *CurrentStateName(TextMenuItem *item) {
    if (item->nValue < 0 || item->nValue >= CountStates(item->pStates)) return nullptr;
    item->pState = GetTokenN(item->pStates, ",", int(item->nValue) + 1);
    if (item->pState == nullptr) {
        item->pState = "";
        return nullptr;
    }
    if (item->pState[0] == ' ' || item->pState[0] == '\0') return nullptr;
    return item->pState + 1;
}

void PrintValue(TextMenuItem *item) {
    switch (item->nKind) {
    case TMI_ONE_OF:
        if (const char *name = CurrentStateName(item); name != nullptr)
            printf(" [%i. %s]", int(item->nValue) + 1, name);
        else
            fputs(" [ ]", stdout);
        break;
    case TMI_MANY_OF: {
        char buffer[NlsFetchBufSize];
        fputs(FetchTextOr(texts::ManyOfOpening, buffer, " ["), stdout);
        if (item->nValue == 1) {
            fputs(FetchTextOr(texts::ManyOfDefault, buffer, "default"), stdout);
        } else {
            const char *prefix = "";
            for (int k = 0; k < TextMenuMaskBits; ++k) {
                if (((item->nValue >> k) & 1) == 0) continue;
                printf("%s%d", prefix, k + 1);
                prefix = ",";
            }
        }
        putchar(']');
        break;
    }
    case TMI_NAME:
    case TMI_STRING:
        printf(" [%s]", item->nValue != 0 ? TextMenuText(item) : "");
        break;
    case TMI_INT:
        printf(" [%i]", int(item->nValue));
        break;
    case TMI_FLOAT:
        printf(" [%.3f]", double(TextMenuGetFloat(item->nValue)));
        break;
    default:
        break;
    }
}

int GridColumns(const TextMenuItem *item) {
    // At least six characters a cell, so that every cut length stays positive.
    intptr_t n = item->nValue != 0 ? item->nValue : 3;
    return int(std::clamp<intptr_t>(n, 1, 13));
}

// Unshown and without redirection, so that it reaches the terminal; without
// a clear command the screen is simply not cleared.
void ClearTerminal() {
    fflush(stdout);
    if (TestCmd(CmdClear)) SysCmd(-CmdClear, CmdLogged, "%s", "");
}

void PrintTitle(const TextMenu *menu, int titleWidth) {
    const char *title = menu->pTitle != nullptr ? menu->pTitle : "";
    switch (menu->nStyle) {
    case 1: // centred
        fputs("\f\n", stdout);
        if (titleWidth <= MenuWidth) Blanks((MenuWidth - titleWidth) / 2);
        printf("%s\n\n", title);
        break;
    case 2: // right-aligned
        fputs("\f\n", stdout);
        if (titleWidth <= MenuWidth) Blanks(MenuWidth - titleWidth);
        printf("%s\n\n", title);
        break;
    default:
        printf("\f\n%s:\n\n", title);
        break;
    }
}

// A submenu item shows the title of the submenu it leads to; nothing (not
// even the line end) when it leads to none.
bool PrintSubmenuItem(TextMenu *menu, int i) {
    const TextMenuItem &item = menu->pItems[i];
    TextMenu *sub = ValidateMenu(menu, i);
    if (sub == nullptr) return false;
    const char *subTitle = sub->pTitle != nullptr ? sub->pTitle : "";
    if (IsHotKeyLabel(item.pText))
        printf(" %c) %s ", item.nKey, subTitle);
    else
        printf("%2i) %s ", item.nKey, subTitle);
    return true;
}

// An item of kind 2 or 4 and above: its key and label (none when greyed
// out), then for a valued item the dots up to the longest label and the
// value. keyed: the items of kind 4 and above before it (the number of a
// kind-2 line). True when a line was begun.
bool PrintKeyedItem(TextMenuItem *item, int longest, int keyed) {
    const char *label = ShownLabel(item->pText);
    bool drawn = false;
    if (item->nHidden == TMH_GREY) {
        printf("%*s  %s ", 2, "", label);
        drawn = true;
    } else if (item->nHidden == TMH_SHOWN) {
        if (IsHotKeyLabel(item->pText))
            printf(" %c) %s ", item->nKey, label);
        else
            printf("%2i) %s ", item->nKind >= TMI_APPLY ? item->nKey : keyed, label);
        drawn = true;
    }
    if (item->nKind >= TMI_ONE_OF && item->nHidden != TMH_GONE) {
        for (int k = item->nTextLen; k < longest; ++k)
            putchar('.');
        PrintValue(item);
    }
    return drawn;
}

// Item i by its kind; a grid takes the items it draws (i moves to the last
// of them). True when a line was begun.
bool PrintItem(TextMenu *menu, int &i, int longest, int &keyed) {
    TextMenuItem *item = &menu->pItems[i];
    switch (item->nKind) {
    case TMI_SUBMENU:
        return PrintSubmenuItem(menu, i);
    case TMI_GRID:
    case TMI_GRID_ALL:
        PrintMenuBarItem(item, item->nKind, &i, &keyed);
        return true;
    case TMI_TEXT:
        if (item->nHidden == TMH_GONE) return false;
        printf("%s ", item->pText);
        return true;
    default:
        return PrintKeyedItem(item, longest, keyed);
    }
}

// The answer line with its hints: store, help and exit, each only when the
// menu's flags offer it.
void PrintAnswerLine(const TextMenu *menu) {
    char store[NlsFetchBufSize];
    char help[NlsFetchBufSize];
    char leave[NlsFetchBufSize];
    const char *storeHint =
        (menu->nFlags & (TMF_STORE_ASK | TMF_STORE_QUIT)) != 0
            ? FetchTextOr(texts::StoreHint, store, " or s for store settings in a file")
            : "";
    const char *helpHint =
        (menu->nFlags & TMF_HELP) != 0 ? FetchTextOr(texts::HelpHint, help, " or h for help") : "";
    const char *exitHint = (menu->nFlags & TMF_STAY) == 0
                               ? FetchTextOr(texts::ExitHint, leave, " or <Return> to exit")
                               : "";
    MenuPrintf(texts::AnswerLine, AnswerText, storeHint, helpHint, exitHint);
    fflush(stdout);
}

// One cell of a grid row: the key and the label, padded to the cell and cut
// to its width less 2, then a blank.
void PrintGridCell(const TextMenuItem *item, int cell, int len, int keys) {
    char text[2 * MenuWidth + 512];
    const char *label = ShownLabel(item->pText);
    if (IsHotKeyLabel(item->pText))
        snprintf(text, sizeof text, " %c) %s%*s ", item->nKey, label, std::max(cell - 3 - len, 0),
                 "");
    else
        snprintf(text, sizeof text, "%2i) %s%*s", item->nKind >= TMI_APPLY ? item->nKey : keys,
                 label, std::max(cell - 5 - len, 0), "");
    text[std::clamp(cell - 2, 0, int(sizeof text) - 1)] = '\0';
    printf("%s ", text);
}

} // namespace

int PrintMenu(TextMenu *menu, int longest, int titleWidth) {
    if (menu == nullptr) return 0;
    ClearTerminal();
    PrintTitle(menu, titleWidth);
    const char *gap = (menu->nFlags & TMF_COMPACT) != 0 ? "" : "\n";
    int keyed = 0; // items of kind 4 and above met so far
    for (int i = 0; menu->pItems != nullptr && menu->pItems[i].pText != nullptr; ++i) {
        // A grid header is of a kind below 4: it adds no key of its own.
        bool counts = menu->pItems[i].nKind >= TMI_APPLY;
        if (PrintItem(menu, i, longest, keyed)) printf("\n%s", gap);
        if (counts) ++keyed;
    }
    PrintAnswerLine(menu);
    return ItemCount(menu);
}

TextMenuItem *PrintMenuBarItem(TextMenuItem *header, int kind, int *index, int *keys) {
    if (header == nullptr) return nullptr;
    int dummyIndex = 0;
    int dummyKeys = 0;
    if (index == nullptr) index = &dummyIndex;
    if (keys == nullptr) keys = &dummyKeys;

    int n = GridColumns(header);
    int cell = MenuWidth / n;
    int row = 0;
    bool rowStarted = false;
    TextMenuItem *last = header;
    for (TextMenuItem *item = header + 1; item->pText != nullptr; ++item) {
        bool startsRow;
        if (kind == TMI_GRID) {
            // A kind-1 grid is made of rows, each begun by a text item; it
            // ends before the next grid header (or, without any row, at the
            // first item that does not begin one).
            startsRow = item->nKind == TMI_TEXT;
            if (!startsRow &&
                (!rowStarted || item->nKind == TMI_GRID || item->nKind == TMI_GRID_ALL))
                break;
        } else {
            startsRow = item->nKind == TMI_GRID_ALL;
        }
        ++*index;
        last = item;
        if (startsRow) {
            putchar('\n');
            n = GridColumns(item);
            cell = MenuWidth / n;
            row = 0;
            rowStarted = true;
            continue;
        }

        int len = int(strlen(item->pText));
        if (row + len > MenuWidth || (row > 0 && len > cell - 5)) {
            putchar('\n');
            row = 0;
        }
        ++*keys;
        if (item->nHidden == TMH_GONE) continue;

        PrintGridCell(item, cell, len, *keys);

        if (len > cell - n) {
            putchar('\n');
            row = 0;
        } else {
            row += cell;
        }
    }
    return last;
}

// ---------------------------------------------------------------------------
// The pick-list screen
// ---------------------------------------------------------------------------

namespace {

TextScreen *PickScreen = nullptr;
int PickWidths[PickMaxColumns];
char CurSel[CurSelSize];

// The states of an item, one name at a time, without the shared tokenizer.
struct StateWalk {
    const char *cursor = nullptr;
    char name[TokenBufSize];
    const char *Next(const char *states) {
        const char *text = cursor == nullptr ? states : nullptr;
        if (cursor == nullptr && states == nullptr) return nullptr;
        return GetTokenD(text, ",", &cursor, name);
    }
};

const char *WithoutMark(const char *name) {
    return name[0] == ' ' || name[0] == '_' ? name + 1 : name;
}

// The current selection over the whole list: the current state of a one-of
// item, the selected states of a many-of item each followed by a blank; at
// most CurSelSize - 1 characters.
void BuildCurrentSelection(const TextMenuItem *item) {
    size_t n = 0;
    CurSel[0] = '\0';
    StateWalk walk;
    int state = 0;
    for (const char *name = walk.Next(item->pStates); name != nullptr;
         name = walk.Next(item->pStates), ++state) {
        bool selected = item->nKind == TMI_ONE_OF
                            ? item->nValue == state
                            : state < TextMenuMaskBits && ((item->nValue >> state) & 1) != 0;
        if (!selected) continue;
        const char *shown = WithoutMark(name);
        for (const char *c = shown; *c != '\0' && n < CurSelSize - 1; ++c)
            CurSel[n++] = *c;
        if (item->nKind == TMI_MANY_OF && n < CurSelSize - 1) CurSel[n++] = ' ';
        CurSel[n] = '\0';
    }
}

} // namespace

int GetColumnWidths(TextScreen *screen, TextMenuItem *item, int *widths) {
    if (screen == nullptr || item == nullptr || widths == nullptr) return 0;
    std::fill(widths, widths + PickMaxColumns, 0);
    int states = CountStates(item->pStates);
    int perColumn = std::min(screen->nRows - 6, states);
    if (perColumn < 1) return 0;
    int largest = 0;
    StateWalk walk;
    int k = 0;
    for (const char *name = walk.Next(item->pStates); name != nullptr;
         name = walk.Next(item->pStates), ++k) {
        int column = k / perColumn;
        if (column >= PickMaxColumns) break; // states beyond are not shown
        int len = int(strlen(name));
        widths[column] = std::max(widths[column], len);
        largest = std::max(largest, len);
    }
    return largest;
}

void WriteScreenFrame(TextScreen *screen, TextMenuItem *item, const char *current) {
    if (screen == nullptr || item == nullptr) return;
    FetchPickTexts();
    int columns = screen->nColumns;
    int rows = screen->nRows;
    const char *label = ShownLabel(item->pText);
    SetPosition(screen, std::max((columns - int(strlen(label))) / 2, 0), 1);
    WriteString(screen, "%s", label);
    SetPosition(screen, 0, rows - 2);
    WriteString(screen, "%s", PMATTYMENU_SAVE);
    SetPosition(screen, columns / 2, rows - 2);
    WriteString(screen, "%s", PMATTYMENU_CANCEL);

    const char *text = current != nullptr ? current : "";
    int limit = columns - int(strlen(PMATTYMENU_CURSEL)) + 2;
    char line[512];
    if (int(strlen(text)) > limit) {
        char cut[CurSelSize];
        snprintf(cut, sizeof cut, "%.*s", std::max(limit - 3, 0), text);
        SnprintChosen(line, sizeof line, PMATTYMENU_CURSELTRUNC, CurSelTruncText, cut);
    } else {
        SnprintChosen(line, sizeof line, PMATTYMENU_CURSEL, CurSelText, text);
    }
    SetPosition(screen, 0, rows - 1);
    WriteString(screen, "%s", line);
    SetPosition(screen, 0, rows);
    WriteString(screen, "%s", PMATTYMENU_OPTION);
}

namespace {

// The columns needed for the pick-list of the measured widths: the keep and
// cancel texts side by side, and half the widest column with the room for
// the marks and numbers.
int NeededColumns(int largest) {
    return std::max(int(strlen(PMATTYMENU_SAVE) + strlen(PMATTYMENU_CANCEL)), largest / 2 + 20);
}

void ShowScreenTooSmall(const TextScreen *screen, int needed) {
    MenuPrintf(texts::ScreenTooSmall, "\nThe screen is too small for this list.\n");
    MenuPrintf(texts::ScreenSize, "It has %d columns and %d rows;\n", screen->nColumns,
               screen->nRows);
    MenuPrintf(texts::ScreenNeeded,
               "at least %d columns and %d rows are needed. Press <Return> to continue.\n", needed,
               7);
}

// The first page of a pick-list: the screen, the texts and the column widths
// of the whole list. False (after the notice) when the screen is too small.
bool OpenPickList(TextMenuItem *item, intptr_t *hidden) {
    PickScreen = GetTermInfo(PickScreen);
    FetchPickTexts();
    if (hidden != nullptr) *hidden = 0;
    int perColumn = PickScreen->nRows - 6;
    // The widths are measured only on a screen with room for a column.
    int largest = perColumn >= 1 ? GetColumnWidths(PickScreen, item, PickWidths) : 0;
    int needed = NeededColumns(largest);
    if (perColumn >= 1 && PickScreen->nColumns >= needed) return true;
    ShowScreenTooSmall(PickScreen, needed);
    fflush(stdout);
    return false;
}

// Where the states of one page go.
struct PickPage {
    int perColumn;   // states a column: rows - 6, however short the list
    int firstColumn; // the page's first column among the list's columns
    int pageSize;    // states a full page holds
    int onPage;      // states drawn
    int shift;       // added to the second column's place when several fit
};

// Fit the columns of the page that begins at state first, each as wide as
// its widest name and 7; a first column that does not fit whole still takes
// the rest of the line when half of it does.
PickPage LayOutPickPage(const TextScreen *screen, int states, int first) {
    PickPage page{};
    int columns = screen->nColumns;
    page.perColumn = screen->nRows - 6;
    int columnCount = std::min((states + page.perColumn - 1) / page.perColumn, PickMaxColumns);
    page.firstColumn = first / page.perColumn;
    int used = 0;
    int fitted = 0;
    for (int c = page.firstColumn; c < columnCount; ++c) {
        int need = PickWidths[c] + 7;
        if (used + need <= columns) {
            used += need;
            ++fitted;
            continue;
        }
        if (fitted == 0 && PickWidths[c] / 2 + 7 <= columns) {
            used = columns;
            fitted = 1;
        }
        break;
    }
    fitted = std::max(fitted, 1);
    page.pageSize = page.perColumn * fitted;
    page.onPage = std::min(page.pageSize, states - first);
    page.shift = fitted > 1 ? std::max((columns - used) / fitted, 0) : 0;
    return page;
}

// One state at column x of line y: the mark of the current selection, the
// number of a shown state, and the name (in the first column cut to the
// line with "..."). True when the state is hidden.
bool DrawPickState(TextScreen *screen, const TextMenuItem *item, const char *name, int state, int x,
                   int y, bool firstColumn) {
    bool shown = name[0] != ' ';
    bool current = item->nKind == TMI_ONE_OF
                       ? item->nValue == state
                       : state < TextMenuMaskBits && ((item->nValue >> state) & 1) != 0;
    if (current) {
        SetPosition(screen, x, y);
        WriteString(screen, "%s", " ->");
    }
    if (shown) {
        SetPosition(screen, x + 4, y);
        WriteString(screen, "%2d) ", state + 1);
    }
    // The room from the name's column to the end of the line.
    const char *text = WithoutMark(name);
    int room = screen->nColumns - x - 8;
    SetPosition(screen, x + 8, y);
    if (firstColumn && int(strlen(text)) > room)
        WriteString(screen, "%.*s...", std::max(room - 3, 0), text);
    else
        WriteString(screen, "%s", text);
    return !shown;
}

// The states of the page into the cells; the page's hidden states (bit k
// for its state k).
intptr_t DrawPickStates(TextScreen *screen, const TextMenuItem *item, const PickPage &page,
                        int first) {
    intptr_t mask = 0;
    StateWalk walk;
    const char *name = walk.Next(item->pStates);
    for (int k = 0; k < first && name != nullptr; ++k)
        name = walk.Next(item->pStates);
    int x = 0;
    for (int k = 0; k < page.onPage && name != nullptr; ++k, name = walk.Next(item->pStates)) {
        int pageColumn = k / page.perColumn;
        if (k > 0 && k % page.perColumn == 0) {
            x += PickWidths[page.firstColumn + pageColumn - 1] + 7;
            if (pageColumn == 1) x += page.shift;
        }
        int y = 3 + k % page.perColumn;
        bool hidden = DrawPickState(screen, item, name, first + k, x, y, pageColumn == 0);
        if (hidden && k < TextMenuMaskBits) mask |= intptr_t(1) << k;
    }
    return mask;
}

} // namespace

namespace menu_detail {

int DrawPickOneManyScreen(TextMenuItem *item, intptr_t *hidden, int first, bool *tooSmall) {
    *tooSmall = false;
    if (item == nullptr) return -1;
    if (first == 0 && !OpenPickList(item, hidden)) {
        *tooSmall = true;
        return -1;
    }
    int states = CountStates(item->pStates);
    if (PickScreen == nullptr || first < 0 || first >= states) return -1;
    TextScreen *screen = PickScreen;
    if (screen->nRows - 6 < 1) return -1;
    PickPage page = LayOutPickPage(screen, states, first);

    ClearScreen(screen);
    FillArea(screen, 0, 0, screen->nColumns, screen->nRows, ' ');
    SetPosition(screen, 0, 0);
    intptr_t mask = DrawPickStates(screen, item, page, first);
    BuildCurrentSelection(item);
    WriteScreenFrame(screen, item, CurSel);
    Refresh(screen);
    MoveCursor(screen, int(strlen(PMATTYMENU_OPTION)), screen->nRows);
    if (hidden != nullptr) *hidden = mask;
    // A page that the list ends before it is full is the last one.
    return page.onPage < page.pageSize ? 0 : page.onPage;
}

} // namespace menu_detail

int PrintPickOneManyScreen(TextMenuItem *item, intptr_t *hidden, int first) {
    bool tooSmall = false;
    int drawn = DrawPickOneManyScreen(item, hidden, first, &tooSmall);
    if (tooSmall) WaitForKey(); // the key that closes the notice
    return drawn;
}
