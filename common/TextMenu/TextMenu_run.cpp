// TextMenu: the run loop. RunMenu prepares a menu, optionally restores its
// values from a settings file, then draws it, reads one answer line at a
// time and acts on it until the user leaves. Submenus run in RunMenu
// recursively.
//
// Callbacks may rebuild a menu's item array (the help menu does), so no item
// pointer is kept across a callback, a submenu or a dialogue: the item is
// looked up again by its index.
#include "TextMenu.h"

#include "FileReplace.h"
#include "NlsUtils.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace menu_detail;

char *pOption = nullptr;
TtyHtmlHelpFn pfnTtyHtmlHelp = nullptr;
const char *pTtyHtmlName = nullptr;
const char *pTtyHtmlData = nullptr;
const char *pTtyHtmlTitle = nullptr;

namespace {

// The settings file name asked for by the key s: an absolute path of
// letters, digits, "-", "_" and "/", 1 to 255 characters.
const char SettingsFileFormat[] = "/A(1,255)+-+_+/";
const char QuitSettingsFile[] = ".settings";
const char InputEndedText[] = "the input has ended";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// pOption: the answer after its first word and the blanks that follow it.
void SetOption() {
    char *p = LineBuf;
    while (IsBlank(*p))
        ++p;
    while (*p != '\0' && !IsBlank(*p))
        ++p;
    while (IsBlank(*p))
        ++p;
    pOption = p;
}

int TitleWidth(const char *title) {
    if (title == nullptr) return 0;
    return int(strcspn(title, "\n\r"));
}

// Write the menu's settings to path. They are written beside it and renamed
// over it once complete, so a failed write (a full disk) leaves an earlier
// file as it was; either failure is reported. 1 when stored.
int StoreSettings(TextMenu *menu, const char *path) {
    FileReplace out;
    if (!out.Open(path, FileReplace::Truncate, 0, false)) {
        fprintf(stderr, "ERROR: can't open file, %s\n", path);
        return 0;
    }
    FILE *saved = pOut;
    pOut = out.Stream();
    StoreMenu(menu);
    pOut = saved;
    if (!out.Commit()) {
        fprintf(stderr, "ERROR: can't write file, %s : %s\n", path, strerror(errno));
        return 0;
    }
    return 1;
}

void OpenHelp() {
    if (pfnTtyHtmlHelp == nullptr) return;
    // The help viewer may cut a redirect name in place: it gets a copy.
    char name[TtyHtmlNameSize];
    snprintf(name, sizeof name, "%s", pTtyHtmlName != nullptr ? pTtyHtmlName : "");
    pfnTtyHtmlHelp(pTtyHtmlName != nullptr ? name : nullptr, const_cast<char *>(pTtyHtmlData),
                   const_cast<char *>(pTtyHtmlTitle));
}

// Kind 9: the state the option names when it is shown, else the next shown
// state after it (or after the current one).
int CycleState(TextMenu *menu, int index, const char *option) {
    TextMenuItem *item = ItemAt(menu, index);
    int n = item->nStates;
    if (n <= 0) return 0;
    int old = item->nValue >= 0 && item->nValue < n ? int(item->nValue) : 0;
    long long k = isdigit(static_cast<unsigned char>(option[0])) ? ReadNumber(option, nullptr) : 0;
    bool named = k >= 1 && k <= n;
    int next = -1;
    if (named && StateShown(item, int(k) - 1)) {
        next = int(k) - 1;
    } else {
        int s = named ? int(k) - 1 : old;
        for (int step = 0; step < n; ++step) {
            s = (s + 1) % n;
            if (StateShown(item, s)) {
                next = s;
                break;
            }
        }
    }
    if (next < 0) return 0;
    item->nPrevValue = old;
    item->nValue = next;
    item->pState = GetTokenN(item->pStates, ",", next + 1);
    if (item->pState == nullptr) item->pState = "";
    ProcessStateFormat(menu, index);
    return 1;
}

// Kinds 11 to 14: the option, or a line read after the prompt.
int TakeEntry(TextMenu *menu, int index, const char *option) {
    TextMenuItem *item = ItemAt(menu, index);
    if (option == nullptr || *option == '\0') {
        printf("%s: ", item->pPrompt != nullptr ? item->pPrompt : ShownLabel(item->pText));
        fflush(stdout);
        if (Gets(LineBuf, int(LineBufSize)) == nullptr || LineBuf[0] == '\0') return 0;
    } else {
        // The option usually lies inside LineBuf itself.
        size_t n = strnlen(option, LineBufSize - 1);
        memmove(LineBuf, option, n);
        LineBuf[n] = '\0';
    }
    if (ValidateEntry(LineBuf, item->pFormat) != VE_OK) return 0;
    item = ItemAt(menu, index);
    switch (item->nKind) {
    case TMI_NAME:
    case TMI_STRING:
        CopyValue(EnsureTextBuffer(item), LineBuf);
        break;
    case TMI_INT:
        item->nValue = intptr_t(ReadNumber(LineBuf, nullptr));
        break;
    case TMI_FLOAT: {
        float value = strtof(LineBuf, nullptr);
        if (!std::isfinite(value)) return 0;
        item->nValue = TextMenuFloat(value);
        break;
    }
    default:
        return 0;
    }
    return 1;
}

bool AskLeave(TextMenu *menu) {
    char question[LineBufSize];
    if (menu->pParent != nullptr)
        MenuSnprintf(question, sizeof question, texts::ReturnQuestion,
                     "\nDo you want to return to %s menu",
                     menu->pParent->pTitle != nullptr ? menu->pParent->pTitle : "");
    else
        MenuSnprintf(question, sizeof question, texts::ExitQuestion, "\nDo you want to exit %s",
                     my_name);
    return PromptYN("%s", question) != 0;
}

} // namespace

