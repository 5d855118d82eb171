// NlsUtils: the translated string store.
//
// The user-visible texts of the library's terminal tools live in cached
// record stores (Dbm.h), one directory of stores per language:
// <tool path>/db/<language>/<name>.udb. A text is addressed by a group number
// and an index; its record key is "<group>_<index>" and its data the
// NUL-terminated text (ISO 8859-1 bytes). The language is chosen once per
// process from LANG and the translation table "trans.conf" of the tool
// directory (or, without one, from text 999/1 of the English core store).
// A text that is missing never fails: the caller gets the key text instead.
//
// Ownership: NlsFetchString's results are the caller's buffer, or new blocks
// of the block memory manager the caller releases with PutMem, except
// pNlsFallback ("Error"), which lives in static storage and must not be
// released (a stray PutMem on it is ignored). pNLSLang, pTransTable and the
// stores opened into pDrvCoreDB live for the whole process. NlsFetchBuf and
// NlsValBuf are overwritten by the next call that uses them.
//
// Single-threaded: the language, the table and the buffers are process-wide.
#pragma once

#include "Dbm.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>

inline constexpr size_t NlsFetchBufSize = 2048;   // longest fetched text + terminator
inline constexpr size_t NlsValBufSize = 17;       // "%08X%08X" + terminator
inline constexpr size_t NlsTransTableSize = 8192; // the normalised translation table
inline constexpr size_t NlsGuiTextSize = 1024;    // each text NlsGuiStrCvt inserts, + terminator

// NlsFetchString kinds.
enum NlsKind : int {
    NlsByIndex = 0, // group, index
    NlsByKey = 1,   // key text
    NlsByKey2 = 2,  // key text (the same as NlsByKey)
    NlsLong = 3,    // group, index; any length, always a new block
};

extern char *pNLSLang;     // the chosen language, e.g. "en_US"; null until first chosen
extern DbT *pDrvCoreDB;    // the core string store ("CoreString") of the chosen language
extern char *pTransTable;  // the normalised translation table, loaded once
extern char *pNlsFallback; // "Error" (static storage), set on the first fetch
extern char NlsFetchBuf[NlsFetchBufSize]; // receives the data of each fetch
extern char NlsValBuf[NlsValBufSize];     // NlsCalcStrVal's result

// Normalise the translation file <tool path>/<fileName> into a new text:
// each word followed by a blank, a line's last word (and the word after
// "Default") by a blank and a line feed, "=" as "= ", comments and extra
// white space dropped; at most NlsTransTableSize - 1 bytes (a longer table
// is cut after its last complete line). Null when the file is missing or
// empty.
char *ParseTransFile(const char *fileName);

// The chosen language, computed on the first call from LANG (cut at its
// first ".") and the translation table; "en_US" when nothing else applies.
// Without a trans.conf, opens "en_US/CoreString" into pDrvCoreDB to read the
// table from text 999/1.
char *GetDesiredNLSLang();

// Open the store <tool path>/db/<language>/<name>.udb with DbTOpen and flags.
// For an English language whose store has no content (missing, empty or
// unreadable), prints "ERROR:  Could not open English database:  <path>\n"
// on standard error and yields null; any other language yields the handle,
// which may be empty (lookups then miss).
DbT *NlsOpenDB(const char *name, int flags);

// pDrvCoreDB, opened on first need when the application has not set it:
// NlsOpenDB("CoreString", DbTKeepLoaded) for the chosen language, or the
// English store when that language's store has no texts (tried once; the
// English store GetDesiredNLSLang opened to read its table is replaced and
// closed when another language's store is taken). Null when no core store
// can be had; every fetch copes with that.
DbT *NlsGetCoreDB();

// Forget the chosen language and the translation table, and close the core
// store, as at program start: the next call chooses again (for programs that
// change LANG, and for tests).
void NlsReset();

// Fetch one text. The arguments after kind: group and index (int, int) for
// NlsByIndex and NlsLong; the key (const char *) for NlsByKey and NlsByKey2.
//   Found, kinds 0-2: the text (cut at NlsFetchBufSize - 1 bytes) copied into
//     buffer, which must hold NlsFetchBufSize bytes, and buffer returned; with
//     a null buffer a new copy.
//   Found, kind 3: a new block holding the whole text.
//   Missing: the key text, copied into buffer when one is given (and then
//     buffer returned, except for kind 3), else as a new copy.
//   Null store: kinds 0 and 3 with non-zero group and index are a miss; every
//     other call (and an unknown kind or a null key) yields pNlsFallback.
char *NlsFetchString(DbT *db, char *buffer, int kind, ...);

