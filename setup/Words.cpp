// Words: splitting and looking up.
#include "Words.h"

#include "utils.h"

#include <cstring>

char *NextWord(const char **cursor, const char *delimiters, char *out, size_t size, bool *cut) {
    const char *p = *cursor;
    size_t used = 0;
    bool any = false;
    *cut = false;
    while (*p != '\0') {
        char c = *p++;
        if (c == '\\' && *p != '\0') {
            c = *p++;
            c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        } else if (strchr(delimiters, c) != nullptr) {
            if (any) break;
            continue; // leading delimiters
        }
        any = true;
        if (used + 1 < size)
            out[used++] = c;
        else
            *cut = true;
    }
    *cursor = p;
    if (size > 0) out[used] = '\0';
    return any ? out : nullptr;
}

int FindWord(const char *word, const char *list) {
    if (word == nullptr || word[0] == '\0' || list == nullptr || list[0] == '\0' ||
        strchr(word, list[0]) != nullptr)
        return 0;
    return FindToken(word, list);
}
