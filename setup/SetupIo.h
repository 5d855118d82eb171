// SetupIo: what the installer's steps share for talking to the shell and to
// the operator.
#pragma once

#include <cstddef>
#include <sys/types.h>

// Run line through the system shell (the commands the installer starts
// directly, outside the command table and unlogged), standard output
// flushed first. It goes through the runner's replaceable system call
// (SysCmdOs.xSystem), so tests see these lines as they see the runner's.
// Yields the command's exit status, 128 + the signal that ended it, or -1
// when it could not be run.
[[gnu::format(printf, 1, 2)]] int RunShell(const char *format, ...);

// Read "<dir>/<name>" whole into LineBuf (at most LineBufSize - 1 bytes,
// terminated) when it is a regular file; *size, when given, receives its
// size. Anything else (missing, a named pipe, a directory, a device, a read
// that fails) yields 0 as a missing file would, and the open never waits
// for a writer. The distribution's list and size files are read this way.
int ReadRegularFile(const char *dir, const char *name, off_t *size);

// Change the working directory. A failure is only logged: every command the
// installer runs afterwards names absolute paths.
void ChangeDirectory(const char *dir);

// One answer line from standard input into buffer (line end not stored). A
// line longer than size - 1 characters is cut and the rest of it read and
// dropped, so it never counts as a second answer. 0 at end of input when
// nothing was read, else 1.
int ReadAnswerLine(char *buffer, size_t size);

// The next word of a list-file line or a package command line, split at any
// of delimiters (leading ones skipped). A backslash makes the next character
// part of the word: \n, \r and \t stand for line feed, carriage return and
// tab, any other character for itself; a backslash at the very end stays.
// The word goes into out (size bytes, always terminated) and *cursor moves
// past the word and the delimiter that ended it. Yields out, or none when no
// word is left; *cut is set when the word did not fit into out.
char *NextWord(const char **cursor, const char *delimiters, char *out, size_t size, bool *cut);

// 1-based position of word in a delimited list such as ",y,yes,n,no," (the
// separator is the list's first character); 0 when absent, for an empty
// word, and for a word holding the separator, which could otherwise match
// across two entries.
int FindWord(const char *word, const char *list);
