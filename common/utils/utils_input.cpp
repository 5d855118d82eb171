// utils: opening files with an error level, the one input-file reader with
// continuation lines, and whole-file reads.
#include "utils.h"

#include "MemMgr.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *pIn = nullptr;
FILE *pOut = nullptr;
char InputFileName[InputFileNameSize];
int FileStatus = InputClosed;
char LineBuf[LineBufSize];
int LineLen = 0;
size_t SavedFileSize = 0;

namespace {

// InputFileName is used in messages only: a long name is cut to fit.
void SetInputFileName(const char *path) {
    size_t n = strnlen(path, InputFileNameSize - 1);
    memcpy(InputFileName, path, n);
    InputFileName[n] = '\0';
}

void ReportOpenFailure(const char *path, int level) {
    if (level == ErrFatal) SysError("can't open file, %s", path);
    if (level == ErrReport) fprintf(stderr, "ERROR: can't open file, %s\n", path);
}

void FailInputOpen(const char *path, int level) {
    ErrorMsg(level, 0, "can't open file, %s", path);
    FileStatus = InputFailed;
    LineBuf[0] = '\0';
    LineLen = 0;
}

// Throw away the rest of a physical line, and of the lines that continue it;
// previous is the last character already read.
void SkipRestOfLine(FILE *file, int previous) {
    for (int c = fgetc(file); c != EOF; previous = c, c = fgetc(file))
        if (c == '\n' && previous != '\\') return;
}

// A piece read with fgets that ends without a line feed although the input
// goes on: the rest of its physical line was not read.
bool IsCut(const char *piece, size_t len, size_t room) {
    return len + 1 == room && piece[len - 1] != '\n';
}

// The text of "<directory>/<name>" opened for reading; none when it cannot be.
FILE *OpenJoined(const char *directory, const char *name, const char *separator) {
    if (directory == nullptr) return nullptr;
    char *path =
        name != nullptr ? SaveStr("%s%s%s", directory, separator, name) : SaveStr_(directory);
    FILE *file = fopen(path, "rb");
    PutMem(path);
    return file;
}

} // namespace

FILE *OpenFile(FILE *file, const char *path, const char *mode, int level) {
    if (file != nullptr) fclose(file);
    FILE *opened = path != nullptr && mode != nullptr ? fopen(path, mode) : nullptr;
    if (opened == nullptr) ReportOpenFailure(path != nullptr ? path : "", level);
    return opened;
}

FILE *OpenFileF(FILE *file, const char *mode, int level, const char *format, ...) {
    char path[FormatPathSize];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(path, sizeof path, format, args);
    va_end(args);
    if (n < 0 || size_t(n) >= sizeof path) {
        // A cut path could name another file: it is an open failure.
        if (file != nullptr) fclose(file);
        errno = ENAMETOOLONG;
        ReportOpenFailure(path, level);
        return nullptr;
    }
    return OpenFile(file, path, mode, level);
}

int OpenRawFile(const char *path, int flags) {
    int fd = path != nullptr ? open(path, flags, 0666) : -1;
    if (fd < 0) printf("ERROR: can't open file, %s", path != nullptr ? path : "");
    return fd;
}

char *FileSearch(const char *path, const char *text, int level) {
    static char line[FileSearchSize];
    ScopedFile file(OpenFile(nullptr, path, "rt", level));
    if (file.f == nullptr) return nullptr;
    while (fgets(line, FileLineChars + 1, file.f) != nullptr)
        if (text == nullptr || strstr(line, text) != nullptr) return line;
    return nullptr;
}

int OpenInputFile(const char *path, int level) {
    SetInputFileName(path != nullptr ? path : "");
    if (pIn != nullptr) fclose(pIn);
    pIn = path != nullptr ? fopen(path, "rt") : nullptr;
    if (pIn == nullptr) {
        FailInputOpen(path != nullptr ? path : "", level);
        return 0;
    }
    FileStatus = InputOpen;
    return 1;
}

