// TextMenu: drawing. The menu screen is written as plain lines to standard
// output each time the run loop asks for an answer; the pick-list screen of
// a state item is composed in the character screen buffer and sent in one
// pass, page by page.
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

} // namespace

int PrintMenu(TextMenu *menu, int longest, int titleWidth) {
    if (menu == nullptr) return 0;
    // Unshown and without redirection, so that it reaches the terminal;
    // without a clear command the screen is simply not cleared.
    fflush(stdout);
    if (TestCmd(CmdClear)) SysCmd(-CmdClear, CmdLogged, "%s", "");

    const char *title = menu->pTitle != nullptr ? menu->pTitle : "";
    switch (menu->nStyle) {
    case 1:
        fputs("\f\n", stdout);
        if (titleWidth <= MenuWidth) Blanks((MenuWidth - titleWidth) / 2);
        printf("%s\n\n", title);
        break;
    case 2:
        fputs("\f\n", stdout);
        if (titleWidth <= MenuWidth) Blanks(MenuWidth - titleWidth);
        printf("%s\n\n", title);
        break;
    default:
        printf("\f\n%s:\n\n", title);
        break;
    }

    const char *gap = (menu->nFlags & TMF_COMPACT) != 0 ? "" : "\n";
    int keyed = 0; // items of kind 4 and above met so far
    for (int i = 0; menu->pItems != nullptr && menu->pItems[i].pText != nullptr; ++i) {
        TextMenuItem *item = &menu->pItems[i];
        const char *label = ShownLabel(item->pText);
        bool hotKey = IsHotKeyLabel(item->pText);
        bool drawn = false;
        switch (item->nKind) {
        case TMI_SUBMENU:
            if (TextMenu *sub = ValidateMenu(menu, i); sub != nullptr) {
                const char *subTitle = sub->pTitle != nullptr ? sub->pTitle : "";
                if (hotKey)
                    printf(" %c) %s ", item->nKey, subTitle);
                else
                    printf("%2i) %s ", item->nKey, subTitle);
                drawn = true;
            }
            break;
        case TMI_GRID:
        case TMI_GRID_ALL:
            PrintMenuBarItem(item, item->nKind, &i, &keyed);
            drawn = true;
            break;
        case TMI_TEXT:
            if (item->nHidden != TMH_GONE) {
                printf("%s ", item->pText);
                drawn = true;
            }
            break;
        default:
            if (item->nHidden == TMH_GREY) {
                printf("%*s  %s ", 2, "", label);
                drawn = true;
            } else if (item->nHidden == TMH_SHOWN) {
                if (hotKey)
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
            break;
        }
        if (drawn) printf("\n%s", gap);
        if (item->nKind >= TMI_APPLY) ++keyed;
    }

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

        char text[2 * MenuWidth + 512];
        const char *label = ShownLabel(item->pText);
        if (IsHotKeyLabel(item->pText))
            snprintf(text, sizeof text, " %c) %s%*s ", item->nKey, label,
                     std::max(cell - 3 - len, 0), "");
        else
            snprintf(text, sizeof text, "%2i) %s%*s", item->nKind >= TMI_APPLY ? item->nKey : *keys,
                     label, std::max(cell - 5 - len, 0), "");
        text[std::clamp(cell - 2, 0, int(sizeof text) - 1)] = '\0';
        printf("%s ", text);

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

int PrintPickOneManyScreen(TextMenuItem *item, intptr_t *hidden, int first) {
    if (item == nullptr) return -1;
    int states = CountStates(item->pStates);
    if (first == 0) {
        PickScreen = GetTermInfo(PickScreen);
        FetchPickTexts();
        if (hidden != nullptr) *hidden = 0;
        int perColumn = PickScreen->nRows - 6;
        // The widths are measured only on a screen with room for a column.
        int largest = perColumn >= 1 ? GetColumnWidths(PickScreen, item, PickWidths) : 0;
        int needed =
            std::max(int(strlen(PMATTYMENU_SAVE) + strlen(PMATTYMENU_CANCEL)), largest / 2 + 20);
        if (perColumn < 1 || PickScreen->nColumns < needed) {
            MenuPrintf(texts::ScreenTooSmall, "\nThe screen is too small for this list.\n");
            MenuPrintf(texts::ScreenSize, "It has %d columns and %d rows;\n", PickScreen->nColumns,
                       PickScreen->nRows);
            MenuPrintf(texts::ScreenNeeded,
                       "at least %d columns and %d rows are needed. Press <Return> to continue.\n",
                       needed, 7);
            WaitForKey();
            return -1;
        }
    }
    if (PickScreen == nullptr || first < 0 || first >= states) return -1;

    TextScreen *screen = PickScreen;
    int columns = screen->nColumns;
    // A page holds rows - 6 states a column, however short the list.
    int perColumn = screen->nRows - 6;
    if (perColumn < 1) return -1;
    int columnCount = std::min((states + perColumn - 1) / perColumn, PickMaxColumns);
    int firstColumn = first / perColumn;

    ClearScreen(screen);
    FillArea(screen, 0, 0, columns, screen->nRows, ' ');
    SetPosition(screen, 0, 0);

    // Fit the columns of this page; a first column that does not fit whole
    // still takes the rest of the line when half of it does.
    int used = 0;
    int fitted = 0;
    for (int c = firstColumn; c < columnCount; ++c) {
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
    int pageSize = perColumn * fitted;
    int onPage = std::min(pageSize, states - first);
    int shift = fitted > 1 ? std::max((columns - used) / fitted, 0) : 0;

    intptr_t mask = 0;
    StateWalk walk;
    const char *name = walk.Next(item->pStates);
    for (int k = 0; k < first && name != nullptr; ++k)
        name = walk.Next(item->pStates);
    int x = 0;
    for (int k = 0; k < onPage && name != nullptr; ++k, name = walk.Next(item->pStates)) {
        int state = first + k;
        int pageColumn = k / perColumn;
        if (k > 0 && k % perColumn == 0) {
            x += PickWidths[firstColumn + pageColumn - 1] + 7;
            if (pageColumn == 1) x += shift;
        }
        int y = 3 + k % perColumn;
        bool shown = name[0] != ' ';
        if (!shown && k < TextMenuMaskBits) mask |= intptr_t(1) << k;
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
        int room = columns - x - 8;
        SetPosition(screen, x + 8, y);
        if (pageColumn == 0 && int(strlen(text)) > room)
            WriteString(screen, "%.*s...", std::max(room - 3, 0), text);
        else
            WriteString(screen, "%s", text);
    }

    BuildCurrentSelection(item);
    WriteScreenFrame(screen, item, CurSel);
    Refresh(screen);
    MoveCursor(screen, int(strlen(PMATTYMENU_OPTION)), screen->nRows);
    if (hidden != nullptr) *hidden = mask;
    // A page that the list ends before it is full is the last one.
    return onPage < pageSize ? 0 : onPage;
}
