// utils: the shared tokenizer, its reentrant form, and delimited lists.
#include "utils.h"

#include "MemMgr.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <strings.h>

char *szIn = nullptr;
char *szTokenIn = nullptr;
char chTokenDel = 0;
char GetTokenBuf[TokenBufSize];
int flTokenTruncated = 0;

namespace {

bool IsDelimiter(char c, const char *delimiters) {
    return c != '\0' && delimiters != nullptr && strchr(delimiters, c) != nullptr;
}

char Unescape(char c) {
    switch (c) {
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    default:
        return c;
    }
}

enum class TokenEnd { Token, Empty, EolNone };

// One GetToken step on a cursor. Stores at most TokenBufSize - 1 characters
// into out but scans the whole token, so the cursor always lands after it.
// A backslash that ends the text is kept as a literal backslash.
TokenEnd ScanToken(const char *&cursor, const char *delimiters, bool eolMode, char *out,
                   char *delimiterSeen) {
    size_t stored = 0;
    bool any = false;
    flTokenTruncated = 0;
    auto store = [&](char c) {
        any = true;
        if (stored < TokenBufSize - 1)
            out[stored++] = c;
        else
            flTokenTruncated = 1;
    };
    while (*cursor != '\0') {
        char c = *cursor;
        if (c == '\\') {
            ++cursor;
            if (*cursor == '\0') {
                store('\\');
                break;
            }
            store(Unescape(*cursor++));
            continue;
        }
        if (IsDelimiter(c, delimiters)) {
            out[stored] = '\0';
            *delimiterSeen = c;
            ++cursor;
            if (!any) continue; // leading delimiters are skipped
            if (eolMode && c == '\n') return TokenEnd::EolNone;
            break;
        }
        store(c);
        ++cursor;
    }
    out[stored] = '\0';
    return stored > 0 ? TokenEnd::Token : TokenEnd::Empty;
}

} // namespace

void SetTokenBuf(char *text) {
    szIn = text;
    szTokenIn = text;
}

char *GetTokenBufInput() {
    return szIn;
}

char *GetToken(const char *text, const char *delimiters) {
    chTokenDel = 0;
    bool eolMode = text == pTokenEol;
    // The shared cursor is also used by GetTokenParse, which cuts in place;
    // GetToken itself only reads through it.
    if (text != nullptr && !eolMode) szIn = const_cast<char *>(text);
    if (szIn == nullptr) {
        GetTokenBuf[0] = '\0';
        return nullptr;
    }
    const char *cursor = szIn;
    TokenEnd end = ScanToken(cursor, delimiters, eolMode, GetTokenBuf, &chTokenDel);
    szIn = const_cast<char *>(cursor);
    if (end == TokenEnd::EolNone) return nullptr;
    szTokenIn = szIn;
    return end == TokenEnd::Token ? GetTokenBuf : nullptr;
}

char *GetTokenD(const char *text, const char *delimiters, const char **cursor, char *out) {
    if (cursor == nullptr || out == nullptr) return nullptr;
    bool eolMode = text == pTokenEol;
    if (text != nullptr && !eolMode) *cursor = text;
    out[0] = '\0';
    if (*cursor == nullptr) return nullptr;
    char delimiter = 0;
    TokenEnd end = ScanToken(*cursor, delimiters, eolMode, out, &delimiter);
    return end == TokenEnd::Token ? out : nullptr;
}

char *GetTokenParse(char *text, const char *delimiters) {
    chTokenDel = 0;
    if (text != nullptr && text != pTokenEol) szIn = text;
    if (szIn == nullptr) return nullptr;
    char *start = szIn;
    bool any = false;
    while (*szIn != '\0') {
        char c = *szIn;
        if (c == '\\') {
            // Both characters stay in the token; a final backslash stays too.
            szIn += szIn[1] != '\0' ? 2 : 1;
            any = true;
            continue;
        }
        if (IsDelimiter(c, delimiters)) {
            chTokenDel = c;
            *szIn++ = '\0';
            if (!any) {
                start = szIn;
                continue;
            }
            break;
        }
        ++szIn;
        any = true;
    }
    szTokenIn = szIn;
    return any ? start : nullptr;
}

char *GetTokenN(const char *text, const char *delimiters, int n) {
    char *token = GetToken(text, delimiters);
    for (int k = 1; k < n && token != nullptr; ++k)
        token = GetToken(nullptr, delimiters);
    return token;
}

int GetTokenCount(const char *text, const char *delimiters) {
    char *savedIn = szIn;
    char *savedTokenIn = szTokenIn;
    char savedDel = chTokenDel;
    int savedTruncated = flTokenTruncated;
    char savedBuf[TokenBufSize];
    memcpy(savedBuf, GetTokenBuf, TokenBufSize);

    int count = 0;
    for (char *token = GetToken(text, delimiters); token != nullptr;
         token = GetToken(nullptr, delimiters))
        ++count;

    szIn = savedIn;
    szTokenIn = savedTokenIn;
    chTokenDel = savedDel;
    flTokenTruncated = savedTruncated;
    memcpy(GetTokenBuf, savedBuf, TokenBufSize);
    return count;
}

