// TextMenu: the menu model — preparing and releasing a menu, item lookup,
// and the small item helpers the other sections share.
#include "TextMenu.h"

#include "MemMgr.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <cctype>
#include <climits>
#include <cstring>

uint8_t flExitTextMenu = 0;
uint8_t flLoadedSettings = 0;

namespace menu_detail {

int ItemCount(const TextMenu *menu) {
    if (menu == nullptr || menu->pItems == nullptr) return 0;
    int n = 0;
    while (menu->pItems[n].pText != nullptr)
        ++n;
    return n;
}

TextMenuItem *ItemAt(TextMenu *menu, int index) {
    if (index < 0 || index >= ItemCount(menu)) return nullptr;
    return &menu->pItems[index];
}

bool IsHotKeyLabel(const char *label) {
    return label != nullptr && label[0] == '~' && label[1] != '\0';
}

const char *ShownLabel(const char *label) {
    if (label == nullptr) return "";
    if (!IsHotKeyLabel(label)) return label;
    size_t len = strlen(label);
    return label + (len < 3 ? len : 3);
}

namespace {

// Walks state names the way the shared tokenizer splits them with ",": runs
// of separators are skipped, a backslash escapes the next character.
const char *SkipSeparators(const char *p) {
    while (*p == ',')
        ++p;
    return p;
}

const char *SkipName(const char *p) {
    while (*p != '\0' && *p != ',') {
        if (*p == '\\' && p[1] != '\0')
            p += 2;
        else
            ++p;
    }
    return p;
}

} // namespace

int CountStates(const char *states) {
    if (states == nullptr) return 0;
    int n = 0;
    for (const char *p = SkipSeparators(states); *p != '\0'; p = SkipSeparators(SkipName(p)))
        ++n;
    return n;
}

char *StateNameAt(char *states, int n) {
    if (states == nullptr || n < 0) return nullptr;
    for (char *p = const_cast<char *>(SkipSeparators(states)); *p != '\0';
         p = const_cast<char *>(SkipSeparators(SkipName(p)))) {
        if (n-- == 0) return p;
    }
    return nullptr;
}

bool StateShown(const TextMenuItem *item, int n) {
    const char *name = StateNameAt(item->pStates, n);
    return name != nullptr && *name != ' ';
}

void CopyValue(char *buffer, const char *text) {
    if (buffer == nullptr) return;
    size_t n = text != nullptr ? strnlen(text, TextValueSize - 1) : 0;
    if (n > 0) memcpy(buffer, text, n);
    buffer[n] = '\0';
}

char *EnsureTextBuffer(TextMenuItem *item) {
    if (item->nValue == 0) {
        auto *buffer = static_cast<char *>(GetMem(TextValueSize));
        if (buffer == nullptr) SysError("%s", OutOfMem);
        item->nValue = TextMenuWord(buffer);
    }
    return TextMenuText(item);
}

long long ReadNumber(const char *text, const char **end) {
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!isdigit(static_cast<unsigned char>(*p))) {
        if (end != nullptr) *end = text;
        return 0;
    }
    long long value = 0;
    while (isdigit(static_cast<unsigned char>(*p))) {
        if (value < LLONG_MAX / 16) value = value * 10 + (*p - '0');
        ++p;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    if (end != nullptr) *end = p;
    return value;
}

} // namespace menu_detail

using namespace menu_detail;

int InitMenu(TextMenu *menu) {
    if (menu == nullptr || menu->pItems == nullptr) return 0;
    int longest = 0;
    int key = 0;
    // First every item's own fields, so that the state actions below see the
    // final values of all items (an action may preset a later item).
    for (int i = 0; menu->pItems[i].pText != nullptr; ++i) {
        TextMenuItem &item = menu->pItems[i];
        item.nTextLen = int(strlen(item.pText));
        if (item.nTextLen > longest) longest = item.nTextLen;
        item.nSavedValue = -1; // nothing put aside by a previous run
        switch (item.nKind) {
        case TMI_ONE_OF:
            item.nStates = CountStates(item.pStates);
            item.nValue = item.nDefault;
            item.nPrevValue = int(item.nDefault);
            break;
        case TMI_MANY_OF:
            item.nStates = CountStates(item.pStates);
            if (item.nValue == 0) item.nDefault = item.nValue = 1;
            item.nPrevValue = int(item.nDefault);
            break;
        case TMI_NAME:
        case TMI_STRING:
            CopyValue(EnsureTextBuffer(&item), reinterpret_cast<const char *>(item.nDefault));
            break;
        case TMI_INT:
        case TMI_FLOAT:
            item.nValue = item.nDefault;
            break;
        default:
            break;
        }
        if (item.nKind <= TMI_GRID_ALL)
            item.nKey = 0;
        else if (IsHotKeyLabel(item.pText))
            item.nKey = static_cast<unsigned char>(item.pText[1]);
        else
            item.nKey = ++key;
    }
    for (int i = 0; menu->pItems[i].pText != nullptr; ++i) {
        int kind = menu->pItems[i].nKind;
        if (kind != TMI_ONE_OF && kind != TMI_MANY_OF) continue;
        UpdateStateSelection(&menu->pItems[i]);
        ProcessStateFormat(menu, i);
    }
    return longest;
}

void FreeMenu(TextMenu *menu) {
    if (menu == nullptr || menu->pItems == nullptr) return;
    for (TextMenuItem *item = menu->pItems; item->pText != nullptr; ++item) {
        if ((item->nKind == TMI_NAME || item->nKind == TMI_STRING) && item->nValue != 0) {
            PutMem(TextMenuText(item));
            item->nValue = 0;
        }
    }
}

TextMenuItem *FindTextMenuItem(TextMenu *menu, int kind) {
    if (menu == nullptr || menu->pItems == nullptr) return nullptr;
    for (TextMenuItem *item = menu->pItems; item->pText != nullptr; ++item)
        if (item->nKind == kind) return item;
    return nullptr;
}
