// utils: in-place, line-oriented edits of text files.
//
// An edit streams the input through an output file beside it and then puts
// the output in the input's place ("rm -f" and "mv" through the shell). The
// input is read in pieces of at most 510 characters, each handled as a line;
// output is written straight to the stream, so an edit that makes a line
// longer (a longer replacement, an insertion) has no buffer to overrun. The
// output is never opened through a link and takes the input's permissions,
// so an edited script keeps its execute bits.
//
// The input is replaced only when every write, the flush and the close of
// the output succeeded and the input was read to its end: otherwise (a full
// disk, a file-size limit, a read error) the output is removed, the input
// is left as it was and the program ends, as for a file that cannot be
// opened (status 1).
#include "utils.h"

#include "MemMgr.h"
#include "SysCmd.h"
#include "TextBuilder.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

char Fn[EditNameSize];
char FnOut[EditNameSize];

namespace {

int nOutputError = 0; // errno of the first failed write to the edit's output; 0 while none

constexpr size_t PieceSize = 512; // 510 characters, line feed, terminator

// Fn from name and extension; ends the program (level 2) when it does not fit.
void SetInputName(const char *name, const char *ext) {
    int n = ext != nullptr && ext[0] != '\0' ? snprintf(Fn, sizeof Fn, "%s.%s", name, ext)
                                             : snprintf(Fn, sizeof Fn, "%s", name);
    if (n < 0 || size_t(n) >= sizeof Fn) {
        errno = ENAMETOOLONG;
        SysError("can't open file, %s", Fn);
    }
}

// FnOut: base with suffix appended; ends the program when it does not fit.
void SetOutputName(const char *base, const char *suffix) {
    int n = snprintf(FnOut, sizeof FnOut, "%s%s", base, suffix);
    if (n < 0 || size_t(n) >= sizeof FnOut) {
        errno = ENAMETOOLONG;
        SysError("can't open file, %s", FnOut);
    }
}

// Open pIn on Fn and pOut on FnOut (level 2). The output is created without
// following a link and gets the input's mode (and, for root, its owner).
void OpenEditFiles() {
    pIn = OpenFile(pIn, Fn, "rt", ErrFatal);
    FileStatus = InputOpen;
    if (pOut != nullptr) fclose(pOut);
    pOut = nullptr;
    nOutputError = 0;

    struct stat st;
    if (lstat(FnOut, &st) == 0 && S_ISLNK(st.st_mode)) unlink(FnOut);
    int fd = open(FnOut, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && fstat(fileno(pIn), &st) == 0) {
        // Best effort: a failure leaves the output with mode 600, which is
        // safe, and the edit goes on.
        [[maybe_unused]] int modeSet = fchmod(fd, st.st_mode & 07777);
        [[maybe_unused]] int ownerSet = geteuid() == 0 ? fchown(fd, st.st_uid, st.st_gid) : 0;
    }
    if (fd >= 0) pOut = fdopen(fd, "w");
    if (pOut == nullptr) {
        if (fd >= 0) close(fd);
        SysError("can't open file, %s", FnOut);
    }
}

// After a failed write nothing more is written: the edit is lost anyway.
void Write(std::string_view text) {
    if (text.empty() || nOutputError != 0) return;
    if (fwrite(text.data(), 1, text.size(), pOut) != text.size())
        nOutputError = errno != 0 ? errno : EIO;
}

// The edit cannot be completed: the output goes, the input stays, the
// program ends.
[[noreturn]] void AbandonEdit(const char *what, int error) {
    unlink(FnOut);
    errno = error;
    SysError("%s, %s", what, Fn);
}

// The position of pattern in piece, or npos; an absent or empty pattern is
// found nowhere (as StrStr).
size_t Find(std::string_view piece, const char *pattern) {
    if (pattern == nullptr || pattern[0] == '\0') return std::string_view::npos;
    return piece.find(pattern);
}

// Open the files of an edit, hand every piece of the input to edit, then
// replace the input with the output.
template <typename Edit>
void EditFile(const char *name, const char *ext, Edit edit) {
    if (name == nullptr) return;
    SetInputName(name, ext);
    SetOutputName(Fn, ext != nullptr && ext[0] != '\0' ? "out" : ".out");
    OpenEditFiles();
    char piece[PieceSize];
    while (fgets(piece, FileLineChars + 1, pIn) != nullptr)
        edit(std::string_view(piece));
    ReplaceInputFile();
}

// A "%i" code as C reads it: 13, 015, 0xd. 0 when it is not one.
int ReadCode(const char *text, long *code) {
    if (text == nullptr) return 0;
    char *end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 0);
    if (end == text || errno != 0) return 0;
    *code = value;
    return 1;
}

