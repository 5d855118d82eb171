// SysCmd: the system command runner. It knows the fixed table of system
// commands (ComList), finds them on a fixed search path, runs them through
// the shell with fixed conventions for output, logging and failure, captures
// their output, and parses the process, disk and package listings.
//
// How the layer fits together (all in the support library):
//   table and search (SysCmd_table.cpp) -- lists directories with the file
//       functions of utils.h, writes "initializing system" to the log;
//   runner (SysCmd_run.cpp) -- formats one command line for a table index,
//       logs it with PutLogMsg, runs it through SysCmdOs.xSystem or
//       SysCmdOs.xPopen, waits as the table says (the -1 wait looks at the
//       process list through GetSysPsIdList);
//   queries (SysCmd_query.cpp) -- run ps, df, du, pkginfo, lpd through
//       GetCmdResponse and parse what they print (SysCmd_parse.cpp);
//   quoting (SysCmd_quote.cpp) -- paths made single shell words.
// The file functions of utils.h (CreateFile, DeleteFile, RenameFile) run
// mkdir, touch, chmod, chown, chgrp, rm and mv through SysCmd.
//
// Ownership: GetCmd, GetCmdNoFlags, GetCmdResponseStr, ShellQuote,
// SysCmdQuote and the queries that yield texts return new blocks of the block
// memory manager (MemMgr.h) that the caller releases with PutMem; a response
// list is released with FreeResponseList. The table's path texts, the
// FullSearchPath and the SHELL entry live until the program ends.
//
// Single-threaded. The lazy lookup and the queries use the shared scratch
// line Line; none of them touches the shared tokenizer of utils.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sys/types.h>

// ---------------------------------------------------------------------------
// Command table and path search
// ---------------------------------------------------------------------------

// Indices of ComList. The numbers are fixed: callers and stored behaviour
// rest on them. 0 and 1 are not commands: the caller's text is the whole
// command line (0 unshown, 1 shown). A negative table index runs the command
// of the same absolute value unshown (no log line, no redirection).
enum ComIndex : int {
    CmdTextUnshown = 0,
    CmdText = 1,
    CmdCancel = 2,
    CmdCat = 3,
    CmdChgrp = 4,
    CmdChmod = 5,
    CmdChown = 6,
    CmdClear = 7,
    CmdCompress = 8,
    CmdCp = 9,   // cp -p
    CmdCpR = 10, // cp -pr
    CmdCupsd = 11,
    CmdId = 12,
    CmdEcho = 13,
    CmdEjectF = 14, // eject -f
    CmdEjectQ = 15, // eject -q
    CmdFile = 16,
    CmdLn = 17,
    CmdLp = 18,
    CmdLpc = 19,
    CmdLpr = 20,
    CmdLprm = 21,
    CmdLpstat = 22,
    CmdLs = 23,
    CmdKill = 24,  // kill -KILL
    CmdMv = 25,    // mv -f
    CmdMkdir = 26, // mkdir -p
    CmdMore = 27,
    CmdPing = 28,
    CmdRm = 29,  // rm -f
    CmdRmR = 30, // rm -rf
    CmdSh = 31,  // the shell every table command runs in
    CmdSleep = 32,
    CmdTarC = 33, // tar cvfp
    CmdTarX = 34, // tar xvfp
    CmdTouch = 35,
    CmdUncompress = 36,
    CmdWhoami = 37,
    CmdZcat = 38,
    CmdUname = 39,
    CmdSed = 40,
    CmdDu = 41, // du -s
    CmdCheckpc = 42,
    CmdLpd = 43,
    CmdPkgadd = 44,
    CmdPkginfo = 45,
    CmdPkgrm = 46,
    CmdAccept = 47,
    CmdDisable = 48,
    CmdEnable = 49,
    CmdLpadmin = 50,
    CmdLpfilter = 51,
    CmdLpsched = 52,
    CmdLpshut = 53,
    CmdLpsystem = 54,
    CmdPs = 55, // ps -e
    CmdBar = 56,
    CmdDf = 57,  // df -b
    CmdLpq = 58, // lpq -P
    CmdYpcat = 59,
    CmdReject = 60,
    CmdPmadm = 61,
    CmdSacadm = 62,
    CmdVolcheck = 63,
    CmdCapture = 64,
    CmdLpset = 65,
    CmdInstnetpr = 66,
    CmdPiomkpq = 67,
    CmdPiomiscExt = 68,
    CmdPiomiscBase = 69,
    CmdLsallq = 70,
    CmdMkque = 71,
    CmdMkquedev = 72,
    CmdRmque = 73,
    CmdRmquedev = 74,
    CmdPiochdfq = 75,
    CmdEnq = 76,
    CmdLsquedev = 77,
    CmdLsque = 78,
    CmdStartsrc = 79,
    CmdStopsrc = 80,
    CmdLssrc = 81,
    CmdEnd = 82, // no name: ends the table
    ComListSize = 83,
};

