// TextMenu: entry validation. Every value typed into an entry item is tested
// against a short format text before it is accepted:
//
//   d(min,max)-c...   decimal integer; -c forbids the character c
//   x(min,max)        begins with a hexadecimal number
//   D(min,max-c...)   decimal number in extended precision
//   f(min,max)        decimal number with at most one "."
//   A(min,max)+c...   letters and digits, plus the characters given with +c
//   a(min,max)+c...   letters, plus +c
//   p(min,max)+c...   printable characters, plus +c
//   L(min,max), t(min,max)   any characters; only the length counts
//   !(text)           the entry must not be text
//   &                 the next term is tested too, from the entry's start
//   |                 the entry is accepted when evaluation gets here
//   anything else     a literal the entry's next character must equal
//
// An upper bound of 0 switches a term's range or length check off. A
// rejection is shown with PostMsg (which waits for Return) and reported as
// a ValidateResult.
#include "TextMenu.h"

#include "NlsUtils.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

using namespace menu_detail;

char *pErrIntRange = nullptr;
char *pErrFloatRange = nullptr;
char *pErrLongRange = nullptr;
char NlsBuf[NlsBufSize];

namespace {

// Built-in English texts; a stored text must take the same arguments.
const char IntRangeText[] = "This number must be between %i to %i.";
const char HexRangeText[] = "This number must be between %x to %x.";
const char LongRangeText[] = "This number must be between %Lg to %Lg.";
const char FloatRangeText[] = "This number must be between %f to %f.";
const char DigitText[] = "Invalid digit:  %c\n";
const char NumberCharText[] = "Invalid character '%c'\nThis text may contain \"0123456789.\"";
const char TwoDotsText[] = "Only one '.' may be entered.";
const char AlnumText[] = "Invalid character '%c'\nThis text may contain \"abc..zABC..Z012..9%s\"";
const char AlphaText[] = "Invalid character '%c'\nThis text may contain \"abc..zABC..Z%s\"";
const char LengthRangeText[] = "The entry must be %i to %i characters long.";
const char LengthExactText[] = "The entry must be exactly %i characters long.";
const char ForbiddenText[] = "Invalid entry \"%s\"";
const char LiteralText[] = "Invalid character %c\n%c was expected after \"%s\"";

// The three range texts are fetched together once and kept for the run;
// an empty kept text stands for one the store does not have.
void FetchRangeTexts() {
    if (pErrIntRange != nullptr) return;
    char buffer[NlsFetchBufSize];
    pErrIntRange = SaveStr_(FetchTextOr(texts::IntRange, buffer, ""));
    pErrFloatRange = SaveStr_(FetchTextOr(texts::HexRange, buffer, ""));
    pErrLongRange = SaveStr_(FetchTextOr(texts::LongRange, buffer, ""));
}

// A kept range text, checked against model; null when the store had none.
const char *KeptFormat(const char *kept, const char *model) {
    if (kept == nullptr || *kept == '\0') return nullptr;
    return NlsCheckFormat(kept, model) ? kept : model;
}

bool IsDigit(char c) {
    return isdigit(static_cast<unsigned char>(c)) != 0;
}

bool IsHexDigit(char c) {
    return isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Unsigned decimal digits at f, clamped; f moves past them.
long long ReadUnsigned(const char *&f) {
    long long v = 0;
    while (IsDigit(*f)) {
        if (v < 100000000000LL) v = v * 10 + (*f - '0');
        ++f;
    }
    return v;
}

// Advance over one character, never past the terminator.
void SkipOne(const char *&s) {
    if (*s != '\0') ++s;
}

// The whole-number bounds of the d, x, A, a, p, L and t terms, "x(min,max)":
// the letter and "(", the lower bound, one character, the upper bound, one
// character. A missing bound counts as 0. (The D and f terms read theirs
// with ReadRealBounds.)
void ReadBounds(const char *&f, long long &min, long long &max) {
    SkipOne(f);
    SkipOne(f);
    min = ReadUnsigned(f);
    SkipOne(f);
    max = ReadUnsigned(f);
    SkipOne(f);
}

// +c / -c pairs directly at f.
struct Modifiers {
    char plus[128];
    char minus[128];
    size_t nPlus = 0;
    size_t nMinus = 0;

    void Read(const char *&f) {
        while ((*f == '+' || *f == '-') && f[1] != '\0') {
            if (*f == '+' && nPlus < sizeof plus - 1) plus[nPlus++] = f[1];
            if (*f == '-' && nMinus < sizeof minus - 1) minus[nMinus++] = f[1];
            f += 2;
        }
        plus[nPlus] = '\0';
        minus[nMinus] = '\0';
    }
    bool Allows(char c) const { return memchr(plus, c, nPlus) != nullptr; }
    bool Forbids(char c) const { return memchr(minus, c, nMinus) != nullptr; }
};

// The characters of the entry matched so far (for the literal message).
struct Matched {
    char text[512];
    size_t n = 0;

    void Clear() { n = 0; }
    void Add(char c) {
        if (n < sizeof text - 1) text[n++] = c;
    }
    const char *Text() {
        text[n] = '\0';
        return text;
    }
};

// Move f to the next "|", "&" or the end; the character found there.
char SkipToOperator(const char *&f) {
    while (*f != '\0' && *f != '|' && *f != '&')
        ++f;
    return *f;
}

// What evaluation does after a satisfied term: accept at "|" or the end,
// go on at "&".
bool AcceptsAfterTerm(const char *&f) {
    return SkipToOperator(f) != '&';
}

long long Clamp(long long v, long long lo, long long hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// The hexadecimal number at p as "%x" reads it.
unsigned long long ReadHex(const char *p) {
    while (*p == ' ' || *p == '\t' || *p == '\n')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && IsHexDigit(p[2])) p += 2;
    unsigned long long v = 0;
    for (; IsHexDigit(*p); ++p) {
        if (v < 0x100000000ULL)
            v = v * 16 + unsigned(IsDigit(*p) ? *p - '0' : tolower(*p) - 'a' + 10);
    }
    if (v > UINT_MAX) v = UINT_MAX;
    return negative ? (UINT_MAX + 1ULL - v) & UINT_MAX : v;
}

// Copy the characters at p that satisfy keep into m; p moves past them and
// one more character (never past the entry's end).
template <typename Keep>
void TakeNumber(const char *&p, Matched &m, Keep keep) {
    while (*p != '\0' && keep(*p)) {
        m.Add(*p);
        ++p;
    }
    SkipOne(p);
}

bool InClass(char term, char c) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (term) {
    case 'A':
        return isalnum(u) != 0;
    case 'a':
        return isalpha(u) != 0;
    default:
        return isprint(u) != 0;
    }
}

bool IsDecimalCharacter(char c) {
    return IsDigit(c) || c == '.';
}

// The first character of entry that a -c pair forbids or that allowed
// refuses; null when there is none.
template <typename Allowed>
const char *FirstRefused(const char *entry, const Modifiers &mods, Allowed allowed) {
    for (const char *c = entry; *c != '\0'; ++c)
        if (mods.Forbids(*c) || !allowed(*c)) return c;
    return nullptr;
}

// The number at text as strtof / strtold read it, 0 when there is none.
template <typename Real>
Real ReadReal(const char *text, const char **end) {
    char *stop = nullptr;
    Real value;
    if constexpr (std::is_same_v<Real, float>)
        value = strtof(text, &stop);
    else
        value = strtold(text, &stop);
    if (stop == text) value = 0;
    if (end != nullptr) *end = stop;
    return value;
}

// ReadRealBounds in either precision.
template <typename Real>
const char *ReadRealBoundsOf(const char *term, Real &min, Real &max) {
    const char *b = term;
    SkipOne(b);
    SkipOne(b);
    const char *end = b;
    min = ReadReal<Real>(b, &end);
    max = 0;
    if (end != b && *end == ',') max = ReadReal<Real>(end + 1, nullptr);
    return b;
}

// One evaluation of a format: the format position f, the entry position p,
// and the characters of the entry matched so far.
struct Evaluation {
    const char *entry;
    const char *f;
    const char *p;
    Matched m;
};

// What a term leaves evaluation to do besides ending with a ValidateResult:
// go on at the format position, or go on after a satisfied term.
enum : int { GoOn = -2, Satisfied = -1 };

// The length part of the A, a, p, L and t terms: Satisfied, VE_OK when the
// format accepts at a "|", else VE_LENGTH after the message.
int CheckLength(Evaluation &e, long long min, long long max) {
    long long len = (long long)strlen(e.entry);
    if (max == 0 || (len >= min && len <= max)) return Satisfied;
    if (SkipToOperator(e.f) == '|') return VE_OK;
    int lo = int(Clamp(min, INT_MIN, INT_MAX));
    int hi = int(Clamp(max, INT_MIN, INT_MAX));
    if (min != max)
        MenuNotice(texts::LengthRange, LengthRangeText, lo, hi);
    else
        MenuNotice(texts::LengthExact, LengthExactText, lo);
    return VE_LENGTH;
}

// d(min,max)-c...
int DecimalTerm(Evaluation &e) {
    // An entry without a number reads as 0 and meets the range check.
    long long value = ReadNumber(e.p, nullptr);
    TakeNumber(e.p, e.m, IsDigit);
    long long min = 0;
    long long max = 0;
    ReadBounds(e.f, min, max);
    Modifiers mods;
    mods.Read(e.f);
    if (const char *c = FirstRefused(e.entry, mods, IsDigit); c != nullptr) {
        PostMsg(DigitText, *c);
        return VE_CHARACTER;
    }
    if (max != 0 && (value < min || value > max)) {
        NoticeChosen(KeptFormat(pErrIntRange, IntRangeText), IntRangeText,
                     int(Clamp(min, INT_MIN, INT_MAX)), int(Clamp(max, INT_MIN, INT_MAX)));
        return VE_RANGE;
    }
    return Satisfied;
}

// x(min,max)
int HexTerm(Evaluation &e) {
    unsigned long long value = ReadHex(e.p);
    TakeNumber(e.p, e.m, IsHexDigit);
    long long min = 0;
    long long max = 0;
    ReadBounds(e.f, min, max);
    if (max != 0 && ((long long)value < min || (long long)value > max)) {
        NoticeChosen(KeptFormat(pErrFloatRange, HexRangeText), HexRangeText,
                     unsigned(Clamp(min, 0, UINT_MAX)), unsigned(Clamp(max, 0, UINT_MAX)));
        return VE_RANGE;
    }
    return Satisfied;
}

// D(min,max-c...)
int LongDoubleTerm(Evaluation &e) {
    long double value = ReadReal<long double>(e.p, nullptr);
    TakeNumber(e.p, e.m, IsDigit);
    long double min = 0;
    long double max = 0;
    e.f = ReadRealBounds(e.f, min, max);
    // The position skips only the digits of the two bounds, so -c pairs
    // count when they follow the upper bound directly.
    ReadUnsigned(e.f);
    SkipOne(e.f);
    ReadUnsigned(e.f);
    Modifiers mods;
    mods.Read(e.f);
    if (const char *c = FirstRefused(e.entry, mods, IsDecimalCharacter); c != nullptr) {
        PostMsg(NumberCharText, *c);
        return VE_CHARACTER;
    }
    if (max != 0 && !(value >= min && value <= max)) {
        NoticeChosen(KeptFormat(pErrLongRange, LongRangeText), LongRangeText, min, max);
        return VE_RANGE;
    }
    return Satisfied;
}

// f(min,max)
int FloatTerm(Evaluation &e) {
    int dots = 0;
    for (const char *c = e.p; *c != '\0'; ++c) {
        if (*c == '.') {
            if (++dots > 1) {
                MenuNotice(texts::TwoDots, TwoDotsText);
                return VE_RANGE;
            }
        } else if (!IsDigit(*c)) {
            MenuNotice(texts::FloatCharacter, NumberCharText, *c);
            return VE_CHARACTER;
        }
    }
    float value = ReadReal<float>(e.p, nullptr);
    TakeNumber(e.p, e.m, IsDecimalCharacter);
    float min = 0;
    float max = 0;
    const char *b = ReadRealBounds(e.f, min, max);
    const char *close = strchr(b, ')');
    e.f = close != nullptr ? close + 1 : b + strlen(b);
    if (max != 0.0f && (value < min || value > max)) {
        PostMsg(FloatRangeText, double(min), double(max));
        return VE_RANGE;
    }
    return Satisfied;
}

// A(min,max)+c..., a(min,max)+c..., p(min,max)+c...
int TextTerm(Evaluation &e, char term) {
    long long min = 0;
    long long max = 0;
    ReadBounds(e.f, min, max);
    Modifiers mods;
    mods.Read(e.f);
    for (; *e.p != '\0'; ++e.p) {
        if (InClass(term, *e.p) || mods.Allows(*e.p)) {
            e.m.Add(*e.p);
            continue;
        }
        if (SkipToOperator(e.f) == '|') return VE_OK;
        if (term == 'a')
            MenuNotice(texts::AlphaCharacter, AlphaText, *e.p, mods.plus);
        else
            MenuNotice(texts::AlnumCharacter, AlnumText, *e.p, mods.plus);
        return VE_CHARACTER;
    }
    return CheckLength(e, min, max);
}

// L(min,max), t(min,max)
int LengthTerm(Evaluation &e) {
    long long min = 0;
    long long max = 0;
    ReadBounds(e.f, min, max);
    return CheckLength(e, min, max);
}

// !(text)
int ForbiddenTerm(Evaluation &e) {
    const char *text = e.f;
    SkipOne(text);
    SkipOne(text);
    const char *close = strchr(text, ')');
    size_t n = close != nullptr ? size_t(close - text) : strlen(text);
    e.f = close != nullptr ? close + 1 : text + n;
    if (strlen(e.entry) == n && strncmp(e.entry, text, n) == 0) {
        MenuNotice(texts::ForbiddenEntry, ForbiddenText, e.entry);
        return VE_FORBIDDEN;
    }
    return Satisfied;
}

// Any other character: the entry's next character must equal it.
int LiteralTerm(Evaluation &e) {
    char expected = *e.f;
    if (*e.p != '\0' && *e.p == expected) {
        e.m.Add(*e.p);
        ++e.p;
        ++e.f;
        return GoOn;
    }
    if (SkipToOperator(e.f) == '|') return VE_OK;
    if (e.m.n > 0) MenuNotice(texts::LiteralMismatch, LiteralText, *e.p, expected, e.m.Text());
    return VE_CHARACTER;
}

// The element at the format position, chosen by its character.
int EvaluateTerm(Evaluation &e) {
    char term = *e.f;
    // "t" without "(" is read as "!"; "L" without "(" is a literal.
    char kind = term;
    if ((term == 'L' || term == 't') && e.f[1] != '(') kind = term == 't' ? '!' : '\0';
    switch (kind) {
    case ' ':
    case '\t':
    case '\n':
        ++e.f;
        return GoOn;
    case '&':
        ++e.f;
        e.p = e.entry;
        e.m.Clear();
        return GoOn;
    case '|':
        return VE_OK;
    case 'd':
        return DecimalTerm(e);
    case 'x':
        return HexTerm(e);
    case 'D':
        return LongDoubleTerm(e);
    case 'f':
        return FloatTerm(e);
    case 'A':
    case 'a':
    case 'p':
        return TextTerm(e, term);
    case 'L':
    case 't':
        return LengthTerm(e);
    case '!':
        return ForbiddenTerm(e);
    default:
        return LiteralTerm(e);
    }
}

} // namespace