int TestNames(TextMenu *menu) {
    if (menu == nullptr || menu->pItems == nullptr) return 1;
    for (TextMenuItem *item = menu->pItems; item->pText != nullptr && item->nHidden != TMH_GONE;
         ++item) {
        if (item->nKind != TMI_NAME) continue;
        if (item->nValue != 0 && TextMenuText(item)[0] != '\0') continue;
        char buffer[NlsFetchBufSize];
        fputs(FetchTextOr(texts::NamesMissing, buffer,
                          "\nAll names must be set before applying setup.\nPress <Return> to "
                          "continue"),
              stdout);
        fflush(stdout);
        Gets(LineBuf, int(LineBufSize));
        return 0;
    }
    return 1;
}

int FindSelection(TextMenu *menu, int count) {
    SetOption();
    const char *answer = LineBuf;
    while (IsBlank(*answer))
        ++answer;
    int n = count < ItemCount(menu) ? count : ItemCount(menu);
    if (isdigit(static_cast<unsigned char>(*answer))) {
        long long k = ReadNumber(answer, nullptr);
        for (int i = 0; i < n; ++i) {
            const TextMenuItem &item = menu->pItems[i];
            if (!IsHotKeyLabel(item.pText) && item.nHidden == TMH_SHOWN && item.nKey == k)
                return i + 1;
        }
        return 0;
    }
    int c = tolower(static_cast<unsigned char>(*answer));
    if (c == 'h' && (menu->nFlags & TMF_HELP) != 0) {
        OpenHelp();
        return 0;
    }
    if (c == 's' && (menu->nFlags & TMF_STORE_ASK) != 0) {
        fputs("Enter the settings file name: ", stdout);
        fflush(stdout);
        if (Gets(LineBuf, int(LineBufSize)) != nullptr &&
            ValidateEntry(LineBuf, SettingsFileFormat) == VE_OK)
            StoreSettings(menu, LineBuf);
        return 0;
    }
    if (c == 's' && (menu->nFlags & TMF_STORE_QUIT) != 0) {
        // Only settings that were stored end the program: after a failure
        // the user is still in the menu.
        if (StoreSettings(menu, QuitSettingsFile)) exit(0);
        return 0;
    }
    if (c == '\0') return 0;
    for (int i = 0; i < n; ++i) {
        const TextMenuItem &item = menu->pItems[i];
        if (IsHotKeyLabel(item.pText) && item.nHidden == TMH_SHOWN && tolower(item.nKey) == c)
            return i + 1;
    }
    return 0;
}