int ParseStr(char *text, const char *delimiters, char **words, int max) {
    if (words == nullptr || max <= 0) return 0;
    for (int k = 0; k < max; ++k)
        words[k] = nullptr;
    if (text == nullptr) return 0;
    int count = 0;
    char *p = text;
    while (count < max) {
        while (IsDelimiter(*p, delimiters))
            ++p;
        if (*p == '\0') break;
        words[count++] = p;
        while (*p != '\0' && !IsDelimiter(*p, delimiters))
            ++p;
        if (*p == '\0') break;
        *p++ = '\0';
    }
    return count;
}

int FindToken(const char *token, const char *list) {
    if (token == nullptr || list == nullptr || *list == '\0') return 0;
    const char sep = list[0];
    const std::string_view want(token);
    const std::string_view text(list);

    // The first place where separator + token + separator occurs.
    size_t hit = std::string_view::npos;
    for (size_t at = text.find(sep); at != std::string_view::npos; at = text.find(sep, at + 1)) {
        size_t end = at + 1 + want.size();
        if (end < text.size() && text[end] == sep && text.compare(at + 1, want.size(), want) == 0) {
            hit = at;
            break;
        }
    }
    // A list without a final separator still matches its last token.
    if (hit == std::string_view::npos) {
        size_t last = text.rfind(sep);
        if (text.substr(last + 1) != want) return 0;
        hit = last;
    }
    int position = 0;
    for (size_t k = 0; k <= hit; ++k)
        position += text[k] == sep;
    return position;
}

int FindTokenC(const char *token, const char *list) {
    if (token == nullptr || list == nullptr || *list == '\0') return 0;
    const char sep = list[0];
    const size_t len = strlen(token);
    int position = 0;
    for (const char *p = list; *p != '\0'; ++p) {
        if (*p != sep) continue;
        ++position;
        if (strncasecmp(p + 1, token, len) != 0) continue;
        char after = p[1 + len];
        if (after == sep || after == '\0') return position;
    }
    return 0;
}

int FindTokenWithDelim(const char *list, const char *token, char delimiter) {
    if (list == nullptr || token == nullptr) return 0;
    const std::string_view want(token);
    std::string_view rest(list);
    for (int position = 1;; ++position) {
        size_t cut = rest.find(delimiter);
        if (rest.substr(0, cut) == want) return position;
        if (cut == std::string_view::npos) return 0;
        rest.remove_prefix(cut + 1);
    }
}

namespace {

struct TokenSpan {
    const char *pStart;
    size_t nLen;
};

int ByteAt(const TokenSpan &t, size_t k, char delimiter, bool ignoreCase) {
    auto c = static_cast<unsigned char>(k < t.nLen ? t.pStart[k] : delimiter);
    return ignoreCase ? toupper(c) : c;
}

// Order of tokens as texts followed by their delimiter, so that a shorter
// prefix sorts first whatever characters follow it.
bool Less(const TokenSpan &a, const TokenSpan &b, char delimiter, bool ignoreCase) {
    size_t n = (a.nLen < b.nLen ? a.nLen : b.nLen) + 1;
    for (size_t k = 0; k < n; ++k) {
        int ca = ByteAt(a, k, delimiter, ignoreCase);
        int cb = ByteAt(b, k, delimiter, ignoreCase);
        if (ca != cb) return ca < cb;
    }
    return false;
}

} // namespace

// Works on a copy: tokens are picked from the copy by a stable selection and
// written back, so the output never needs more room than the input had.
char *SortTokens(char *list, char delimiter, int ignoreCase) {
    if (list == nullptr || *list == '\0') return list;
    char *lead = list;
    while (*lead == delimiter)
        ++lead;
    if (*lead == '\0') return list;
    size_t len = strlen(lead);
    bool trailing = lead[len - 1] == delimiter;
    char *copy = SaveStr_(lead);

    size_t count = 1;
    for (size_t k = 0; k + (trailing ? 1 : 0) < len; ++k)
        count += copy[k] == delimiter;
    auto *spans = static_cast<TokenSpan *>(GetMem(count * sizeof(TokenSpan)));
    if (spans == nullptr) SysError("%s", OutOfMem);
    const char *start = copy;
    size_t n = 0;
    for (size_t k = 0; k <= len - (trailing ? 1 : 0); ++k) {
        if (k == len - (trailing ? 1 : 0) || copy[k] == delimiter) {
            spans[n++] = TokenSpan{start, size_t(copy + k - start)};
            start = copy + k + 1;
        }
    }

    char *out = lead;
    for (size_t placed = 0; placed < n; ++placed) {
        size_t pick = placed;
        for (size_t k = placed + 1; k < n; ++k)
            if (Less(spans[k], spans[pick], delimiter, ignoreCase != 0)) pick = k;
        TokenSpan chosen = spans[pick];
        // Shift the others up by one to keep equal tokens in their order.
        for (size_t k = pick; k > placed; --k)
            spans[k] = spans[k - 1];
        spans[placed] = chosen;
        memcpy(out, chosen.pStart, chosen.nLen);
        out += chosen.nLen;
        if (placed + 1 < n || trailing) *out++ = delimiter;
    }
    *out = '\0';
    PutMem(spans);
    PutMem(copy);
    return list;
}
