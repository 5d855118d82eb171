// TextMenu_private: helpers shared by the menu engine's source files; not
// part of the engine's interface.
#pragma once

#include "NlsUtils.h"
#include "TextMenu.h"

#include <cstdarg>
#include <cstddef>

namespace menu_detail {

// ---------------------------------------------------------------------------
// The catalogue texts of the engine (core string store, NlsUtils.h). The
// built-in English texts stand beside their use: they are the models the
// stored formats are checked against.
// ---------------------------------------------------------------------------

inline constexpr int MenuGroup = NlsMenuGroup; // 25: labels, hints and messages
inline constexpr int LengthGroup = 30;         // the length messages of validation

// A text of the core string store, by group and index.
struct CatalogueText {
    int group;
    int index;
};

namespace texts {
// The pick-list screen; the first characters of PickSave and PickCancel are
// the dialogue's keep and cancel keys.
inline constexpr CatalogueText PickSave{MenuGroup, 201};
inline constexpr CatalogueText PickCancel{MenuGroup, 202};
inline constexpr CatalogueText PickCurrent{MenuGroup, 203};
inline constexpr CatalogueText PickCurrentCut{MenuGroup, 204};
inline constexpr CatalogueText PickOption{MenuGroup, 205};
inline constexpr CatalogueText ScreenTooSmall{MenuGroup, 206};
inline constexpr CatalogueText ScreenSize{MenuGroup, 207};
inline constexpr CatalogueText ScreenNeeded{MenuGroup, 208};
// The menu screen: the hints of the answer line, and a many-of value.
inline constexpr CatalogueText StoreHint{MenuGroup, 230};
inline constexpr CatalogueText HelpHint{MenuGroup, 231};
inline constexpr CatalogueText ExitHint{MenuGroup, 232};
inline constexpr CatalogueText ManyOfOpening{MenuGroup, 270};
inline constexpr CatalogueText ManyOfDefault{MenuGroup, 271};
inline constexpr CatalogueText AnswerLine{MenuGroup, 510};
// Prompts and notices.
inline constexpr CatalogueText NameContinue{MenuGroup, 1000};
inline constexpr CatalogueText NoticeContinue{MenuGroup, 1001};
inline constexpr CatalogueText BadNameCharacter{MenuGroup, 1002};
// Entry validation.
inline constexpr CatalogueText IntRange{MenuGroup, 1003};
inline constexpr CatalogueText HexRange{MenuGroup, 1004};
inline constexpr CatalogueText FloatCharacter{MenuGroup, 1006};
inline constexpr CatalogueText AlnumCharacter{MenuGroup, 1007};
inline constexpr CatalogueText AlphaCharacter{MenuGroup, 1008};
inline constexpr CatalogueText ForbiddenEntry{MenuGroup, 1009};
inline constexpr CatalogueText LiteralMismatch{MenuGroup, 1010};
inline constexpr CatalogueText TwoDots{MenuGroup, 1020};
inline constexpr CatalogueText LongRange{MenuGroup, 1024};
inline constexpr CatalogueText LengthRange{LengthGroup, 42};
inline constexpr CatalogueText LengthExact{LengthGroup, 44};
// The run loop.
inline constexpr CatalogueText NamesMissing{MenuGroup, 1011};
inline constexpr CatalogueText InputFailed{MenuGroup, 1016};
inline constexpr CatalogueText ReturnQuestion{MenuGroup, 1017};
inline constexpr CatalogueText ExitQuestion{MenuGroup, 1018};
} // namespace texts

// Text id into buffer (NlsFetchBufSize bytes); null when the store has no
// such text.
const char *FetchText(CatalogueText id, char *buffer);
// The same, or fallback when the text is missing.
const char *FetchTextOr(CatalogueText id, char *buffer, const char *fallback);
// The format to use for id with the arguments model takes (NlsCoreFormat).
const char *FetchFormat(CatalogueText id, const char *model, char *buffer, bool *found = nullptr);

// Print catalogue format id with the arguments (checked against model,
// which is used when the store lacks a usable text).
[[gnu::format(printf, 2, 3)]] void MenuPrintf(CatalogueText id, const char *model, ...);
// Format into target (at most size - 1 characters) the same way.
[[gnu::format(printf, 4, 5)]] void MenuSnprintf(char *target, size_t size, CatalogueText id,
                                                const char *model, ...);
// Show a catalogue message with PostMsg; nothing at all when the store has
// no such text (a message that cannot be fetched is not shown).
[[gnu::format(printf, 2, 3)]] void MenuNotice(CatalogueText id, const char *model, ...);

// A chosen format (already checked against model, or model itself) with the
// arguments, which the compiler checks against model: formatted into target,
// or shown with PostMsg (nothing at all for a null format).
[[gnu::format(printf, 4, 5)]] void SnprintChosen(char *target, size_t size, const char *format,
                                                 const char *model, ...);
[[gnu::format(printf, 2, 3)]] void NoticeChosen(const char *format, const char *model, ...);

// ---------------------------------------------------------------------------
// Items, states and values
// ---------------------------------------------------------------------------

// Number of items before the end mark.
int ItemCount(const TextMenu *menu);
// Item index of menu, or null when index names no item.
TextMenuItem *ItemAt(TextMenu *menu, int index);

// 1 when label marks a hot key ("~x ..."; a lone "~" is an ordinary label).
bool IsHotKeyLabel(const char *label);
// The label as shown: after "~x " for a hot-key label (never past its end).
const char *ShownLabel(const char *label);

// Number of state names in states (as GetTokenCount with ",").
int CountStates(const char *states);
// The first character of state name n (from 0) inside states, or null.
char *StateNameAt(char *states, int n);
// 1 when state n (from 0) exists and is shown (its mark is not a blank).
bool StateShown(const TextMenuItem *item, int n);

// Bounded copy of text into a value buffer (at most TextValueSize - 1
// characters and a terminator).
void CopyValue(char *buffer, const char *text);
// The value buffer of a text item, allocated when the item has none yet.
char *EnsureTextBuffer(TextMenuItem *item);

// Clamped decimal conversions: the number at text (after leading blanks and
// an optional sign), clamped to the int range; *end (when given) receives
// the position after the digits, or text when there are none.
long long ReadNumber(const char *text, const char **end);

// ---------------------------------------------------------------------------
// Steps shared between the engine's parts
// ---------------------------------------------------------------------------

// The bounds of a D or f validation term (term: its text from the letter
// on), read after the letter and "(": the lower bound, and the upper one when
// a "," directly follows the lower, each as strtold or strtof reads it (a
// bound not read is 0). The position after the "(".
const char *ReadRealBounds(const char *term, long double &min, long double &max);
const char *ReadRealBounds(const char *term, float &min, float &max);

// The pick-list page as PrintPickOneManyScreen draws it (the same result),
// without reading anything: when the screen is too small, the notice is
// shown, *tooSmall set and -1 returned, and the caller waits for the key
// that closes the notice (WaitForKey).
int DrawPickOneManyScreen(TextMenuItem *item, intptr_t *hidden, int first, bool *tooSmall);

// PostMsg on a va_list.
[[gnu::format(printf, 1, 0)]] void VPostMsg(const char *format, va_list args);
// Flush standard output and wait for one character of standard input (the
// key that closes a notice drawn on the screen).
void WaitForKey();

} // namespace menu_detail
