// utils: allocated copies, searches, path functions and small conversions.
#include "utils.h"

#include "MemMgr.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

char Line[LineSize];

namespace {

// Most texts are short: they are formatted once into this scratch buffer and
// copied. A longer result is measured by that first pass and formatted again
// into a block of exactly its size, so no argument can overrun anything.
char SaveStrScratch[8192];

// Bounded copy of a view into a path function's buffer.
char *ToPathBuf(char (&buf)[PathBufSize], std::string_view text) {
    size_t n = text.size() < PathBufSize ? text.size() : PathBufSize - 1;
    if (n > 0) memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return buf;
}

std::string_view View(const char *text) {
    return text ? std::string_view(text) : std::string_view();
}

// The last "/" piece, trailing slashes ignored.
std::string_view LastPiece(std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view UpToFirstDot(std::string_view text) {
    return text.substr(0, text.find('.'));
}

char PathExtBuf[PathBufSize];
char PathNameBuf[PathBufSize];
char PathBuf[PathBufSize];
char PathPathExtBuf[PathBufSize];
char PathFnBuf[PathBufSize];

} // namespace

char *VSaveStrOrNone(const char *format, va_list args) {
    va_list again;
    va_copy(again, args);
    int len = vsnprintf(SaveStrScratch, sizeof SaveStrScratch, format, args);
    if (len < 0) {
        len = 0; // an encoding error formats as the empty text
        SaveStrScratch[0] = '\0';
    }
    // GetMem(0) yields none, so an empty text still asks for one byte.
    auto *text = static_cast<char *>(GetMem(size_t(len > 0 ? len : 1)));
    if (text != nullptr && size_t(len) < sizeof SaveStrScratch)
        memcpy(text, SaveStrScratch, size_t(len));
    else if (text != nullptr)
        vsnprintf(text, size_t(len) + 1, format, again);
    va_end(again);
    return text;
}

char *VSaveStr(const char *format, va_list args) {
    char *text = VSaveStrOrNone(format, args);
    if (text == nullptr) SysError("%s", OutOfMem);
    return text;
}

char *SaveStr(const char *format, ...) {
    va_list args;
    va_start(args, format);
    char *text = VSaveStr(format, args);
    va_end(args);
    return text;
}

char *SaveStr__(const char *format, ...) {
    if (format == nullptr) return nullptr;
    va_list args;
    va_start(args, format);
    char *text = VSaveStr(format, args);
    va_end(args);
    return text;
}

char *SaveStr_(const char *text) {
    if (text == nullptr) return nullptr;
    size_t len = strlen(text);
    auto *copy = static_cast<char *>(GetMem(len > 0 ? len : 1));
    if (copy == nullptr) SysError("%s", OutOfMem);
    memcpy(copy, text, len);
    return copy;
}

char *StrStr(const char *text, const char *pattern) {
    if (text == nullptr || *text == '\0' || pattern == nullptr || *pattern == '\0') return nullptr;
    return const_cast<char *>(strstr(text, pattern));
}

char *StrCaseStr(const char *text, const char *pattern) {
    if (text == nullptr || *text == '\0' || pattern == nullptr || *pattern == '\0') return nullptr;
    for (const char *start = text; *start != '\0'; ++start) {
        const char *t = start;
        const char *p = pattern;
        while (*p != '\0' && *t != '\0' &&
               toupper(static_cast<unsigned char>(*t)) == toupper(static_cast<unsigned char>(*p))) {
            ++t;
            ++p;
        }
        if (*p == '\0') return const_cast<char *>(start);
        if (*t == '\0') return nullptr;
    }
    return nullptr;
}

char *StrChr(const char *text, int c) {
    if (text == nullptr) return nullptr;
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == char(c)) return const_cast<char *>(p);
        // A backslash hides the next character; a final one ends the scan.
        if (*p == '\\' && *++p == '\0') return nullptr;
    }
    return nullptr;
}

char *StrNChr(const char *text, int c, int n) {
    if (text == nullptr || n < 1) return nullptr;
    for (const char *p = text; *p != '\0'; ++p)
        if (*p == char(c) && --n == 0) return const_cast<char *>(p);
    return nullptr;
}

