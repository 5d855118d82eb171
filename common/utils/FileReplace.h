// FileReplace: writes a file that the system keeps so that a failed write
// never costs its old content. The new content goes to a file beside the
// target (same directory, so the final rename is atomic); every write, the
// flush, the sync and the close are checked, and only then is the new file
// renamed over the target. On any failure the new file is removed and the
// target is left as it was. A target that exists but is not a regular file
// (a device such as /dev/full, a pipe) is written in place: it has no content
// to keep and must not be replaced by a regular file. The new file is never
// created through a link, and a link at the target is replaced, not
// followed.
//
// Part of utils, in a header of its own: the files a program keeps (the
// menu engine's settings files, the installer's generated scripts) are
// written through it; the file-rewriting functions of utils.h use it too.
#pragma once

#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include <sys/types.h>

class FileReplace {
  public:
    enum Mode {
        Truncate, // the new content only ("w")
        Append,   // the old content, then the new ("a")
        Update,   // the new content written over the old from its start ("r"); needs an old file
    };

    FileReplace() = default;
    FileReplace(const FileReplace &) = delete;
    FileReplace &operator=(const FileReplace &) = delete;
    ~FileReplace() { Abandon(); }

    // Open the stream of the new content. permissions 0 keeps those of the
    // old file (a new file gets 0666 less the umask); as root the old file's
    // owner and group are kept. readable: the stream may also be read. false,
    // with errno set, when the new file cannot be made or the old content
    // cannot be copied into it (then WriteFailed() is true).
    bool Open(const char *target, Mode mode, mode_t permissions, bool readable);
    bool WriteFailed() const { return flWriteFailed; }
    FILE *Stream() const { return pStream; }
    // Check the stream, close it and put the new file in place. false, with
    // errno of the first failure, when anything failed: the target is then
    // untouched and the new file removed.
    bool Commit();
    // Close and remove the new file, leaving the target as it was.
    void Abandon();

  private:
    // The steps of Open: the two names (false when either does not fit),
    // the in-place stream of a device or pipe, the new file beside a file.
    bool SetNames(const char *target);
    bool OpenInPlace(Mode mode, bool readable, const char *streamMode);
    bool OpenAside(Mode mode, mode_t permissions, const char *streamMode, const struct stat *old);

    FILE *pStream = nullptr;
    bool flInPlace = false;
    bool flWriteFailed = false; // Open failed copying the old content
    char Target[PATH_MAX] = "";
    char Aside[PATH_MAX] = ""; // the new file while it is being written; empty when none
};
