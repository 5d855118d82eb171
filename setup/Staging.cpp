// Staging: list file, work area, copies and the joined archive.
#include "Staging.h"

#include "Catalogue.h"
#include "Install.h"
#include "Locations.h"
#include "MemMgr.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "utils.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *ListEnd = "end_of_list";
constexpr const char *WordDelimiters = " \t\r\n";

// The work area cannot be used: entry 3 naming it, status 2.
[[noreturn]] void RefuseWorkArea(const char *workArea) {
    printf(nlsSetupStrCvt(NlsCouldntOpen), workArea);
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
}

[[noreturn]] void ListFileMissing() {
    ErrorMsg(ErrFatal, 1, nlsSetupStrCvt(NlsListFileMissing), CompanyDir);
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
