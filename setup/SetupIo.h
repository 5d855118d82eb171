// SetupIo: what the installer's steps share for talking to the shell, for
// reading the distribution's small files, and for asking the operator.
// (Splitting the words of those texts is Words.h.)
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