int OpenInputFileF(int level, const char *format, ...) {
    char path[FormatPathSize];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(path, sizeof path, format, args);
    va_end(args);
    if (n >= 0 && size_t(n) < sizeof path) return OpenInputFile(path, level);
    // Never read a cut path: it is an open failure at the caller's level.
    SetInputFileName(path);
    if (pIn != nullptr) fclose(pIn);
    pIn = nullptr;
    FailInputOpen(path, level);
    return 0;
}

int GetFileLine() {
    if (pIn == nullptr) return 0;
    LineLen = 0;
    constexpr size_t FirstRoom = size_t(FileLineChars) + 1;
    if (fgets(LineBuf, int(FirstRoom), pIn) == nullptr) {
        CloseInputFile();
        return 0;
    }
    size_t len = strlen(LineBuf);
    // An over-long physical line keeps its first 510 characters; its tail is
    // not a line of its own.
    if (IsCut(LineBuf, len, FirstRoom)) {
        SkipRestOfLine(pIn, LineBuf[len - 1]);
        return 1;
    }
    char *segment = LineBuf;
    while (strstr(segment, "\\\n") != nullptr) {
        if (len + 1 >= LineBufSize) {
            // The continuation would not fit: it is dropped, not made a line.
            SkipRestOfLine(pIn, 0);
            break;
        }
        size_t segmentLen = strlen(segment);
        char *next = LineBuf + len;
        size_t room = LineBufSize - len;
        if (fgets(next, int(room), pIn) == nullptr) break;
        LineLen += int(segmentLen);
        segment = next;
        size_t added = strlen(next);
        len += added;
        if (IsCut(next, added, room)) {
            SkipRestOfLine(pIn, next[added - 1]);
            break;
        }
    }
    return 1;
}

int GetFileTextLine(const char *delimiters) {
    if (delimiters == nullptr) return 0;
    while (GetFileLine()) {
        if (LineBuf[0] == '#') continue;
        char *save = nullptr;
        char *token = strtok_r(LineBuf, delimiters, &save);
        if (token == nullptr) continue;
        memmove(LineBuf, token, strlen(token) + 1); // the token lies inside LineBuf
        return 1;
    }
    return 0;
}

void CloseInputFile() {
    if (pIn != nullptr) fclose(pIn);
    pIn = nullptr;
    FileStatus = InputClosed;
}

int GetFileContent(const char *directory, const char *name) {
    ScopedFile file(OpenJoined(directory, name, "/"));
    if (file.f == nullptr) return 0;
    size_t n = fread(LineBuf, 1, LineBufSize - 1, file.f);
    LineBuf[n] = '\0';
    return 1;
}

int GetFileContentR(const char *directory, const char *name, char *buffer, int size) {
    if (buffer == nullptr || size < 0) return 0;
    ScopedFile file(OpenJoined(directory, name, "/"));
    if (file.f == nullptr) return 0;
    size_t n = fread(buffer, 1, size_t(size), file.f);
    buffer[n] = '\0';
    return 1;
}

char *GetSavedFileContent(const char *directory, const char *name) {
    SavedFileSize = 0;
    ScopedFile file(OpenJoined(directory, name, "/"));
    if (file.f == nullptr) return nullptr;
    struct stat st;
    if (fstat(fileno(file.f), &st) != 0 || st.st_size <= 0) return nullptr;
    auto size = size_t(st.st_size);
    auto *text = static_cast<char *>(GetMem(size + 1));
    if (text == nullptr) {
        ErrorMsg(ErrReport, 0, "%s", OutOfMem);
        return nullptr;
    }
    // A file that shrank meanwhile yields what is there now.
    size_t n = fread(text, 1, size, file.f);
    if (n == 0) {
        PutMem(text);
        return nullptr;
    }
    text[n] = '\0';
    SavedFileSize = n;
    return text;
}
