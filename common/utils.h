// utils: the support library's text toolkit, files and directories, the log
// and error reporting, and the in-place text-file edits.
//
// Ownership: texts returned by the SaveStr family and by the other operations
// documented as "new text" are blocks of the block memory manager (MemMgr.h)
// that the caller releases with PutMem. The tokenizer returns GetTokenBuf, the
// path functions return their own static buffers, and the search functions
// return positions inside the caller's text; each of those is overwritten by
// the next call of the same kind. The shared buffers (GetTokenBuf, Line)
// belong to the library.
//
// Sections: strings and tokens (utils_strings.cpp, utils_tokens.cpp); log
// and error reporting (utils_log.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Strings and tokens
// ---------------------------------------------------------------------------

inline constexpr size_t TokenBufSize = 128; // GetTokenBuf: 127 characters + terminator
inline constexpr size_t LineSize = 262143;  // the scratch line
inline constexpr size_t PathBufSize = 4096; // each path function's result buffer

// Shared tokenizer state. None of it is safe to use from two interleaved scans.
extern char *szIn;                     // where GetToken/GetTokenParse continue
extern char *szTokenIn;                // where the last shared-tokenizer call stopped
extern char chTokenDel;                // delimiter that ended the last token; 0 at end of text
extern char GetTokenBuf[TokenBufSize]; // the token returned by GetToken
extern char Line[LineSize];            // general scratch line

// Set by GetToken and GetTokenD when the token had more than 127 characters:
// the result holds the first 127 and the cursor is past the whole token. A
// caller that acts on names (copies, commands) must refuse a cut token.
extern int flTokenTruncated;

// Passed as the text to GetToken or GetTokenD: continue at the cursor in
// end-of-line mode (a token ended by a line feed yields none).
inline char *const pTokenEol = reinterpret_cast<char *>(intptr_t(-1));

// Formatted text (as printf) in a new block of exactly its length plus
// terminator. Ends the program through SysError when memory runs out.
[[gnu::format(printf, 1, 2)]] char *SaveStr(const char *format, ...);
// The same; an absent format yields none.
[[gnu::format(printf, 1, 2)]] char *SaveStr__(const char *format, ...);
// Plain copy of text, never read as a format; none for an absent text.
char *SaveStr_(const char *text);

// Start the shared scan at text (sets szIn and szTokenIn); GetTokenBufInput
// yields szIn.
void SetTokenBuf(char *text);
char *GetTokenBufInput();

// Next token of the shared scan, escapes resolved (\n, \r, \t; any other
// escaped character stands for itself), copied into GetTokenBuf. A given text
// starts a new scan, none continues, pTokenEol continues in end-of-line mode.
// Leading delimiters are skipped. Yields GetTokenBuf, or none at the end.
char *GetToken(const char *text, const char *delimiters);
// Next token cut in place: the delimiter after it becomes a terminator and
// the result points into text. Escapes are stepped over and left in the token.
char *GetTokenParse(char *text, const char *delimiters);
// The n-th token (from 1; below 1 means the first) of text, or none.
char *GetTokenN(const char *text, const char *delimiters, int n);
// Number of tokens GetToken yields for text; leaves the shared scan as it was.
int GetTokenCount(const char *text, const char *delimiters);
// Reentrant GetToken on the caller's cursor; out must hold TokenBufSize bytes.
char *GetTokenD(const char *text, const char *delimiters, const char **cursor, char *out);
// Split text in place into at most max words (runs of non-delimiters);
// clears words[0..max) first; yields the number of words.
int ParseStr(char *text, const char *delimiters, char **words, int max);

// Positions in delimited lists (separator = the list's first character).
int FindToken(const char *token, const char *list);  // 1-based, exact; 0 when absent
int FindTokenC(const char *token, const char *list); // the same, ignoring case
// 1-based position of the first piece of list (split at delimiter; a leading
// delimiter makes an empty first piece) equal to token; 0 when none.
int FindTokenWithDelim(const char *list, const char *token, char delimiter);

// Searches; each yields a position in text or none.
char *StrStr(const char *text, const char *pattern);         // none for absent/empty inputs
char *StrCaseStr(const char *text, const char *pattern);     // ignoring case; inputs unchanged
char *StrChr(const char *text, int c);                       // first c not escaped by a backslash
char *StrNChr(const char *text, int c, int n);               // n-th c (from 1)
char *StrNStr(const char *text, const char *pattern, int n); // n-th, overlapping
int StrLen(const char *text);                                // 0 for an absent text
char *SkipSpace(const char *text);                           // first non-white-space position

// Path functions; each yields its own static buffer (cut at PathBufSize - 1).
char *StripExt(const char *path);      // before the first "."; a leading "." keeps it whole
char *StripPathName(const char *path); // "" for "." and ".."; else as StripPathExt
char *StripPath(const char *path);     // last "/" piece; trailing slashes ignored
char *StripPathExt(const char *path);  // last piece up to its first "."
char *StripFn(const char *path);       // directory part: "/" or "." at the extremes

// One line of standard input without its line feed, at most size - 1
// characters (the rest stays for the next call). Byte 0xFF counts as end of
// input. Yields buffer, or none at end of input when nothing was read.
char *Gets(char *buffer, int size);

// Sort the tokens of a delimited text in place (stable; by bytes, or ignoring
// case), leading delimiters staying in front. The result has the input's
// length and ends with a delimiter only when the input did. Yields list.
char *SortTokens(char *list, char delimiter, int ignoreCase);

// Copy n bytes, in reverse order when reverse is set (byte-order change).
void SetVarContent(void *destination, const void *source, int n, int reverse);
double MaxD(double a, double b); // b when equal

// Length units for CvtFloatFormat.
enum LengthUnit { UnitInch = 0, UnitCentimetre = 1, UnitPoint = 2 };
float CvtFloatFormat(float value, int from, int to);

char *StripAllBackslashes(char *text);     // in place; yields text
char *StripNonPrint(char *text, int flag); // keep letters, digits, punctuation, blanks

// ---------------------------------------------------------------------------
// Log and error reporting
// ---------------------------------------------------------------------------

// The program's base name: used in messages, the log name and temporary names.
extern const char *my_name;

// Fatal error: "\n<my_name>: <message> : <system error text>\n" on standard
// error, then exit status 1.
[[noreturn, gnu::format(printf, 1, 2)]] void SysError(const char *format, ...);
