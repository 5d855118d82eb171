// utils: the support library's text toolkit, files and directories, the log
// and error reporting, and the in-place text-file edits.
//
// Ownership: texts returned by the SaveStr family and by the other operations
// documented as "new text" are blocks of the block memory manager (MemMgr.h)
// that the caller releases with PutMem. The tokenizer returns GetTokenBuf, the
// path functions, FileSearch and GenName return their own static buffers, and
// the search functions return positions inside the caller's text; each of
// those is overwritten by the next call of the same kind. The shared buffers
// (GetTokenBuf, Line, LineBuf) and the shared files (pIn, pOut) belong to the
// library.
//
// How the sections meet the runner (SysCmd.h): CreateFile, DeleteFile and
// RenameFile run mkdir, touch, chmod, chown, chgrp, rm and mv through SysCmd;
// SysCmd logs through PutLogMsg; the command search lists directories with
// the directory functions here. Paths given to these functions are quoted
// for the shell by them; callers pass plain paths.
//
// Sections: strings and tokens (utils_strings.cpp, utils_tokens.cpp); files
// and directories (utils_files.cpp, utils_input.cpp); log and error reporting
// (utils_log.cpp); text-file edits and the comment-filtering line reader
// (utils_edit.cpp, utils_getline.cpp); the raw command form (utils_raw.cpp).
// FileReplace.h, the other public header of utils, writes a kept file so
// that a failure never costs its old content (CreateTextFile writes
// through it; its code is in utils_files.cpp).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <sys/types.h>

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
// SaveStr on an argument list, for formatting functions of their own
// (args is used up, as by vsnprintf: va_copy it to format twice).
[[gnu::format(printf, 1, 0)]] char *VSaveStr(const char *format, va_list args);
// The same, yielding none when memory runs out instead of ending the
// program: for reports that must get out even then.
[[gnu::format(printf, 1, 0)]] char *VSaveStrOrNone(const char *format, va_list args);

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
// Files and directories
// ---------------------------------------------------------------------------

inline constexpr size_t LineBufSize = 4096;      // the reader's line; whole-file reads
inline constexpr int FileLineChars = 510;        // characters of one physical line read
inline constexpr size_t InputFileNameSize = 256; // InputFileName: 255 characters + terminator
inline constexpr size_t FormatPathSize = 512;    // paths formatted by OpenFileF, OpenInputFileF
inline constexpr size_t FileSearchSize = 512;    // FileSearch's line buffer

// Error levels of the open operations and ErrorMsg.
enum ErrorLevel : int {
    ErrSilent = 0, // say nothing (as any other value)
    ErrReport = 1, // report and go on
    ErrFatal = 2,  // report and end the program
};

// GetFileType codes; the link itself is examined, not its target.
enum FileType : int { FileMissing = 0, FileDirectory = 1, FileLink = 2, FileOther = 3 };

// FileStatus values of the input-file reader.
enum InputState : int { InputOpen = 0, InputClosed = 1, InputFailed = 2 };

// The one input-file reader (also the input of the edits' OpenIOFiles) and
// the edits' output; the menu settings functions read and write them too.
extern FILE *pIn;
extern FILE *pOut;
extern char InputFileName[InputFileNameSize]; // last file given to OpenInputFile (cut to fit)
extern int FileStatus;                        // an InputState
extern char LineBuf[LineBufSize];             // the reader's current line; GetFileContent's text
extern int LineLen;          // length of the physical lines before the last of a continued line
extern size_t SavedFileSize; // bytes read by the last GetSavedFileContent

// Existence and type.
// 1 when name is an entry of directory (whole entry names compared; needs
// read permission on the directory, not access to the entry). With no
// directory, name is a full path; with no or an empty name, directory is
// split into its directory part and last piece; a name holding "/" is
// joined to directory and split again at its last "/". 0 otherwise.
int FindFile(const char *directory, const char *name);
// The same question answered by stat on "<directory>/<name>" (or directory).
int FindFile_(const char *directory, const char *name);
int GetFileType(const char *path);    // a FileType
off_t GetFileSize(const char *path);  // bytes; 0 when stat fails
time_t GetFileTime(const char *path); // modification time; 0 when stat fails
// The nearest existing path: path itself, else its parents in turn (the
// chain ends at "/" or "." or where the parent no longer changes). Sets
// *exists to 1 when path itself exists, leaves it untouched otherwise. New text.
char *FindExistingPath(const char *path, int *exists);

