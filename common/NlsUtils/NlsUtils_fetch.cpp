// NlsUtils: fetching texts by group and index or by key, formatting with
// fetched formats, and the two text conversions.
//
// Stores are shared files that any user of the tools may write, so a
// fetched format is checked before it reaches printf: no "%n", no "*", no
// positional "$", and (where the caller knows its arguments) the same
// argument kinds as the built-in English text.
#include "NlsUtils.h"

#include "MemMgr.h"
#include "utils.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string_view>

char *pNlsFallback = nullptr;
char NlsFetchBuf[NlsFetchBufSize];
char NlsValBuf[NlsValBufSize];

namespace {

// Outside the block memory manager: a stray PutMem on it is ignored.
char NlsFallbackText[] = "Error";

constexpr size_t KeyTextSize = 32; // "<int>_<int>" and its terminator

char *Fallback() {
    pNlsFallback = NlsFallbackText;
    return pNlsFallback;
}

// Copy text into a buffer of size bytes, cut to fit, terminated.
void CopyText(char *buffer, size_t size, const char *text) {
    size_t n = strnlen(text, size - 1);
    memcpy(buffer, text, n);
    buffer[n] = '\0';
}

// The text of key into buffer (size bytes, cut to fit); 0 when it is missing.
int FetchInto(DbT *db, const char *key, char *buffer, size_t size) {
    if (db == nullptr) return 0;
    int n = DbmTGetRecordN(db, key, buffer, int(size - 1));
    if (n <= 0) return 0;
    buffer[size_t(n) < size - 1 ? size_t(n) : size - 1] = '\0';
    return 1;
}

// Fetch <group>_<index> into buffer (size bytes) as NlsFetchString kind 0
// would give it: the text, the key text when it is missing, or "Error" for a
// null store with a zero group or index.
void FetchIndexed(DbT *db, int group, int index, char *buffer, size_t size) {
    if (db == nullptr && (group == 0 || index == 0)) {
        CopyText(buffer, size, Fallback());
        return;
    }
    char key[KeyTextSize];
    snprintf(key, sizeof key, "%d_%d", group, index);
    if (!FetchInto(db, key, buffer, size)) CopyText(buffer, size, key);
}

// The argument kinds a printf format takes, one conversion at a time.
enum ArgKind : char {
    ArgEnd = 0,
    ArgInvalid = '!',
    ArgInt = 'i',
    ArgLong = 'l',
    ArgLongLong = 'q',
    ArgSize = 'z',
    ArgIntMax = 'j',
    ArgPtrDiff = 't',
    ArgDouble = 'f',
    ArgLongDouble = 'L',
    ArgString = 's',
    ArgPointer = 'p',
};

// The kind of the next conversion at p (advanced past it); ArgEnd at the
// end of the format, ArgInvalid for anything unsafe or unknown.
ArgKind NextConversion(const char *&p) {
    for (;;) {
        p = strchr(p, '%');
        if (p == nullptr) return ArgEnd;
        ++p;
        if (*p != '%') break;
        ++p; // "%%" prints a percent sign and takes nothing
    }
    p += strspn(p, "-+ #0'");
    p += strspn(p, "0123456789");
    if (*p == '$' || *p == '*') return ArgInvalid;
    if (*p == '.') {
        ++p;
        if (*p == '*') return ArgInvalid;
        p += strspn(p, "0123456789");
    }
    char length[3] = {0, 0, 0};
    if (strchr("hlLzjt", *p) != nullptr && *p != '\0') {
        length[0] = *p++;
        if ((length[0] == 'h' || length[0] == 'l') && *p == length[0]) length[1] = *p++;
    }
    char conversion = *p;
    if (conversion == '\0') return ArgInvalid;
    ++p;
    bool integer = strchr("diouxX", conversion) != nullptr;
    bool floating = strchr("fFeEgGaA", conversion) != nullptr;
    std::string_view len(length);
    if (integer) {
        if (len.empty() || len == "h" || len == "hh") return ArgInt;
        if (len == "l") return ArgLong;
        if (len == "ll") return ArgLongLong;
        if (len == "z") return ArgSize;
        if (len == "j") return ArgIntMax;
        if (len == "t") return ArgPtrDiff;
        return ArgInvalid;
    }
    if (floating) {
        if (len.empty() || len == "l") return ArgDouble;
        if (len == "L") return ArgLongDouble;
        return ArgInvalid;
    }
    if (!len.empty()) return ArgInvalid; // wide characters and strings are not ours
    if (conversion == 'c') return ArgInt;
    if (conversion == 's') return ArgString;
    if (conversion == 'p') return ArgPointer;
    return ArgInvalid; // "%n" and every unknown conversion
}

// The fetched format of <group>_<index> when the store has it, else null.
// A copy the caller releases (never pNlsFallback).
char *FetchFormat(DbT *db, int group, int index) {
    char key[KeyTextSize];
    snprintf(key, sizeof key, "%d_%d", group, index);
    char *format = NlsFetchString(db, nullptr, NlsByIndex, group, index);
    if (format == pNlsFallback) return nullptr;
    if (format != nullptr && strcmp(format, key) == 0) {
        PutMem(format);
        return nullptr;
    }
    return format;
}

} // namespace