// What the runner waits for after a command (the wait field).
inline constexpr int32_t CmdWaitNone = 0;
inline constexpr int32_t CmdWaitProcess = -1; // until a process of the name shows in ps -e

struct ComEntry {
    const char *name;  // the command's file name; empty for 0 and 1, none for 82
    const char *flags; // default options, after the command on every line; may be empty
    const char *path;  // directory it was found in; none until located
    int32_t wait;      // 0 none, n > 0 pause n seconds, -1 wait for the process
};

extern std::array<ComEntry, ComListSize> ComList; // indexed by ComIndex

// Whether the entry at index (0..82) has a path now; no lookup is made.
inline bool CmdHasPath(int index) {
    const char *path = ComList[size_t(index)].path;
    return path != nullptr && path[0] != '\0';
}

inline constexpr size_t SearchPathsSize = 60;
// "/usr/bin:/usr/ucb:/usr/sbin:/bin:/sbin:/usr/lib:/usr/lib/lp"; the full
// search cuts it in place and the path fields point at its pieces.
extern char SearchPaths[SearchPathsSize];
// "<SearchPaths>:<PATH>" (ends in ":" without PATH); none until first needed.
extern char *FullSearchPath;
extern uint8_t flInitSysCmd; // 1: lazy lookup of a command on first use; InitSysCmdList clears it
extern uint8_t flSysCmdLog; // 1: the runner logs command lines; set by InitSysCmdList with flUseLog

// Locate every command of the table: each directory of SearchPaths, then each
// absolute PATH directory, is listed once, and the search stops when all are
// found. Then "SHELL=<sh path>/sh " goes into the environment (only when sh
// was found) and, with flUseLog, command logging starts with the log message
// "initializing system". A command found nowhere keeps no path.
void InitSysCmdList();

// Give every entry without a path whose name is an entry of directory that
// directory (the text itself is kept: it must live as long as the table).
// Names are compared with whole directory entry names. Yields 1 while some
// entry is still without a path or when the directory cannot be read, 0 when
// all have one.
int FillCmdPaths(const char *directory);

// Lazy lookup of one command along FullSearchPath (absolute directories only);
// the path found is a new text kept by the table. Yields 1 when found, else 0
// (also for an index outside 2..81).
int FillCmdPath(int index);

// Non-zero when index is 2..81 and that command has a path (after a lazy
// lookup while flInitSysCmd is set).
int TestCmd(int index);

// New text "<path>/<name> <flags>" of a located command (the caller releases
// it); none for an index outside 2..81, an unlocated command or a line longer
// than CmdLineSize - 1.
char *GetCmd(int index);
// The same without the options: "<path>/<name>".
char *GetCmdNoFlags(int index);

// ---------------------------------------------------------------------------
// Running commands and capturing responses
// ---------------------------------------------------------------------------

inline constexpr size_t CmdLineSize = 4096;   // a command line: at most 4095 characters
inline constexpr size_t RawCmdLineSize = 512; // SysCmdP's command line

// Modes of SysCmd.
enum SysCmdMode : int {
    CmdQuiet = 0,  // output to /dev/null, not logged, failure not reported
    CmdLogged = 1, // shown commands logged, output to the log; failure logged as a warning
    CmdFatal = 2,  // as CmdLogged; failure logged, printed, and the program ends with status 1
};

