// TextMenu: the engine's catalogue texts. Labels, hints and messages come
// from the core string store (group 25, and 30 for the length messages).
// A text used as a format is checked against the arguments of its call site
// before use: the stores are plain files, and a translation whose
// conversions do not match would otherwise read or write arbitrary memory.
// The built-in English text stands in for a stored format that is missing
// or does not match.
#include "NlsUtils.h"
#include "TextMenu.h"
#include "TextMenu_private.h"

#include <cstdio>
#include <cstring>

namespace menu_detail {

const char *FetchText(int group, int index, char *buffer) {
    const char *text = NlsFetchString(NlsGetCoreDB(), buffer, NlsByIndex, group, index);
    if (text == nullptr || text == pNlsFallback) return nullptr;
    char key[32];
    snprintf(key, sizeof key, "%d_%d", group, index);
    return strcmp(text, key) == 0 ? nullptr : text; // a missing text yields its key
}

const char *FetchTextOr(int group, int index, char *buffer, const char *fallback) {
    const char *text = FetchText(group, index, buffer);
    return text != nullptr ? text : fallback;
}

const char *FetchFormat(int group, int index, const char *model, char *buffer, bool *found) {
    const char *text = FetchText(group, index, buffer);
    if (found != nullptr) *found = text != nullptr;
    return text != nullptr && NlsCheckFormat(text, model) ? text : model;
}

// The chosen formats below have been checked against the model whose
// arguments the compiler checked at the call site.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

void PrintChosen(const char *format, const char *model, ...) {
    va_list args;
    va_start(args, model);
    vprintf(format, args);
    va_end(args);
}

void SnprintChosen(char *target, size_t size, const char *format, const char *model, ...) {
    if (target == nullptr || size == 0) return;
    va_list args;
    va_start(args, model);
    if (vsnprintf(target, size, format, args) < 0) target[0] = '\0';
    va_end(args);
}

void MenuPrintf(int group, int index, const char *model, ...) {
    char buffer[NlsFetchBufSize];
    const char *format = FetchFormat(group, index, model, buffer);
    va_list args;
    va_start(args, model);
    vprintf(format, args);
    va_end(args);
}

void MenuSnprintf(char *target, size_t size, int group, int index, const char *model, ...) {
    if (target == nullptr || size == 0) return;
    char buffer[NlsFetchBufSize];
    const char *format = FetchFormat(group, index, model, buffer);
    va_list args;
    va_start(args, model);
    if (vsnprintf(target, size, format, args) < 0) target[0] = '\0';
    va_end(args);
}

void MenuNotice(int group, int index, const char *model, ...) {
    char buffer[NlsFetchBufSize];
    bool found = false;
    const char *format = FetchFormat(group, index, model, buffer, &found);
    if (!found) return;
    va_list args;
    va_start(args, model);
    VPostMsg(format, args);
    va_end(args);
}

#pragma GCC diagnostic pop

} // namespace menu_detail
