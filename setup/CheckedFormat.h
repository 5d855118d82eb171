// CheckedFormat: printing through a format that is not a literal: a
// catalogue entry (Catalogue.h) or a script template (Scripts.h). The caller
// writes, as a literal model, the conversions the format must take, in order
// ("%s %e"): the compiler checks the arguments against the model, and the
// format is used only when its own conversions are the model's, spelled the
// same. Otherwise nothing is written, the result is -1 and errno EINVAL.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

// 1 when the conversions of format are those of model, in order and spelled
// alike (flags, width, precision and length included); "%%" takes nothing
// and is passed over, as is all other text.
bool SameConversions(const char *format, const char *model);

// vfprintf of format when it takes model's conversions.
[[gnu::format(printf, 3, 0)]] int CheckedVfprintf(FILE *stream, const char *format,
                                                  const char *model, va_list args);
[[gnu::format(printf, 3, 4)]] int CheckedFprintf(FILE *stream, const char *format,
                                                 const char *model, ...);
// vsnprintf into target (size bytes, always terminated; the empty text when
// format is refused).
[[gnu::format(printf, 4, 0)]] int CheckedVsnprintf(char *target, size_t size, const char *format,
                                                   const char *model, va_list args);
[[gnu::format(printf, 4, 5)]] int CheckedSnprintf(char *target, size_t size, const char *format,
                                                  const char *model, ...);
