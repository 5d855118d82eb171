// Staging: list file, work area, copies and the joined archive.
#include "Staging.h"

#include "Catalogue.h"
#include "Install.h"
#include "Locations.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "Words.h"
#include "utils.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *ListEnd = "end_of_list";
constexpr const char *WordDelimiters = " \t\r\n";

// The work area cannot be used: entry 3 naming it, status 2.
[[noreturn]] void RefuseWorkArea(const char *workArea) {
    NlsSetupPrintf(NlsCouldntOpen, "%s", workArea);
    printf("\n\n");
    exit(2);
}

// A work area that is, or holds, the distribution directory would be
// removed with the distribution in it.
void RefuseWorkAreaHoldingDistribution(const char *workArea) {
    char work[PATH_MAX];
    char dist[PATH_MAX];
    if (realpath(workArea, work) == nullptr || realpath(pPathToSetup, dist) == nullptr) return;
    const std::string_view w(work);
    const std::string_view d(dist);
    if (d == w || w == "/" || (d.starts_with(w) && d[w.size()] == '/')) RefuseWorkArea(workArea);
}

// Make the work area: a new directory of this user's, mode 755 whatever the
// umask, so that nobody else can have prepared or can change what is staged.
void MakeWorkArea(const char *workArea) {
    if (mkdir(workArea, 0755) != 0) RefuseWorkArea(workArea);
    int fd = open(workArea, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    bool usable = fd >= 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
                  fchmod(fd, 0755) == 0;
    if (fd >= 0) close(fd);
    if (!usable) RefuseWorkArea(workArea);
    // From here on the work area is this run's: a failure or a stop removes
    // it with what was staged so far.
    NoteWorkArea(workArea);
}

// Owners whose directories this run may rely on: root and the operator.
bool TrustedOwner(uid_t uid) {
    return uid == 0 || uid == geteuid() || uid == getuid();
}

// Nobody else can rename, remove or add an entry; in a sticky directory
// others may add entries but never rename or remove another's.
bool ClosedToOthers(const struct stat &st) {
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st.st_mode & S_ISVTX) != 0;
}

constexpr int MaxLinksOnPath = 40; // as the kernel's own limit

[[noreturn]] void RefuseUnsafe(const char *workArea, const char *where) {
    NlsSetupPrintf(NlsUnsafeWorkArea, "%s %s", workArea, where);
    printf("\n\n");
    exit(2);
}

// Entry 21 as the library's error report, status 1.
[[noreturn]] void ListFileMissing() {
    char text[256];
    NlsSetupFormat(text, sizeof text, NlsListFileMissing, "%s", CompanyDir);
    MarkRunFailed();
    ErrorMsg(ErrFatal, 1, "%s", text);
    exit(1); // not reached: ErrorMsg ends the run at this level
}

// Copy one listed file of the distribution into the work area.
void StageFile(const char *workArea, const char *name) {
    char *source = JoinSetupPath(pPathToSetup, name);
    QuotedArg from(CmdCp, source);
    QuotedArg to(CmdCp, workArea);
    SysCmd(CmdCp, CmdFatal, "%s %s", from.text, to.text);
    PutMem(source);
}

bool IsArchivePiece(std::string_view word) {
    return word.starts_with("pkg_tar.") || word.starts_with("PKG_TAR.");
}

} // namespace

char *UnsafeDirectoryOnPath(const char *dir) {
    struct stat st;
    if (lstat("/", &st) != 0 || !TrustedOwner(st.st_uid) || !ClosedToOthers(st))
        return SaveStr_("/");
    std::string done;      // the way checked so far, resolved; "" is "/"
    std::string rest(dir); // the way still to go
    int links = 0;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string part = rest.substr(0, slash);
        rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            done.erase(done.empty() ? 0 : done.rfind('/'));
            continue;
        }
        const std::string next = done + "/" + part;
        if (lstat(next.c_str(), &st) != 0) return nullptr; // made later, by this run
        if (S_ISLNK(st.st_mode)) {
            // The link's owner can point it elsewhere at any time.
            if (!TrustedOwner(st.st_uid) || ++links > MaxLinksOnPath) return SaveStr_(next.c_str());
            char target[PATH_MAX];
            ssize_t n = readlink(next.c_str(), target, sizeof target);
            if (n <= 0 || size_t(n) >= sizeof target) return SaveStr_(next.c_str());
            if (target[0] == '/') done.clear();
            rest = std::string(target, size_t(n)) + (rest.empty() ? "" : "/") + rest;
            continue;
        }
        // Not a directory: the command that needs one fails on its own.
        if (!S_ISDIR(st.st_mode)) return nullptr;
        if (!TrustedOwner(st.st_uid) || !ClosedToOthers(st)) return SaveStr_(next.c_str());
        done = next;
    }
    return nullptr;
}

