// CheckedFormat: a format's conversions against its model's.
#include "CheckedFormat.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

// The conversion at the next "%" of p that is not "%%" ("%-10s" gives
// "-10s"; a "%" at the very end gives "%"), p moved past it; empty at the end
// of the text. Everything between "%" and the conversion letter belongs to
// it, "*" and "$" included, so that two conversions spelled alike take the
// same arguments.
std::string_view NextConversion(const char *&p) {
    for (;;) {
        const char *at = strchr(p, '%');
        if (at == nullptr) {
            p += strlen(p);
            return {};
        }
        p = at + 1;
        if (*p != '%') break;
        ++p;
    }
    const char *start = p;
    p += strspn(p, "-+ #0'123456789.*$hlLqjzt");
    if (*p == '\0') return {start - 1, size_t(p - start) + 1};
    ++p;
    return {start, size_t(p - start)};
}

} // namespace

bool SameConversions(const char *format, const char *model) {
    if (format == nullptr || model == nullptr) return false;
    for (;;) {
        const std::string_view got = NextConversion(format);
        if (got != NextConversion(model)) return false;
        if (got.empty()) return true;
    }
}

// The one place where a format that is not a literal reaches printf: it has
// just been found to take exactly the conversions of model, which the
// compiler checked against the arguments.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

int CheckedVfprintf(FILE *stream, const char *format, const char *model, va_list args) {
    if (!SameConversions(format, model)) {
        errno = EINVAL;
        return -1;
    }
    return vfprintf(stream, format, args);
}

int CheckedVsnprintf(char *target, size_t size, const char *format, const char *model,
                     va_list args) {
    if (!SameConversions(format, model)) {
        if (size > 0) target[0] = '\0';
        errno = EINVAL;
        return -1;
    }
    return vsnprintf(target, size, format, args);
}

#pragma GCC diagnostic pop

int CheckedFprintf(FILE *stream, const char *format, const char *model, ...) {
    va_list args;
    va_start(args, model);
    int written = CheckedVfprintf(stream, format, model, args);
    va_end(args);
    return written;
}

int CheckedSnprintf(char *target, size_t size, const char *format, const char *model, ...) {
    va_list args;
    va_start(args, model);
    int written = CheckedVsnprintf(target, size, format, model, args);
    va_end(args);
    return written;
}
