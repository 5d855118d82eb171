// NlsUtils: filling menu records (TextMenu.h) from group 25 of the core
// string store.
#include "NlsUtils.h"

#include "TextMenu.h"
#include "utils.h"

#include <cstring>

namespace {

inline constexpr int MenuTextGroup = 25;
inline constexpr size_t ItemTextSize = 128; // an item text: at most 127 characters

// A new copy of text 25/index, cut at ItemTextSize - 1 characters. A missing
// text gives its key, as every fetch does.
char *ItemText(int index) {
    char buffer[NlsFetchBufSize];
    const char *text = NlsFetchString(NlsGetCoreDB(), buffer, NlsByIndex, MenuTextGroup, index);
    char work[ItemTextSize];
    size_t n = text != nullptr ? strnlen(text, ItemTextSize - 1) : 0;
    if (n > 0) memcpy(work, text, n);
    work[n] = '\0';
    return SaveStr_(work);
}

} // namespace

void NlsTtyMenuCvt(const char **text, int index) {
    if (text == nullptr) return;
    char *copy = NlsFetchString(NlsGetCoreDB(), nullptr, NlsByIndex, MenuTextGroup, index);
    // The shared fallback is never handed out: the caller owns what it gets.
    if (copy == nullptr || copy == pNlsFallback) copy = SaveStr_(copy != nullptr ? copy : "");
    *text = copy;
}

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
