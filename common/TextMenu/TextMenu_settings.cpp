// TextMenu: settings files — the values of a menu tree written to pOut and
// read back from pIn.
//
// One line per valued item, "<index>[<value>] <kind> <hidden>", where index
// is the item's place in its array; "<index>{" opens the block of the
// submenu of that item and "}" closes it. The top-level menu has no closing
// line. Example: "2[abc] 12 0", "5{", "0[7] 13 0", "}".
#include "TextMenu.h"

#include "TextMenu_private.h"
#include "utils.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace menu_detail;

namespace {

// The menus on the path being written, so that a tree whose submenus lead
// back to an enclosing menu is written once and not forever.
struct StorePath {
    TextMenu *menus[TextMenuMaxDepth];
    int depth;

    bool Holds(const TextMenu *menu) const {
        for (int k = 0; k < depth; ++k)
            if (menus[k] == menu) return true;
        return false;
    }
};

void StoreValues(TextMenu *menu, StorePath &path) {
    if (pOut == nullptr || menu == nullptr || menu->pItems == nullptr) return;
    path.menus[path.depth++] = menu;
    for (int i = 0; menu->pItems[i].pText != nullptr; ++i) {
        const TextMenuItem &item = menu->pItems[i];
        switch (item.nKind) {
        case TMI_NAME:
        case TMI_STRING: {
            // A released menu shows its default when it is opened again.
            const char *text = item.nValue != 0 ? TextMenuText(&item)
                                                : reinterpret_cast<const char *>(item.nDefault);
            fprintf(pOut, "%i[%s] %i %i\n", i, text != nullptr ? text : "", item.nKind,
                    item.nHidden);
            break;
        }
        case TMI_ONE_OF:
        case TMI_INT:
            fprintf(pOut, "%i[%i] %i %i\n", i, int(item.nValue), item.nKind, item.nHidden);
            break;
        case TMI_FLOAT:
            fprintf(pOut, "%i[%.3f] %i %i\n", i, double(TextMenuGetFloat(item.nValue)), item.nKind,
                    item.nHidden);
            break;
        default:
            break;
        }
    }
    for (int i = 0; menu->pItems[i].pText != nullptr; ++i) {
        if (menu->pItems[i].nKind != TMI_SUBMENU) continue;
        TextMenu *sub = ValidateMenu(menu, i);
        if (sub == nullptr || path.Holds(sub) || path.depth >= TextMenuMaxDepth) continue;
        fprintf(pOut, "%i{\n", i);
        StoreValues(sub, path);
        fprintf(pOut, "}\n");
    }
    --path.depth;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Read the lines of a block whose submenu is not available, up to and
// including the "}" that closes it (nested blocks counted).
void SkipBlock() {
    int open = 1;
    while (GetFileLine()) {
        if (LineBuf[0] == '}') {
            if (--open == 0) return;
            continue;
        }
        const char *end = nullptr;
        ReadNumber(LineBuf, &end);
        if (end != LineBuf && *end == '{') ++open;
    }
}

// "%i" of the kind and hidden fields: decimal, octal or hexadecimal.
bool ReadInt(const char *&p, int &value) {
    char *end = nullptr;
    errno = 0;
    long v = strtol(p, &end, 0);
    if (end == p) return false;
    if (errno == ERANGE || v > INT_MAX || v < INT_MIN) v = v < 0 ? INT_MIN : INT_MAX;
    value = int(v);
    p = end;
    return true;
}

void ApplyLine(TextMenu *menu, int index, const char *value, size_t valueLen,
               const char *afterClose) {
    TextMenuItem *item = ItemAt(menu, index);
    if (item == nullptr) return;
    int kind = 0;
    int hidden = item->nHidden;
    const char *p = afterClose;
    if (ReadInt(p, kind)) ReadInt(p, hidden);
    if (hidden >= TMH_SHOWN && hidden <= TMH_GONE) item->nHidden = hidden;

    char text[TextValueSize];
    size_t n = valueLen < TextValueSize - 1 ? valueLen : TextValueSize - 1;
    memcpy(text, value, n);
    text[n] = '\0';

    switch (item->nKind) {
    case TMI_ONE_OF: {
        const char *end = nullptr;
        long long v = ReadNumber(text, &end);
        if (end != text && v >= 0 && v < CountStates(item->pStates)) item->nValue = intptr_t(v);
        break;
    }
    case TMI_INT: {
        const char *end = nullptr;
        long long v = ReadNumber(text, &end);
        if (end != text) item->nValue = intptr_t(v);
        break;
    }
    case TMI_NAME:
    case TMI_STRING:
        CopyValue(EnsureTextBuffer(item), text);
        // Only the two text kinds share a representation.
        if (kind == TMI_NAME || kind == TMI_STRING) item->nKind = kind;
        break;
    case TMI_FLOAT: {
        char *end = nullptr;
        float v = strtof(text, &end);
        if (end != text && std::isfinite(v)) item->nValue = TextMenuFloat(v);
        break;
    }
    default:
        break;
    }
}

void LoadValues(TextMenu *menu, int depth) {
    flLoadedSettings = 1;
    while (GetFileLine()) {
        const char *line = LineBuf;
        if (line[0] == '}') {
            TextMenuItem *apply = FindTextMenuItem(menu, TMI_APPLY);
            if (apply != nullptr && apply->pfnAction != nullptr) apply->pfnAction(menu, apply);
            return;
        }
        const char *end = nullptr;
        long long index = ReadNumber(line, &end);
        if (end == line || *end == '\0') continue;
        char mark = *end;
        if (mark == '{') {
            TextMenuItem *item = ItemAt(menu, int(index));
            TextMenu *sub = nullptr;
            if (item != nullptr && item->nKind == TMI_SUBMENU && depth + 1 < TextMenuMaxDepth)
                sub = ValidateMenu(menu, int(index));
            if (sub != nullptr)
                LoadValues(sub, depth + 1);
            else
                SkipBlock();
            continue;
        }
        // The value: the first word after the mark, a trailing "]" cut off.
        const char *value = end + 1;
        while (IsBlank(*value))
            ++value;
        size_t valueLen = 0;
        while (value[valueLen] != '\0' && !IsBlank(value[valueLen]))
            ++valueLen;
        if (valueLen > 0 && value[valueLen - 1] == ']') --valueLen;

        // A line with nothing after its "]" is not used; the line end (with
        // or without a carriage return) is not something after it.
        const char *close = strchr(line, ']');
        if (close == nullptr || close[strspn(close + 1, "\r\n") + 1] == '\0') continue;
        ApplyLine(menu, int(index), value, valueLen, close + 1);
    }
}

} // namespace

void StoreMenu(TextMenu *menu) {
    StorePath path{};
    StoreValues(menu, path);
}

void LoadMenu(TextMenu *menu) {
    if (menu == nullptr) return;
    LoadValues(menu, 0);
}