// The system calls the runner makes, in one replaceable table so that tests
// can check exact command lines and pauses without running or waiting.
// Every field is set; restore SysCmdOsDefault after replacing some.
struct SysCmdOsCalls {
    int (*xSystem)(const char *line);                    // run through /bin/sh; a wait status
    FILE *(*xPopen)(const char *line, const char *mode); // pipe from a command
    int (*xPclose)(FILE *stream);
    unsigned (*xSleep)(unsigned seconds);
    int (*xKill)(pid_t pid, int signal);
};
extern SysCmdOsCalls SysCmdOs;
extern const SysCmdOsCalls SysCmdOsDefault; // system, popen, pclose, sleep, kill

// Build and run one command line through the shell, formatted as
//   index >= 2:  <sh> -c "<path>/<name> <flags> <format...><redirection>"
//   index 0, 1:  <format...><redirection>
// where the redirection is " 1>/dev/null 2>/dev/null" in mode 0 and, for a
// shown command in mode 1 or 2, " 1>>/tmp/<my_name>.log 2>>/tmp/<my_name>.log"
// (with flUseLog and a log that is this user's own regular file, see
// PrepareLogFile; " 1>>/dev/null 2>>/dev/null" otherwise). A shown command in
// mode 1 or 2 prints a progress dot and is logged while flSysCmdLog is set.
// Paths in the format's arguments must be quoted by the caller (SysCmdQuote).
// Afterwards the runner waits as the command's wait field says.
// Yields 0 when the command succeeded; else its exit status, 128 + the
// signal that killed it, or -1 when it could not be run or the line was
// refused (longer than CmdLineSize - 1: nothing is run). A failure is logged
// in mode 1 ("WARNING_MSG: ...") and mode 2 ("ERROR: ..."), and in mode 2 also
// printed on standard output before the program ends with exit status 1.
// A table command without a path ends the program with exit status 0 after
// "ERROR: unable to locate system command '<name>'" on standard error.
[[gnu::format(printf, 3, 4)]] int SysCmd(int index, int mode, const char *format, ...);

// Called, when set, after a command of mode 2 failed and its failure was
// logged and printed, just before the program ends with status 1, with the
// runner's message: the program's one chance to say which of its steps
// failed and to put away what that step left unfinished. It should not run
// commands of mode 2 itself.
extern void (*pSysCmdFatalHook)(const char *message);

// What a status of system() means for the runner; SysCmd, SysCmdP and any
// caller that runs a line through SysCmdOs.xSystem itself judge by it.
// Yields 0 when the command succeeded; else its exit status, 128 + the
// signal that killed it, or -1 when it could not be run (status -1; error
// is the errno the call left) or ended any other way. message (when given,
// size bytes) is the empty text for a success, else what happened, naming
// the command when name is given:
//   "command <name> exited with status <code>"
//   "command <name> killed by signal <n> (<signal text>)"
//   "command <name> could not be run: <system error text>"
//   "command <name> ended with wait status <status>"
// and without name the same with "command" alone.
int JudgeStatus(int status, int error, const char *name, char *message, size_t size);

// One captured output line. The record and its text are one allocation.
struct CmdResponse {
    CmdResponse *next; // the following line, none at the end
    char *text;        // the line as read, line feed included; points behind the record
};

// Run "<path>/<name> <flags> <format...>" (index >= 2) or the formatted text
// alone (0, 1) through a pipe, without wrapper, redirection or log, and
// yield its standard output one record per line (lines of more than
// CmdLineSize - 1 characters arrive in pieces). With a non-empty filter only
// lines containing it are kept. None when nothing was kept, the command could
// not be started or the line was refused. Release with FreeResponseList. A
// table command without a path ends the program as in SysCmd.
[[gnu::format(printf, 3, 4)]] CmdResponse *GetCmdResponse(int index, const char *filter,
                                                          const char *format, ...);
// The same, the kept lines as one new text, each line ending in a line feed;
// none when nothing was kept.
[[gnu::format(printf, 3, 4)]] char *GetCmdResponseStr(int index, const char *filter,
                                                      const char *format, ...);