char *StrNStr(const char *text, const char *pattern, int n) {
    if (n < 1) return nullptr;
    char *hit = StrStr(text, pattern);
    for (int k = 1; k < n && hit != nullptr; ++k) {
        if (hit[1] == '\0') return nullptr;
        hit = StrStr(hit + 1, pattern);
    }
    return hit;
}

int StrLen(const char *text) {
    return text ? int(strlen(text)) : 0;
}

char *SkipSpace(const char *text) {
    if (text == nullptr) return nullptr;
    while (*text != '\0' && strchr(" \t\n\v\f\r", *text) != nullptr)
        ++text;
    return const_cast<char *>(text);
}

char *StripExt(const char *path) {
    std::string_view text = View(path);
    if (!text.empty() && text.front() == '.') return ToPathBuf(PathExtBuf, text);
    return ToPathBuf(PathExtBuf, UpToFirstDot(text));
}

// Nothing in the system depends on this one beyond "." and "..": it yields
// the last piece up to its first ".", as StripPathExt does.
char *StripPathName(const char *path) {
    std::string_view text = View(path);
    if (text == "." || text == "..") return ToPathBuf(PathNameBuf, "");
    return ToPathBuf(PathNameBuf, UpToFirstDot(LastPiece(text)));
}

char *StripPath(const char *path) {
    return ToPathBuf(PathBuf, LastPiece(View(path)));
}

char *StripPathExt(const char *path) {
    return ToPathBuf(PathPathExtBuf, UpToFirstDot(LastPiece(View(path))));
}

char *StripFn(const char *path) {
    std::string_view text = View(path);
    size_t slash = text.rfind('/');
    if (slash == std::string_view::npos) return ToPathBuf(PathFnBuf, ".");
    if (slash == 0) return ToPathBuf(PathFnBuf, "/");
    return ToPathBuf(PathFnBuf, text.substr(0, slash));
}

char *Gets(char *buffer, int size) {
    if (buffer == nullptr || size < 1) return nullptr;
    int n = 0;
    bool ended = false;
    while (n < size - 1) {
        int c = getchar();
        if (c == EOF || c == 0xFF) {
            ended = true;
            break;
        }
        if (c == '\n') break;
        buffer[n++] = char(c);
    }
    buffer[n] = '\0';
    return ended && n == 0 ? nullptr : buffer;
}

void SetVarContent(void *destination, const void *source, int n, int reverse) {
    if (destination == nullptr || source == nullptr || n <= 0) return;
    auto *to = static_cast<unsigned char *>(destination);
    const auto *from = static_cast<const unsigned char *>(source);
    if (!reverse) {
        memmove(to, from, size_t(n));
        return;
    }
    for (int k = 0; k < n; ++k)
        to[k] = from[n - 1 - k];
}

double MaxD(double a, double b) {
    return a > b ? a : b;
}

float CvtFloatFormat(float value, int from, int to) {
    constexpr float CmPerInch = 2.54f;
    constexpr float PointsPerInch = 72.0f;
    if (from == UnitCentimetre && to == UnitInch) return value / CmPerInch;
    if (from == UnitPoint && to == UnitInch) return value / PointsPerInch;
    if (from == UnitInch && to == UnitCentimetre) return value * CmPerInch;
    if (from == UnitPoint && to == UnitCentimetre) return value / PointsPerInch * CmPerInch;
    if (from == UnitInch && to == UnitPoint) return value * PointsPerInch;
    if (from == UnitCentimetre && to == UnitPoint) return value / CmPerInch * PointsPerInch;
    return value;
}

char *StripAllBackslashes(char *text) {
    if (text == nullptr) return nullptr;
    char *out = text;
    for (const char *in = text; *in != '\0'; ++in)
        if (*in != '\\') *out++ = *in;
    *out = '\0';
    return text;
}

char *StripNonPrint(char *text, [[maybe_unused]] int flag) {
    if (text == nullptr) return nullptr;
    char *out = text;
    for (const char *in = text; *in != '\0'; ++in) {
        auto c = static_cast<unsigned char>(*in);
        if (isalnum(c) || ispunct(c) || c == ' ') *out++ = char(c);
    }
    *out = '\0';
    return text;
}