int ProcessSelection(TextMenu *menu, int index, char *option) {
    TextMenuItem *item = ItemAt(menu, index);
    if (item == nullptr) return 0;
    const char *opt = option != nullptr ? option : "";
    int kind = item->nKind;
    int result = 0;
    switch (kind) {
    case TMI_APPLY:
        if (!TestNames(menu)) return 0;
        [[fallthrough]];
    case TMI_NOFILE:
    case TMI_EXIT:
    case TMI_ACTION:
        item = ItemAt(menu, index);
        if (item == nullptr || item->pfnAction == nullptr) return 1;
        return item->pfnAction(menu, item) == 0 ? 1 : 0;
    case TMI_SUBMENU:
        if (TextMenu *sub = ValidateMenu(menu, index); sub != nullptr) RunMenu(sub, nullptr, 1);
        if (menu->pfnEnter != nullptr) menu->pfnEnter(menu);
        result = 0;
        break;
    case TMI_ONE_OF:
        result = CycleState(menu, index, opt);
        break;
    case TMI_MANY_OF:
        ProcessStateValue(menu, index, option);
        result = 0;
        break;
    case TMI_NAME:
    case TMI_STRING:
    case TMI_INT:
    case TMI_FLOAT:
        result = TakeEntry(menu, index, opt);
        break;
    default:
        return 0;
    }
    if (result == 1) {
        item = ItemAt(menu, index);
        if (item != nullptr && item->pfnAction != nullptr) item->pfnAction(menu, item);
    }
    return result;
}

namespace {

// The answer to a pick-list page: the option (once), else a line read;
// false when no answer can come.
bool ReadPickAnswer(const char *option, bool &useOption) {
    if (!useOption) return Gets(LineBuf, int(LineBufSize)) != nullptr;
    size_t n = strnlen(option, LineBufSize - 1);
    memmove(LineBuf, option, n);
    LineBuf[n] = '\0';
    useOption = false;
    return true;
}

// The state numbers of an answer, separated by ",", blanks and tabs: each
// number of a shown state chooses it (one-of item) or flips it (many-of
// item) in work. An answer that does not begin with a letter or digit
// chooses nothing. True when a number was used.
bool ChooseStates(const TextMenuItem *item, const char *answer, intptr_t &work) {
    if (!isalnum(static_cast<unsigned char>(*answer))) return false;
    int states = CountStates(item->pStates);
    bool used = false;
    for (const char *p = answer; *p != '\0';) {
        while (*p == ',' || IsBlank(*p))
            ++p;
        if (*p == '\0') break;
        if (isalnum(static_cast<unsigned char>(*p))) {
            long long n = ReadNumber(p, nullptr);
            if (n >= 1 && n <= states && StateShown(item, int(n) - 1)) {
                if (item->nKind == TMI_ONE_OF) {
                    work = intptr_t(n - 1);
                    used = true;
                } else if (n - 1 < TextMenuMaskBits) {
                    work ^= intptr_t(1) << (n - 1);
                    used = true;
                }
            }
        }
        while (*p != '\0' && *p != ',' && !IsBlank(*p))
            ++p;
    }
    return used;
}

// The item takes value, then its state actions and its callback run.
// False when the callback left no such item.
bool SetPickValue(TextMenu *menu, int index, intptr_t value) {
    TextMenuItem *item = ItemAt(menu, index);
    if (item == nullptr) return false;
    item->nPrevValue = int(item->nValue);
    item->nValue = value;
    ProcessStateFormat(menu, index);
    item = ItemAt(menu, index);
    if (item == nullptr) return false;
    if (item->pfnAction != nullptr) item->pfnAction(menu, item);
    return true;
}

} // namespace

void ProcessStateValue(TextMenu *menu, int index, char *option) {
    TextMenuItem *item = ItemAt(menu, index);
    if (item == nullptr) return;
    const intptr_t start = item->nValue;
    intptr_t work = item->nValue;
    int first = 0;
    bool useOption = option != nullptr && *option != '\0';
    for (;;) {
        item = ItemAt(menu, index);
        if (item == nullptr) return;
        intptr_t hidden = 0;
        bool tooSmall = false;
        int drawn = DrawPickOneManyScreen(item, &hidden, first, &tooSmall);
        if (tooSmall) WaitForKey(); // the key that closes the notice
        if (drawn < 0) return;
        int next = drawn > 0 ? first + drawn : 0;
        if (next >= CountStates(item->pStates)) next = 0; // after the last page, the first again

        // Without an answer to come, what has been chosen is kept.
        if (!ReadPickAnswer(option, useOption)) return;
        if (LineBuf[0] != '\0' && LineBuf[0] == PMATTYMENU_SAVE[0]) return;
        if (LineBuf[0] != '\0' && LineBuf[0] == PMATTYMENU_CANCEL[0]) {
            SetPickValue(menu, index, start);
            return;
        }
        if (!ChooseStates(item, LineBuf, work)) {
            first = next; // an empty answer, or none of the page's states
            continue;
        }
        if (!SetPickValue(menu, index, work)) return;
        // The callback may have adjusted the choice: go on from what it left.
        item = ItemAt(menu, index);
        if (item == nullptr) return;
        work = item->nValue;
        // The same page is drawn again.
    }
}