// Opening. On failure level 2 ends the program through SysError ("can't open
// file, <path>", status 1) and level 1 prints "ERROR: can't open file, <path>"
// on standard error. file, when given, is closed first.
FILE *OpenFile(FILE *file, const char *path, const char *mode, int level);
// The same with the path formatted; a path longer than FormatPathSize - 1
// counts as an open failure.
[[gnu::format(printf, 4, 5)]] FILE *OpenFileF(FILE *file, const char *mode, int level,
                                              const char *format, ...);
// A stream opened by one of the above, held for one scope: every way out
// closes it (as ScopedMem, MemMgr.h, holds a GetMem area).
struct ScopedFile {
    FILE *f = nullptr;
    explicit ScopedFile(FILE *opened) : f(opened) {}
    ScopedFile(const ScopedFile &) = delete;
    ScopedFile &operator=(const ScopedFile &) = delete;
    ~ScopedFile() {
        if (f != nullptr) fclose(f);
    }
};
// open(2); on failure "ERROR: can't open file, <path>" (no line feed) on
// standard output. Yields the descriptor, negative on failure.
int OpenRawFile(const char *path, int flags);
// The first line of path (at most 510 characters) containing text, or the
// first line when text is absent, in a static buffer the next call
// overwrites; none when no line matches or the file cannot be opened.
char *FileSearch(const char *path, const char *text, int level);

// The input-file reader. OpenInputFile yields 1 when path opened (FileStatus
// InputOpen); on failure it reports through ErrorMsg(level, 0, "can't open
// file, <path>") (level 2 ends the program with status 0), sets FileStatus to
// InputFailed, empties LineBuf and yields 0.
int OpenInputFile(const char *path, int level);
[[gnu::format(printf, 2, 3)]] int OpenInputFileF(int level, const char *format, ...);
// Next line into LineBuf: at most 510 characters of a physical line (the
// rest of a longer line is skipped); a line ending in backslash + line feed
// is continued by the next one behind it (backslash and line feed kept), up
// to LineBufSize - 1 characters. Yields 1, or 0 at the end (the file is then
// closed: FileStatus InputClosed) or when no file is open.
int GetFileLine();
// Next line that is not a "#" comment and holds a token: its first token
// (split at delimiters) moved to the start of LineBuf. Yields 1, or 0 at the
// end or when delimiters is absent.
int GetFileTextLine(const char *delimiters);
void CloseInputFile(); // FileStatus InputClosed

// Whole-file reads of "<directory>/<name>" (directory alone when name is
// absent). GetFileContent: at most LineBufSize - 1 bytes into LineBuf,
// terminated. GetFileContentR: at most size bytes into buffer, which holds
// size + 1. Both yield 1 when the file could be opened, else 0.
int GetFileContent(const char *directory, const char *name);
int GetFileContentR(const char *directory, const char *name, char *buffer, int size);
// The whole file as a new text (its size in SavedFileSize); none for an
// empty or missing file, or when memory runs out (reported as a warning).
char *GetSavedFileContent(const char *directory, const char *name);

// write(2) of all n bytes of data, retried when a signal interrupts it and
// continued when the system takes only part. 1 when everything was written;
// else 0 with errno set (EIO when the system took nothing and said nothing).
int WriteAll(int fd, const void *data, size_t n);

// Creating, deleting, renaming through the runner. Paths are quoted here.
// CreateFile: mkdir -p directory when it does not exist; with name, touch
// "<directory>/<name>"; then chmod mode, chown owner, chgrp group on the
// target (each when given). Every command runs in mode 2: a failure ends the
// program with status 1.
void CreateFile(const char *directory, const char *name, const char *mode, const char *owner,
                const char *group);
// Create or rewrite path with the formatted text; openMode is an fopen mode
// ("wt", "w+", "a"); permissions, when non-zero, are set on the file (else
// an existing file keeps its own). The text is written beside the file and
// renamed over it once every write, the flush and the close succeeded, so a
// failed write leaves an existing file untouched and no partial file behind;
// a link at path is replaced, never followed, and a device (/dev/full) is
// written in place, its mode left alone. Yields 1 when written; else 0 after "ERROR: couldn't
// open <path>" (the file cannot be made) or "ERROR: couldn't write <path> :
// <system error text>" on standard error.
[[gnu::format(printf, 4, 5)]] int CreateTextFile(const char *path, const char *openMode,
                                                 int permissions, const char *format, ...);
