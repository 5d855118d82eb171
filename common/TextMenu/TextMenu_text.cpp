// TextMenu: the engine's catalogue texts. Labels, hints and messages come
// from the core string store (group 25, and 30 for the length messages),
// each named in TextMenu_private.h. A text used as a format is checked
// against the arguments of its call site before use (NlsCoreFormat): the
// built-in English text stands in for a stored format that is missing or
// does not match. Item texts are filled from group 25 as they stand.
#include "NlsUtils.h"
#include "TextMenu.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <cstdio>
#include <cstring>

namespace menu_detail {

const char *FetchText(CatalogueText id, char *buffer) {
    return NlsCoreText(id.group, id.index, buffer);
}

const char *FetchTextOr(CatalogueText id, char *buffer, const char *fallback) {
    const char *text = FetchText(id, buffer);
    return text != nullptr ? text : fallback;
}

const char *FetchFormat(CatalogueText id, const char *model, char *buffer, bool *found) {
    return NlsCoreFormat(id.group, id.index, model, buffer, found);
}

void MenuPrintf(CatalogueText id, const char *model, ...) {
    va_list args;
    va_start(args, model);
    NlsCoreVPrintf(id.group, id.index, model, args);
    va_end(args);
}

void MenuSnprintf(char *target, size_t size, CatalogueText id, const char *model, ...) {
    va_list args;
    va_start(args, model);
    NlsCoreVSnprintf(target, size, id.group, id.index, model, args);
    va_end(args);
}

// The formats used below were chosen by NlsCoreFormat or NlsCheckFormat
// against the model whose arguments the compiler checked at the call site.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

void MenuNotice(CatalogueText id, const char *model, ...) {
    char buffer[NlsFetchBufSize];
    bool found = false;
    const char *format = FetchFormat(id, model, buffer, &found);
    if (!found) return;
    va_list args;
    va_start(args, model);
    VPostMsg(format, args);
    va_end(args);
}

void SnprintChosen(char *target, size_t size, const char *format, const char *model, ...) {
    if (target == nullptr || size == 0) return;
    va_list args;
    va_start(args, model);
    if (vsnprintf(target, size, format, args) < 0) target[0] = '\0';
    va_end(args);
}

void NoticeChosen(const char *format, const char *model, ...) {
    if (format == nullptr) return;
    va_list args;
    va_start(args, model);
    VPostMsg(format, args);
    va_end(args);
}

#pragma GCC diagnostic pop

} // namespace menu_detail

namespace {

inline constexpr size_t ItemTextSize = 128; // an item text: at most 127 characters

// A new copy of text 25/index, cut at ItemTextSize - 1 characters. A missing
// text gives its key, as every fetch does.
char *ItemText(int index) {
    char buffer[NlsFetchBufSize];
    const char *text = NlsFetchString(NlsGetCoreDB(), buffer, NlsByIndex, NlsMenuGroup, index);
    char work[ItemTextSize];
    size_t n = text != nullptr ? strnlen(text, ItemTextSize - 1) : 0;
    if (n > 0) memcpy(work, text, n);
    work[n] = '\0';
    return SaveStr_(work);
}

} // namespace

void NlsTtyMenuItemCvt(TextMenuItem *items, int first, int count) {
    for (int i = 0; items != nullptr && i < count; ++i)
        items[i].pText = ItemText(first + i);
}

void NlsTtyMenuItemStateCvt(TextMenuItem *items, int first, int count) {
    for (int i = 0; items != nullptr && i < count; ++i)
        items[i].pStates = ItemText(first + i);
}

void NlsTtyMenuItemPromptCvt(TextMenuItem *items, int first, int count) {
    for (int i = 0; items != nullptr && i < count; ++i)
        items[i].pPrompt = ItemText(first + i);
}