void RefuseUnsafeWorkAreaBase(const char *workArea, const char *existingBase) {
    char *where = UnsafeDirectoryOnPath(existingBase);
    if (where != nullptr) RefuseUnsafe(workArea, where);
}

void RefuseUnsafeWorkArea(const char *workArea) {
    // The work area itself is made afresh by this run and checked then.
    std::string parent(workArea, strlen(workArea) - strlen(StripPath(workArea)));
    RefuseUnsafeWorkAreaBase(workArea, parent.empty() ? "/" : parent.c_str());
}

void GetDisksData(const char *dir) {
    const char *name = "disks";
    off_t size = 0;
    if (!ReadRegularFile(dir, name, &size)) {
        name = "DISKS";
        if (!ReadRegularFile(dir, name, &size)) ListFileMissing();
    }
    // A list cut at the end of the buffer could name half a file.
    if (size > off_t(LineBufSize - 1)) ListFileMissing();

    if (name[0] == 'D') {
        // A medium that shows its names in capitals: the names before the
        // terminator are upper-cased (the terminator stays as it is).
        char *end = strstr(LineBuf, ListEnd);
        for (char *p = LineBuf; *p != '\0' && p != end; ++p)
            if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
    }
}

int installFromSite(const char *workArea) {
    SetStep(NlsStepStaging);
    RefuseWorkAreaHoldingDistribution(workArea);
    if (FindFile(workArea, nullptr)) {
        QuotedArg work(CmdRmR, workArea);
        SysCmd(CmdRmR, CmdLogged, "%s", work.text);
    }
    MakeWorkArea(workArea);

    GetDisksData(pPathToSetup);
    char list[LineBufSize];
    memcpy(list, LineBuf, sizeof list);

    // Line by line; a word "end_of_list" ends its line, a line that is
    // exactly "end_of_list" the list.
    for (char *line = list; *line != '\0';) {
        size_t len = strcspn(line, "\r\n");
        char *next = line + len;
        if (*next != '\0') *next++ = '\0';
        if (len > 0 && strcmp(line, ListEnd) == 0) break;
        const char *cursor = line;
        char word[LineBufSize];
        bool cut = false;
        while (NextWord(&cursor, WordDelimiters, word, sizeof word, &cut) != nullptr &&
               strcmp(word, ListEnd) != 0)
            StageFile(workArea, word);
        line = next;
    }

    Install();
    return 0;
}

void genZFile() {
    ChangeDirectory(pCorlaInstallDir);
    GetDisksData(pCorlaInstallDir);
    char list[LineBufSize];
    memcpy(list, LineBuf, sizeof list);

    char *archiveName = SaveStr("%s.tar.Z", ArchiveBaseName);
    char *archive = JoinSetupPath(pCorlaInstallDir, archiveName);
    QuotedArg target(-CmdCat, archive);
    const char *cursor = list;
    char word[LineBufSize];
    bool cut = false;
    while (NextWord(&cursor, WordDelimiters, word, sizeof word, &cut) != nullptr &&
           strcmp(word, ListEnd) != 0) {
        // Pieces the list names but the work area lacks are passed over.
        if (!IsArchivePiece(word) || !FindFile(pCorlaInstallDir, word)) continue;
        char *piece = JoinSetupPath(pCorlaInstallDir, word);
        QuotedArg source(-CmdCat, piece);
        // Unshown: the shell's own ">>" must receive the data.
        SysCmd(-CmdCat, CmdFatal, "%s >> %s", source.text, target.text);
        PutMem(piece);
    }
    PutMem(archive);
    PutMem(archiveName);
}