// Read stream to its end into a response list with the filter of
// GetCmdResponse (the stream stays open). Used by GetCmdResponse; usable on
// any stream.
CmdResponse *ReadResponseList(FILE *stream, const char *filter);
// Release every record; an absent list is accepted.
void FreeResponseList(CmdResponse *list);

// Shell quoting of one argument (a path, a file name, a user name; never
// options, modes or deliberate redirections). A text made only of
// [A-Za-z0-9_./+,:@%=-] stays as it is, so ordinary paths give unchanged
// command lines; any other text is put in single quotes (' written as '\'').
// IsShellWord tells whether text stays as it is (0 for an empty text).
int IsShellWord(const char *text);
// For a text read by one shell: popen, system, GetCmdResponse, SysCmdP and
// SysCmd with index 0 or 1. New text; none for an absent arg.
char *ShellQuote(const char *arg);
// For an argument of SysCmd(index, ...): table commands run inside the
// wrapper's double quotes, so \ " $ ` are escaped once more. New text.
char *SysCmdQuote(int index, const char *arg);

// Scoped form for call sites:
//   QuotedArg dir(CmdRmR, pAppDir);  SysCmd(CmdRmR, CmdLogged, "%s", dir.text);
struct QuotedArg {
    char *text;
    explicit QuotedArg(const char *arg);   // ShellQuote
    QuotedArg(int index, const char *arg); // SysCmdQuote
    ~QuotedArg();
    QuotedArg(const QuotedArg &) = delete;
    QuotedArg &operator=(const QuotedArg &) = delete;
};

// ---------------------------------------------------------------------------
// System queries
// ---------------------------------------------------------------------------

// Process ids of the processes whose command (fourth word of a ps -e line)
// is exactly name: " <id> <id> ... " as a new text; none when no process
// matches. Builds the list in Line.
char *GetSysPsIdList(const char *name);

// For a comma-separated list of program names (",a,b," or "a,b"): one line
// "<name> (<process-id list>)\n" per program that runs, as a new text; none
// when none runs. No length limit.
char *CheckProcTableForExecs(const char *list);

// Send signal 9 to every process named name (only plain decimal ids above 1
// that are not this process). Stops at the first process it may not signal.
// Sleeps one second; always yields 0.
int KillProcessByName(const char *name);

inline constexpr size_t DfLineSize = 512;

// What GetDiskSpace found out; owned by the caller.
struct DiskSpace {
    char line[DfLineSize]; // the df data line as printed, line feed included
    double avail;          // the number in its "avail" column; 0 when none
};

// Run df -b on directory. Yields 1 when the "avail" column was found in the
// data line (avail set), also 1 for a header without a data line (avail 0);
// 0 when df printed nothing or no header word begins with "avail" (any case).
int GetDiskSpace(const char *directory, DiskSpace *space);

// The size du -s reports for path (its leading number); 0 without output.
double DUPath(const char *path);

// 1 when directory's file system has room for required (plus what name in
// directory takes now, when it exists), else 0. A directory that df cannot
// measure is measured through its nearest parent; 0 when none is left.
int AvailSpace(const char *directory, const char *name, double required);

// Instance names (second word) of the pkginfo lines containing filter,
// " <name> <name> ... " as a new text; none when none. Builds in Line.
char *GetSysPkgList(const char *filter);

int SniffLprng(); // 1 when the located lpd is LPRng (lpd -V mentions "LPRng")
int SniffCUPS();  // 1 when cupsd was located; runs nothing

// Kept for the library's interface: does nothing, changes no argument and
// yields 0.
int SysGetSubnetMask(const char *interfaceName, char *mask, int size);

// The listing parsers behind the queries, on a response list.
// Append " <id>" to out (bounded by size, always terminated) for every ps -e
// line whose fourth word is exactly name; yields the number of ids appended.
int ParsePsResponse(const CmdResponse *response, const char *name, char *out, size_t size);
// Fill space from a df -b listing; the result as GetDiskSpace.
int ParseDfResponse(const CmdResponse *response, DiskSpace *space);
// The leading number of the first line (du -s); 0 for none.
double ParseDuResponse(const CmdResponse *response);
// Append " <word 2>" to out for every line (pkginfo); yields the count.
int ParsePkgResponse(const CmdResponse *response, char *out, size_t size);