// The numbering of FileInsert and FileSearchInsert: the text with its
// markers taken apart.
struct Numbering {
    char *pText;     // the text to insert, "%s<start>" removed
    size_t nHashAt;  // where "%#<threshold>" stood in pText; npos when absent
    size_t nHashLen; // its length
    long nCounter;   // starts at <start>
    long nThreshold; // <threshold>
};

// Remove "<marker><digits>" from text; yields the number (0 without digits)
// and whether the marker was there, and where it stood.
bool TakeMarker(std::string_view text, std::string_view marker, size_t &at, size_t &len,
                long &number) {
    at = text.find(marker);
    if (at == std::string_view::npos) return false;
    size_t end = at + marker.size();
    number = 0;
    while (end < text.size() && isdigit(static_cast<unsigned char>(text[end])) &&
           number < 1000000000L)
        number = number * 10 + (text[end++] - '0');
    while (end < text.size() && isdigit(static_cast<unsigned char>(text[end])))
        ++end;
    len = end - at;
    return true;
}

Numbering ParseNumbering(const char *text) {
    Numbering n{SaveStr_(text != nullptr ? text : ""), std::string_view::npos, 0, 0, 0};
    size_t at = 0;
    size_t len = 0;
    long start = 0;
    if (TakeMarker(n.pText, "%s", at, len, start)) {
        memmove(n.pText + at, n.pText + at + len, strlen(n.pText + at + len) + 1);
        n.nCounter = start;
    }
    long threshold = 0;
    if (TakeMarker(n.pText, "%#", at, len, threshold)) {
        n.nHashAt = at;
        n.nHashLen = len;
        n.nThreshold = threshold;
    }
    return n;
}

// Write the insertion for one qualifying line and count it. The caller's
// text is never used as a format.
void WriteInsertion(Numbering &n) {
    std::string_view text(n.pText);
    long counter = n.nCounter++;
    if (n.nHashAt == std::string_view::npos) {
        Write(text);
        return;
    }
    if (counter < n.nThreshold) return;
    char number[24];
    snprintf(number, sizeof number, "%05li", counter - n.nThreshold);
    Write(text.substr(0, n.nHashAt));
    Write(number);
    Write(text.substr(n.nHashAt + n.nHashLen));
}

void InsertBefore(const char *name, const char *ext, const char *text, const char *search,
                  bool everyLine) {
    Numbering numbering = ParseNumbering(text);
    EditFile(name, ext, [&](std::string_view piece) {
        if (everyLine || Find(piece, search) != std::string_view::npos) WriteInsertion(numbering);
        Write(piece);
    });
    PutMem(numbering.pText);
}

bool IsDelFormatCommand(char command) {
    return command == '\0' || command == 'a' || command == 'b' || command == 'c' || command == 'l';
}

} // namespace

void FileChange(const char *name, const char *ext, const char *search, const char *replacement) {
    const std::string_view with(replacement != nullptr ? replacement : "");
    const size_t searchLen = search != nullptr ? strlen(search) : 0;
    EditFile(name, ext, [&](std::string_view piece) {
        size_t at = Find(piece, search);
        if (at == std::string_view::npos) {
            Write(piece);
            return;
        }
        Write(piece.substr(0, at));
        Write(with);
        Write(piece.substr(at + searchLen));
    });
}

void FileChangeChar(const char *name, const char *ext, const char *code, const char *replacement) {
    long wanted = 0;
    const bool valid = ReadCode(code, &wanted);
    // The replacement bytes: the low byte of each comma-separated code.
    char bytes[PieceSize];
    size_t count = 0;
    if (replacement != nullptr) {
        char *codes = SaveStr_(replacement);
        char *save = nullptr;
        for (char *c = strtok_r(codes, ",", &save); c != nullptr && count < sizeof bytes;
             c = strtok_r(nullptr, ",", &save)) {
            long value = 0;
            if (ReadCode(c, &value)) bytes[count++] = char(value & 0xFF);
        }
        PutMem(codes);
    }
    EditFile(name, ext, [&](std::string_view piece) {
        for (char c : piece) {
            // The line's character is compared as a signed byte.
            if (valid && static_cast<signed char>(c) == wanted)
                Write(std::string_view(bytes, count));
            else
                Write(std::string_view(&c, 1));
        }
    });
}

void FileDel(const char *name, const char *ext, int skip, const char *text) {
    const size_t textLen = text != nullptr ? strlen(text) : 0;
    EditFile(name, ext, [&](std::string_view piece) {
        size_t at = Find(piece, text);
        if (at == std::string_view::npos || skip > 0) {
            if (at != std::string_view::npos) --skip;
            Write(piece);
            return;
        }
        Write(piece.substr(0, at));
        Write(piece.substr(at + textLen));
    });
}