namespace {

// Prepare the menu and restore its settings file; false when the run ends
// here (a settings file that does not open is handed to the kind-5
// callback; without interaction only the apply callback runs).
bool PrepareRun(TextMenu *menu, const char *settingsFile, int interactive, int &longest) {
    longest = InitMenu(menu);
    if (settingsFile != nullptr) {
        // Reported and handed to the kind-5 callback, never fatal.
        if (OpenInputFile(settingsFile, ErrReport)) {
            LoadMenu(menu);
            CloseInputFile();
        } else {
            TextMenuItem *item = FindTextMenuItem(menu, TMI_NOFILE);
            if (item != nullptr && item->pfnAction != nullptr) item->pfnAction(menu, item);
            return false;
        }
    }
    if (!interactive) {
        if (menu->pfnDone != nullptr) menu->pfnDone(menu);
        return false;
    }
    return true;
}

// The next answer into LineBuf; when none can come the program ends.
void ReadAnswer() {
    if (Gets(LineBuf, int(LineBufSize)) != nullptr) return;
    char buffer[NlsFetchBufSize];
    const char *what = FetchTextOr(texts::InputFailed, buffer, "reading from standard input");
    if (ferror(stdin)) SysError("%s", what);
    // At the end of the input the system error text would only say
    // "Success": say that the input ended.
    fprintf(stderr, "\n%s: %s : %s\n", my_name, what, InputEndedText);
    exit(1);
}

// An empty answer: the save question (after a change), then the leave
// question. True when the menu has been left.
bool LeaveMenu(TextMenu *menu, int changed) {
    if (menu->pSavePrompt != nullptr) {
        if (changed && PromptYN("%s", menu->pSavePrompt)) {
            if (!TestNames(menu)) return false;
            if (menu->pfnDone != nullptr) menu->pfnDone(menu);
            FreeMenu(menu);
            return true;
        }
    } else if (menu->pfnDone != nullptr) {
        menu->pfnDone(menu);
    }
    if (AskLeave(menu)) {
        FreeMenu(menu);
        if (menu->pParent == nullptr) {
            putchar('\n');
            fflush(stdout);
        }
        return true;
    }
    if (menu->pfnEnter != nullptr) menu->pfnEnter(menu);
    return false;
}

// What the run loop does after an answer that is not a wish to leave.
enum class AfterAnswer { Draw, Prepare, Leave };

// Find and carry out the item the answer chooses; changed is set once a
// selection changed something.
AfterAnswer ActOnAnswer(TextMenu *menu, int count, int &changed) {
    int n = FindSelection(menu, count);
    if (n == 0) return AfterAnswer::Draw;
    int index = n - 1;
    int kind = menu->pItems[index].nKind;
    int result = ProcessSelection(menu, index, pOption);
    if ((menu->nFlags & TMF_KIND_BEFORE) == 0) {
        if (TextMenuItem *item = ItemAt(menu, index); item != nullptr) kind = item->nKind;
    }
    if (flExitTextMenu ||
        (result == 1 && (kind == TMI_APPLY || kind == TMI_NOFILE || kind == TMI_EXIT))) {
        if ((menu->nFlags & TMF_KEEP) == 0) FreeMenu(menu);
        return AfterAnswer::Leave;
    }
    if (result == 1 && kind == TMI_ACTION && (menu->nFlags & TMF_REINIT) != 0)
        return AfterAnswer::Prepare;
    if (!changed) changed = result;
    return AfterAnswer::Draw;
}

} // namespace

int RunMenu(TextMenu *menu, const char *settingsFile, int interactive) {
    if (menu == nullptr) return 0;
    if (menu->pfnEnter != nullptr) menu->pfnEnter(menu);
    if (flExitTextMenu) return 0;
    int longest = 0;
    if (!PrepareRun(menu, settingsFile, interactive, longest)) return 0;

    int titleWidth = TitleWidth(menu->pTitle);
    int changed = 0;
    for (;;) {
        int count = PrintMenu(menu, longest, titleWidth);
        ReadAnswer();
        if (LineBuf[0] == '\0' && (menu->nFlags & TMF_STAY) == 0) {
            if (LeaveMenu(menu, changed)) return 0;
            continue;
        }
        switch (ActOnAnswer(menu, count, changed)) {
        case AfterAnswer::Leave:
            return 0;
        case AfterAnswer::Prepare:
            longest = InitMenu(menu);
            break;
        case AfterAnswer::Draw:
            break;
        }
    }
}