namespace menu_detail {

const char *ReadRealBounds(const char *term, long double &min, long double &max) {
    return ReadRealBoundsOf(term, min, max);
}

const char *ReadRealBounds(const char *term, float &min, float &max) {
    return ReadRealBoundsOf(term, min, max);
}

} // namespace menu_detail

int ValidateEntry(const char *entry, const char *format) {
    if (format == nullptr) return VE_OK;
    Evaluation e{entry != nullptr ? entry : "", format, nullptr, {}};
    e.p = e.entry;
    FetchRangeTexts();
    while (*e.f != '\0') {
        int outcome = EvaluateTerm(e);
        if (outcome == GoOn) continue;
        if (outcome != Satisfied) return outcome;
        // A satisfied term.
        if (AcceptsAfterTerm(e.f)) return VE_OK;
    }
    return VE_OK;
}

int ValidateEntryDigit(const char *entry) {
    if (entry == nullptr) return 0;
    for (const char *p = entry; *p != '\0'; ++p)
        if (!IsDigit(*p)) return static_cast<unsigned char>(*p);
    return 0;
}

int getMinMax(const char *range, int *min) {
    int lo = 0;
    int hi = 0;
    if (range != nullptr) {
        const char *p = range;
        if (*p != '\0' && !IsDigit(*p)) ++p;
        lo = int(Clamp(ReadUnsigned(p), 0, INT_MAX));
        SkipOne(p);
        hi = IsDigit(*p) ? int(Clamp(ReadUnsigned(p), 0, INT_MAX)) : lo;
    }
    if (min != nullptr) *min = lo;
    return hi;
}

char *ValidateEntryLen(const char *entry, const char *range) {
    int min = 4;
    int max = 4;
    if (range != nullptr) max = getMinMax(range, &min);
    int len = StrLen(entry);
    if (len >= min && len <= max) return nullptr;
    if (min != max)
        Nlssnprintf(NlsBuf, sizeof NlsBuf, NlsGetCoreDB(), texts::LengthRange.group,
                    texts::LengthRange.index, LengthRangeText, min, max);
    else
        Nlssnprintf(NlsBuf, sizeof NlsBuf, NlsGetCoreDB(), texts::LengthExact.group,
                    texts::LengthExact.index, LengthExactText, min);
    return NlsBuf;
}

int ValidateEntryTty(const char *entry, const char *range) {
    if (const char *message = ValidateEntryLen(entry, range); message != nullptr) {
        PostMsg("%s", message);
        return VE_LENGTH;
    }
    if (int c = ValidateEntryDigit(entry); c != 0) {
        PostMsg(DigitText, c);
        return VE_CHARACTER;
    }
    return VE_OK;
}