// 1 when format is safe to hand to printf with the arguments that model's
// conversions take: no "%n", no "*" width or precision, no positional "$",
// only known conversions, and the same sequence of argument kinds as model
// (int, long, long long, size, double, long double, string, pointer); with a
// null model only the safety checks apply. Used before printing any format
// fetched from a store.
int NlsCheckFormat(const char *format, const char *model);

// Fetch the format <group>_<index> (kind 1) and print it to stream with the
// remaining arguments; prints "Error" when it is missing or not a safe
// format. Yields 1 when the fetched format was printed, else 0.
int Nlsfprintf(FILE *stream, DbT *db, int group, int index, ...);
// Fetch the format <group>_<index> (kind 0) and format it into target with
// the remaining arguments; writes "Error" when it is missing or not a safe
// format (nothing for a null target). target must be large enough: library
// code uses Nlssnprintf. Yields 1 when the fetched format was used, else 0.
int Nlssprintf(char *target, DbT *db, int group, int index, ...);
// The bounded form used by the library: at most size - 1 bytes and a
// terminator. The fetched format must take the same arguments as model (the
// caller's built-in English text, checked against the arguments by the
// compiler); otherwise "Error" is written.
[[gnu::format(printf, 6, 7)]] int Nlssnprintf(char *target, size_t size, DbT *db, int group,
                                              int index, const char *model, ...);

// Clear target (targetSize bytes) and copy source into it, replacing the
// n-th "%s" by text <group>_<n> of the core store (n from 1, each text cut
// at NlsGuiTextSize - 1 bytes); at most targetSize - 1 bytes are written.
// Yields target.
char *NlsGuiStrCvt(const char *source, int group, char *target, size_t targetSize);

// NlsValBuf holding "%08X%08X" of two 32-bit sums over the text's characters
// c(k) (signed 8-bit) at positions k = 1, 2, ...: sum c(k) * k * k, and sum
// c(k), both modulo 2^32. "0000000000000000" for an empty or null text.
char *NlsCalcStrVal(const char *text);

// ---------------------------------------------------------------------------
// Menu texts (TextMenu.h): checked formats of the core store, and a text of
// group 25
// ---------------------------------------------------------------------------

// The group of the menu engine's own texts and of the item texts below.
inline constexpr int NlsMenuGroup = 25;

// Text group/index of the core store (NlsGetCoreDB) copied into buffer
// (NlsFetchBufSize bytes), or null when the store has no such text (or there
// is no store): unlike NlsFetchString, no key text stands in for it.
const char *NlsCoreText(int group, int index, char *buffer);
// The format to use for text group/index with the arguments that model (the
// caller's built-in English text) takes: the stored text when it takes the
// same arguments (NlsCheckFormat), else model itself, also when the store
// lacks the text. buffer holds NlsFetchBufSize bytes; *found (when given)
// tells whether the store had the text.
const char *NlsCoreFormat(int group, int index, const char *model, char *buffer,
                          bool *found = nullptr);
// Print text group/index with the arguments to standard output, or format it
// into target (at most size - 1 characters and a terminator), using the
// format NlsCoreFormat chooses. The compiler checks the arguments against
// model. For the menu engine and the programs built on it: unlike
// Nlsfprintf and Nlssnprintf, a missing or unusable text prints the English
// model, never "Error".
[[gnu::format(printf, 3, 4)]] void NlsCorePrintf(int group, int index, const char *model, ...);
[[gnu::format(printf, 5, 6)]] void NlsCoreSnprintf(char *target, size_t size, int group, int index,
                                                   const char *model, ...);
[[gnu::format(printf, 3, 0)]] void NlsCoreVPrintf(int group, int index, const char *model,
                                                  va_list args);
[[gnu::format(printf, 5, 0)]] void NlsCoreVSnprintf(char *target, size_t size, int group, int index,
                                                    const char *model, va_list args);

// *text = a new copy of text 25/index (the caller owns it; an earlier text
// is not released). Its siblings that fill menu records (NlsTtyMenuItemCvt,
// NlsTtyMenuItemStateCvt, NlsTtyMenuItemPromptCvt) take the engine's
// TextMenuItem and so live with the engine: TextMenu.h.
void NlsTtyMenuCvt(const char **text, int index);
