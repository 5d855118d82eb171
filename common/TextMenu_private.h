// TextMenu_private: helpers shared by the menu engine's source files; not
// part of the engine's interface.
#pragma once

#include "TextMenu.h"

#include <cstdarg>
#include <cstddef>

namespace menu_detail {

// Catalogue groups of the engine's texts.
inline constexpr int MenuGroup = 25;
inline constexpr int LengthGroup = 30;

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

// Catalogue texts. Fetch group/index from the core string store into buffer
// (NlsFetchBufSize bytes); null when the store has no such text.
const char *FetchText(int group, int index, char *buffer);
// The same, or fallback when the text is missing.
const char *FetchTextOr(int group, int index, char *buffer, const char *fallback);
// A fetched format that is safe to use with the arguments model takes;
// model itself when the stored text is missing or does not match. *found
// (when given) tells whether the store had the text.
const char *FetchFormat(int group, int index, const char *model, char *buffer,
                        bool *found = nullptr);

// Print catalogue format group/index with the arguments (checked against
// model, which is used when the store lacks a usable text).
[[gnu::format(printf, 3, 4)]] void MenuPrintf(int group, int index, const char *model, ...);
// Format into target (at most size - 1 characters) the same way.
[[gnu::format(printf, 5, 6)]] void MenuSnprintf(char *target, size_t size, int group, int index,
                                                const char *model, ...);
// Show a catalogue message with PostMsg; nothing at all when the store has
// no such text (a message that cannot be fetched is not shown).
[[gnu::format(printf, 3, 4)]] void MenuNotice(int group, int index, const char *model, ...);

// PostMsg on a va_list (format already chosen by the caller).
void VPostMsg(const char *format, va_list args);
// Print a chosen format with arguments; the compiler checks them against
// model, the text printed is format.
[[gnu::format(printf, 2, 3)]] void PrintChosen(const char *format, const char *model, ...);
[[gnu::format(printf, 4, 5)]] void SnprintChosen(char *target, size_t size, const char *format,
                                                 const char *model, ...);

} // namespace menu_detail
