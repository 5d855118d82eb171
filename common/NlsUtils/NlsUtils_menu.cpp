// NlsUtils: the texts of the menu engine (TextMenu.h) and of the programs
// built on it: formats of the core string store checked against the
// caller's English model before use, and a text of group 25 copied out.
//
// The stores are plain files, and a translation whose conversions do not
// match its call would otherwise read or write arbitrary memory: the
// English model stands in for a stored format that is missing or does not
// match.
#include "NlsUtils.h"

#include "utils.h"

#include <cstring>

const char *NlsCoreText(int group, int index, char *buffer) {
    const char *text = NlsFetchString(NlsGetCoreDB(), buffer, NlsByIndex, group, index);
    if (text == nullptr || text == pNlsFallback) return nullptr;
    char key[32];
    snprintf(key, sizeof key, "%d_%d", group, index);
    return strcmp(text, key) == 0 ? nullptr : text; // a missing text yields its key
}

const char *NlsCoreFormat(int group, int index, const char *model, char *buffer, bool *found) {
    const char *text = NlsCoreText(group, index, buffer);
    if (found != nullptr) *found = text != nullptr;
    return text != nullptr && NlsCheckFormat(text, model) ? text : model;
}

// The format printed is the one NlsCoreFormat chose: the stored text only
// when it takes the arguments of model, which the compiler checked.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

void NlsCoreVPrintf(int group, int index, const char *model, va_list args) {
    char buffer[NlsFetchBufSize];
    vprintf(NlsCoreFormat(group, index, model, buffer), args);
}

void NlsCoreVSnprintf(char *target, size_t size, int group, int index, const char *model,
                      va_list args) {
    if (target == nullptr || size == 0) return;
    char buffer[NlsFetchBufSize];
    if (vsnprintf(target, size, NlsCoreFormat(group, index, model, buffer), args) < 0)
        target[0] = '\0';
}

#pragma GCC diagnostic pop

void NlsCorePrintf(int group, int index, const char *model, ...) {
    va_list args;
    va_start(args, model);
    NlsCoreVPrintf(group, index, model, args);
    va_end(args);
}

void NlsCoreSnprintf(char *target, size_t size, int group, int index, const char *model, ...) {
    va_list args;
    va_start(args, model);
    NlsCoreVSnprintf(target, size, group, index, model, args);
    va_end(args);
}

void NlsTtyMenuCvt(const char **text, int index) {
    if (text == nullptr) return;
    char *copy = NlsFetchString(NlsGetCoreDB(), nullptr, NlsByIndex, NlsMenuGroup, index);
    // The shared fallback is never handed out: the caller owns what it gets.
    if (copy == nullptr || copy == pNlsFallback) copy = SaveStr_(copy != nullptr ? copy : "");
    *text = copy;
}