int FileDelFormat(const char *name, const char *ext, const char *command, const char *target) {
    const char cmd = command != nullptr ? command[0] : '\0';
    // An unknown command changes nothing: it is refused before any file is
    // opened, so no output file is left behind.
    if (!IsDelFormatCommand(cmd)) return 1;
    long code = 0;
    const bool validCode = cmd == 'c' && ReadCode(target, &code);
    const size_t targetLen = target != nullptr ? strlen(target) : 0;
    EditFile(name, ext, [&](std::string_view piece) {
        if (cmd == 'c') {
            for (char c : piece)
                if (!validCode || c != char(code)) Write(std::string_view(&c, 1));
            return;
        }
        size_t at = Find(piece, target);
        if (at == std::string_view::npos) {
            Write(piece);
            return;
        }
        switch (cmd) {
        case 'a':
            Write(piece.substr(0, at + targetLen));
            Write("\n");
            break;
        case 'b':
            Write(piece.substr(at));
            break;
        case 'l':
            break;
        default:
            Write(piece.substr(0, at));
            Write(piece.substr(at + targetLen));
            break;
        }
    });
    return 0;
}

void FileInsert(const char *name, const char *ext, const char *text) {
    InsertBefore(name, ext, text, nullptr, true);
}

void FileSearchInsert(const char *name, const char *ext, const char *text, const char *search) {
    InsertBefore(name, ext, text, search, false);
}

void FileDelLine(const char *name, const char *ext, int keep, const char *search) {
    EditFile(name, ext, [&](std::string_view piece) {
        if (Find(piece, search) == std::string_view::npos) {
            Write(piece);
        } else if (keep > 0) {
            --keep;
            Write(piece);
        }
    });
}

void FileDelLinePair(const char *name, const char *ext, int keep, const char *start,
                     const char *end) {
    int open = 0;
    EditFile(name, ext, [&](std::string_view piece) {
        if (Find(piece, start) != std::string_view::npos) {
            if (keep > 0) {
                --keep;
                Write(piece);
            } else {
                ++open;
            }
            return;
        }
        if (open > 0 && Find(piece, end) != std::string_view::npos) {
            --open;
            return;
        }
        Write(piece);
    });
}

int OpenIOFiles(const char *name, const char *ext, [[maybe_unused]] int unused) {
    if (name == nullptr) {
        errno = EINVAL;
        SysError("can't open file, %s", "");
    }
    SetInputName(name, ext);
    SetOutputName(Fn, "out");
    OpenEditFiles();
    return 1;
}

void ReplaceInputFile() {
    // A read error means the output holds only part of the input.
    int readError = pIn != nullptr && ferror(pIn) ? (errno != 0 ? errno : EIO) : 0;
    if (pIn != nullptr) fclose(pIn);
    // The output as a whole: what the edit wrote, or what a caller of
    // OpenIOFiles wrote to pOut itself (then only the stream's error flag
    // tells of a failed write).
    bool hadOutput = pOut != nullptr;
    int writeError = nOutputError;
    if (pOut != nullptr) {
        if (writeError == 0 && ferror(pOut)) writeError = errno != 0 ? errno : EIO;
        if (writeError == 0 && fflush(pOut) != 0) writeError = errno;
        if (writeError == 0 && fsync(fileno(pOut)) != 0) writeError = errno;
        if (fclose(pOut) != 0 && writeError == 0) writeError = errno;
    }
    pIn = nullptr;
    pOut = nullptr;
    nOutputError = 0;
    FileStatus = InputClosed;
    if (hadOutput && writeError != 0) AbandonEdit("can't write file", writeError);
    if (hadOutput && readError != 0) AbandonEdit("can't read file", readError);

    // The names fit EditNameSize, so the quoted lines always fit.
    char line[CmdLineSize];
    TextBuilder rm(line, sizeof line);
    rm.Add("rm -f ");
    rm.AddQuoted(Fn, OneShell);
    fflush(stdout); // what was printed so far comes before the command's output
    SysCmdOs.xSystem(line);

    TextBuilder mv(line, sizeof line);
    mv.Add("mv ");
    mv.AddQuoted(FnOut, OneShell);
    mv.Add(" ");
    mv.AddQuoted(Fn, OneShell);
    if (SysCmdOs.xSystem(line) != 0) {
        // The input is gone and the edited text is in FnOut: say where.
        fprintf(stderr, "\n%s: can't replace %s : the edited text is in %s\n", my_name, Fn, FnOut);
        exit(1);
    }
}

char *GenName(const char *text) {
    static char name[GenNameSize];
    size_t len = 0;
    name[0] = '\0';
    if (text == nullptr) return name;
    const char *p = text;
    while (*p != '\0' && !isalpha(static_cast<unsigned char>(*p)))
        ++p;
    bool startOfRun = true;
    for (; *p != '\0' && len + 1 < sizeof name; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (!isalnum(c)) {
            startOfRun = true;
            continue;
        }
        name[len++] = char(startOfRun ? toupper(c) : tolower(c));
        startOfRun = false;
    }
    name[len] = '\0';
    return name;
}