// rm -rf "<directory>/<name>" (name alone without directory; directory alone
// without name) in mode 1 when it exists. Yields 1 when the path is gone or
// was missing (nothing run), 0 when rm failed (logged as a warning).
int DeleteFile(const char *directory, const char *name);
// The same, the existence tested on path and name, or on path's parts.
int DeleteFile_(const char *path, const char *name);
// mv -f (unshown, mode 1) "<directory>/<oldName>" to "<directory>/<newName>"
// when oldName exists there; without directory the names are full paths.
// Yields 1 when moved, 0 when oldName is missing or mv failed.
int RenameFile(const char *directory, const char *oldName, const char *newName);

// Directories. A listing is one new text " . .. name name " (each entry after
// a blank, a final blank), in the order the directory yields them.
char *ReadDir(DIR *handle, int unused);      // next entry name, or none
char *GetDirFileList(const char *directory); // none when it cannot be read
// Entries whose text after their last "." equals extension; with no
// extension every entry but "." and "..". None when unreadable or empty.
char *SearchDirFileList(const char *directory, const char *extension);

// Environment and identity; each yields a new text.
char *GetEnv(const char *name); // the value, or none when not set
// The whoami line (when located), else "root" for uid 0 or "User ID:  <uid>".
char *GetUserName();
char *GetHostname(); // none on failure
// The directory the program was started from, given the first command-line
// word: "/x/setup" gives /x; "setup" and "./setup" the current directory;
// "./d/setup" and "d/setup" <cwd>/d; "../d/setup" the resolved parent path.
char *GetToolPath(const char *programPath);

// The raw command form: format the line (at most RawCmdLineSize - 1
// characters; a longer one is refused), print it in mode 1 and 2, run it
// with system. In mode 1 a failure is reported with perror's "ERROR" prefix;
// in mode 2 any failure prints "ERROR: unable to locate system command
// '%s'" and ends the program with status 1. Then "/usr/bin/sleep 1" runs.
// Yields the command's status as SysCmd does (the run goes on in modes 0, 1).
[[gnu::format(printf, 2, 3)]] int SysCmdP(int mode, const char *format, ...);

// ---------------------------------------------------------------------------
// Log and error reporting
// ---------------------------------------------------------------------------

// The program's base name: used in messages, the log name and temporary names.
extern const char *my_name;

extern uint8_t flUseLog;        // 1: PutLogMsg writes; SysCmd sends command output to the log
extern const char *pLogPath;    // the log directory, "/tmp" (set by every PutLogMsg)
extern FILE *pLog;              // the log while one message is written; none otherwise
extern uint8_t flLogFirstWrite; // 1: the next message truncates the log
extern uint8_t flLogFailed;     // 1: a failure of the log was reported; later ones are silent

// Append one message to "/tmp/<my_name>.log" (the first of a run truncates
// it). The log is never written through a symbolic link or into anything
// but a regular file of this user: such a thing is removed, and a new log is
// created with mode 666. When it cannot be opened, "ERROR: couldn't open
// <path>" goes to standard error and the message is lost; when the message
// cannot be written or the file closed, "ERROR: couldn't write <path>". Only
// the first failure of a run is reported (flLogFailed); every message tries
// the log afresh, and a log failure never ends the run.
[[gnu::format(printf, 1, 2)]] void PutLogMsg(const char *format, ...);
// Make sure the log is this user's own regular file as PutLogMsg does,
// without writing to it (a missing log is created empty with mode 666).
// Yields 1 when it is, 0 when it cannot be made so (reported as PutLogMsg
// reports an open failure). The runner calls it before the shell appends
// command output to the log.
int PrepareLogFile();
// Where a command line sends what belongs in the log: the log's path when
// logging is on and PrepareLogFile succeeds, else "/dev/null". New text.
char *LogRedirectPath();

// Fatal error: "\n<my_name>: <message> : <system error text>\n" on standard
// error, then exit status 1.
[[noreturn, gnu::format(printf, 1, 2)]] void SysError(const char *format, ...);
// Level 1: "WARNING: <message>" on standard error; level 2: "ERROR: <message>"
// on standard error and the program ends with status; other levels: nothing.
// The message is formatted into Line.
[[gnu::format(printf, 3, 4)]] void ErrorMsg(int level, int status, const char *format, ...);
// "<my_name>: <message>\n" on standard error.
[[gnu::format(printf, 1, 2)]] void errormsg(const char *format, ...);
[[noreturn]] void exit_app(int status);