char *NlsFetchString(DbT *db, char *buffer, int kind, ...) {
    Fallback();
    int group = 0, index = 0;
    const char *key = nullptr;
    va_list args;
    va_start(args, kind);
    if (kind == NlsByIndex || kind == NlsLong) {
        group = va_arg(args, int);
        index = va_arg(args, int);
    } else if (kind == NlsByKey || kind == NlsByKey2) {
        key = va_arg(args, const char *);
    }
    va_end(args);

    char keyText[KeyTextSize];
    if (kind == NlsByIndex || kind == NlsLong) {
        if (db == nullptr && (group == 0 || index == 0)) return pNlsFallback;
        snprintf(keyText, sizeof keyText, "%d_%d", group, index);
        key = keyText;
    } else if (kind != NlsByKey && kind != NlsByKey2) {
        return pNlsFallback;
    }
    if (key == nullptr || (db == nullptr && key != keyText)) return pNlsFallback;

    if (db != nullptr && kind == NlsLong) {
        char *text = NlsFetchBuf;
        int n = DbmTGetRecordV(db, key, &text, int(NlsFetchBufSize));
        if (n > 0 && text != NlsFetchBuf) return text; // GetMem added the terminator
        if (n > 0) {
            auto *copy = static_cast<char *>(GetMem(size_t(n)));
            if (copy != nullptr) memcpy(copy, NlsFetchBuf, size_t(n));
            return copy;
        }
    } else if (FetchInto(db, key, NlsFetchBuf, NlsFetchBufSize)) {
        if (buffer == nullptr) return SaveStr_(NlsFetchBuf);
        CopyText(buffer, NlsFetchBufSize, NlsFetchBuf);
        return buffer;
    }
    // Missing: the key text stands in for the text.
    if (buffer != nullptr) CopyText(buffer, NlsFetchBufSize, key);
    if (buffer != nullptr && kind != NlsLong) return buffer;
    return SaveStr_(key);
}

int NlsCheckFormat(const char *format, const char *model) {
    if (format == nullptr) return 0;
    const char *p = format;
    const char *m = model;
    for (;;) {
        ArgKind got = NextConversion(p);
        if (got == ArgInvalid) return 0;
        if (m != nullptr) {
            ArgKind wanted = NextConversion(m);
            if (wanted == ArgInvalid || wanted != got) return 0;
        }
        if (got == ArgEnd) return 1;
    }
}

// These print a format fetched from the store, used only once NlsCheckFormat
// has passed it (against model where the caller gives one).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

int Nlsfprintf(FILE *stream, DbT *db, int group, int index, ...) {
    if (stream == nullptr) return 0;
    char *format = FetchFormat(db, group, index);
    int used = format != nullptr && NlsCheckFormat(format, nullptr);
    if (used) {
        va_list args;
        va_start(args, index);
        vfprintf(stream, format, args);
        va_end(args);
    } else {
        fputs(NlsFallbackText, stream);
    }
    PutMem(format);
    return used;
}

int Nlssprintf(char *target, DbT *db, int group, int index, ...) {
    char *format = FetchFormat(db, group, index);
    int used = format != nullptr && NlsCheckFormat(format, nullptr);
    if (target != nullptr) {
        if (used) {
            va_list args;
            va_start(args, index);
            vsprintf(target, format, args); // the caller sizes target for its own texts
            va_end(args);
        } else {
            memcpy(target, NlsFallbackText, sizeof NlsFallbackText);
        }
    }
    PutMem(format);
    return used;
}

int Nlssnprintf(char *target, size_t size, DbT *db, int group, int index, const char *model, ...) {
    if (target == nullptr || size == 0) return 0;
    char *format = FetchFormat(db, group, index);
    int used = format != nullptr && NlsCheckFormat(format, model);
    if (used) {
        va_list args;
        va_start(args, model);
        vsnprintf(target, size, format, args);
        va_end(args);
    } else {
        snprintf(target, size, "%s", NlsFallbackText);
    }
    PutMem(format);
    return used;
}

#pragma GCC diagnostic pop

char *NlsGuiStrCvt(const char *source, int group, char *target, size_t targetSize) {
    if (target == nullptr || targetSize == 0) return target;
    memset(target, 0, targetSize);
    if (source == nullptr) return target;
    DbT *db = NlsGetCoreDB();
    char text[NlsGuiTextSize];
    size_t used = 0, room = targetSize - 1;
    int n = 0;
    for (const char *p = source; *p != '\0' && used < room;) {
        if (p[0] == '%' && p[1] == 's') {
            FetchIndexed(db, group, ++n, text, sizeof text);
            size_t len = strnlen(text, room - used);
            memcpy(target + used, text, len);
            used += len;
            p += 2;
        } else {
            target[used++] = *p++;
        }
    }
    return target;
}

char *NlsCalcStrVal(const char *text) {
    uint32_t weighted = 0, plain = 0;
    if (text != nullptr) {
        uint32_t k = 1;
        for (const char *p = text; *p != '\0'; ++p, ++k) {
            auto c = uint32_t(int32_t(static_cast<signed char>(*p)));
            weighted += c * k * k;
            plain += c;
        }
    }
    snprintf(NlsValBuf, sizeof NlsValBuf, "%08X%08X", unsigned(weighted), unsigned(plain));
    return NlsValBuf;
}