// ---------------------------------------------------------------------------
// Text-file edits and the comment-filtering line reader
// ---------------------------------------------------------------------------
//
// Each edit streams "<name>.<ext>" (name alone for an empty ext) through the
// output "<name>.<ext>out" ("<name>.out"), then replaces the input with it
// ("rm -f" and "mv" through the shell). Lines are handled in pieces of at
// most 510 characters. An input or output that cannot be opened, or a name
// longer than EditNameSize - 1, ends the program with status 1 before
// anything is changed. The output is never created through a link and gets
// the input's permissions. The input is replaced only when every write, the
// flush and the close of the output succeeded and the input was read to its
// end; otherwise the output is removed, the input stays as it was and the
// program ends with status 1 ("<my_name>: can't write file, <input> :
// <system error text>", or "can't read file").

inline constexpr size_t EditNameSize = 128; // Fn, FnOut: 127 characters + terminator
inline constexpr size_t GenNameSize = 128;  // GenName's result buffer

extern char Fn[EditNameSize];      // input name set by OpenIOFiles
extern char FnOut[EditNameSize];   // output name: Fn + "out"
extern uint8_t flInputFilterState; // 1: GetLine strips comments and leading white space
extern long InPos;                 // where the line last read by GetLine began
extern int LineCnt;                // physical lines consumed by the last GetLine
extern char *pLine;                // Line, where GetLine leaves its line

// The first occurrence of search in each line becomes replacement.
void FileChange(const char *name, const char *ext, const char *search, const char *replacement);
// Every occurrence of the character code (a "%i" text: 13, 015, 0xd) becomes
// the bytes of the comma-separated codes of replacement (none: deleted).
void FileChangeChar(const char *name, const char *ext, const char *code, const char *replacement);
// Lines holding text: the first skip of them unchanged, in the later ones the
// first occurrence of text deleted.
void FileDel(const char *name, const char *ext, int skip, const char *text);
// Command "" deletes target from lines, "a" cuts lines after it, "b" deletes
// what precedes it, "c" deletes every character of code target, "l" deletes
// the lines. Yields 0 after a pass, 1 for any other command (nothing changed).
int FileDelFormat(const char *name, const char *ext, const char *command, const char *target);
// text before every line (FileInsert) or before lines holding search. text
// may hold "%s<start>" (counter start, removed) and "%#<threshold>": from the
// line where the counter reaches threshold, "%#<threshold>" is replaced by the
// counter minus threshold as five digits; before that nothing is inserted.
void FileInsert(const char *name, const char *ext, const char *text);
void FileSearchInsert(const char *name, const char *ext, const char *text, const char *search);
// Lines holding search are deleted except the first keep of them.
void FileDelLine(const char *name, const char *ext, int keep, const char *search);
// Pairs of marker lines deleted (the first keep start lines stay); the lines
// between them stay.
void FileDelLinePair(const char *name, const char *ext, int keep, const char *start,
                     const char *end);

// Next line of pIn into Line (pieces of at most 510 characters). With
// flInputFilterState: "//" comments, "/* */" comments (also over several
// physical lines), leading white space and the line end removed. Yields the
// physical lines consumed, 0 at end of input.
int GetLine();
int GetLineN(int n);           // GetLine n times; the last result (0 for n = 0)
int GetLinePos(long position); // GetLine from position (from the start of pIn)
char *fgetsp(char *buffer, int size, FILE *file, long position); // fgets from position

// Set Fn and FnOut, open pIn ("rt") and pOut ("wt", no link followed) at
// level 2, closing what they held. Yields 1.
int OpenIOFiles(const char *name, const char *ext, int unused);
// Close pIn and pOut, then "rm -f Fn" and "mv FnOut Fn" through the shell;
// a failed write to pOut or read of pIn ends the program first, as above,
// and so does a failed mv (the text is then left in FnOut, as the message
// says).
void ReplaceInputFile();
// Mixed-case name from the words of text ("hello world-2x" gives
// HelloWorld2x) in a static buffer the next call overwrites.
char *GenName(const char *text);
