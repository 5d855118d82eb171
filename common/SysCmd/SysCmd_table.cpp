// SysCmd: the command table and the search for its commands.
//
// Every command the system runs is an entry of ComList, addressed by its
// index. Before InitSysCmdList a command is looked up on its first use along
// FullSearchPath (lazy); InitSysCmdList then lists each search directory
// once and matches every name still missing against that listing, stopping
// as soon as all are found. Only absolute directories are searched: a
// relative PATH entry would change meaning when the program changes its
// working directory into the unpacked distribution.
#include "SysCmd.h"

#include "MemMgr.h"
#include "TextBuilder.h"
#include "utils.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string_view>

namespace {

// One row per index of ComIndex, in index order; the rows make ComList.
struct ComRow {
    ComIndex index; // where the entry sits in ComList
    const char *name;
    const char *flags;
    int32_t wait;
};

constexpr ComRow ComRows[] = {
    {CmdTextUnshown, "", "", 0},
    {CmdText, "", "", 0},
    {CmdCancel, "cancel", "", 2},
    {CmdCat, "cat", "", 0},
    {CmdChgrp, "chgrp", "", 0},
    {CmdChmod, "chmod", "", 0},
    {CmdChown, "chown", "", 0},
    {CmdClear, "clear", "", 0},
    {CmdCompress, "compress", "", 0},
    {CmdCp, "cp", "-p", 0},
    {CmdCpR, "cp", "-pr", 0},
    {CmdCupsd, "cupsd", "", 0},
    {CmdId, "id", "", 0},
    {CmdEcho, "echo", "", 0},
    {CmdEjectF, "eject", "-f", 1},
    {CmdEjectQ, "eject", "-q", 1},
    {CmdFile, "file", "", 0},
    {CmdLn, "ln", "", 0},
    {CmdLp, "lp", "", 0},
    {CmdLpc, "lpc", "", 1},
    {CmdLpr, "lpr", "", 0},
    {CmdLprm, "lprm", "", 1},
    {CmdLpstat, "lpstat", "", 1},
    {CmdLs, "ls", "", 0},
    {CmdKill, "kill", "-KILL", 0},
    {CmdMv, "mv", "-f", 0},
    {CmdMkdir, "mkdir", "-p", 0},
    {CmdMore, "more", "", 0},
    {CmdPing, "ping", "", 0},
    {CmdRm, "rm", "-f", 0},
    {CmdRmR, "rm", "-rf", 0},
    {CmdSh, "sh", "", 0},
    {CmdSleep, "sleep", "", 0},
    {CmdTarC, "tar", "cvfp", 0},
    {CmdTarX, "tar", "xvfp", 0},
    {CmdTouch, "touch", "", 0},
    {CmdUncompress, "uncompress", "", 0},
    {CmdWhoami, "whoami", "", 0},
    {CmdZcat, "zcat", "", 0},
    {CmdUname, "uname", "", 0},
    {CmdSed, "sed", "", 0},
    {CmdDu, "du", "-s", 0},
    {CmdCheckpc, "checkpc", "", 0},
    {CmdLpd, "lpd", "", 0},
    {CmdPkgadd, "pkgadd", "", 1},
    {CmdPkginfo, "pkginfo", "", 0},
    {CmdPkgrm, "pkgrm", "", 1},
    {CmdAccept, "accept", "", 1},
    {CmdDisable, "disable", "", 1},
    {CmdEnable, "enable", "", 1},
    {CmdLpadmin, "lpadmin", "", 1},
    {CmdLpfilter, "lpfilter", "", 1},
    {CmdLpsched, "lpsched", "", 1},
    {CmdLpshut, "lpshut", "", 1},
    {CmdLpsystem, "lpsystem", "", 1},
    {CmdPs, "ps", "-e", 0},
    {CmdBar, "bar", "", 0},
    {CmdDf, "df", "-b", 0},
    {CmdLpq, "lpq", "-P", 0},
    {CmdYpcat, "ypcat", "", 0},
    {CmdReject, "reject", "", 1},
    {CmdPmadm, "pmadm", "", 1},
    {CmdSacadm, "sacadm", "", 1},
    {CmdVolcheck, "volcheck", "", 0},
    {CmdCapture, "capture", "", 0},
    {CmdLpset, "lpset", "", 1},
    {CmdInstnetpr, "instnetpr", "", 1},
    {CmdPiomkpq, "piomkpq", "", 0},
    {CmdPiomiscExt, "piomisc_ext", "", 0},
    {CmdPiomiscBase, "piomisc_base", "", 0},
    {CmdLsallq, "lsallq", "", 0},
    {CmdMkque, "mkque", "", 0},
    {CmdMkquedev, "mkquedev", "", 0},
    {CmdRmque, "rmque", "", 0},
    {CmdRmquedev, "rmquedev", "", 0},
    {CmdPiochdfq, "piochdfq", "", 0},
    {CmdEnq, "enq", "", 0},
    {CmdLsquedev, "lsquedev", "", 0},
    {CmdLsque, "lsque", "", 0},
    {CmdStartsrc, "startsrc", "", 1},
    {CmdStopsrc, "stopsrc", "", 0},
    {CmdLssrc, "lssrc", "", 0},
    {CmdEnd, nullptr, nullptr, 0},
};

// The table and its index enum agree: as many rows as indices, each row at
// the position of its enum value.
static_assert(std::size(ComRows) == ComListSize, "one row per index of ComIndex");
constexpr bool RowsInIndexOrder() {
    for (size_t i = 0; i < std::size(ComRows); ++i)
        if (ComRows[i].index != ComIndex(i)) return false;
    return true;
}
static_assert(RowsInIndexOrder(), "each row at the index its enum value names");

constexpr bool Is(ComIndex index, std::string_view name, std::string_view flags) {
    return ComRows[index].name == name && ComRows[index].flags == flags;
}
// The entries whose meaning the runner and the installer rest on.
static_assert(Is(CmdSh, "sh", "") && Is(CmdCp, "cp", "-p") && Is(CmdCpR, "cp", "-pr") &&
              Is(CmdRm, "rm", "-f") && Is(CmdRmR, "rm", "-rf") && Is(CmdPs, "ps", "-e") &&
              Is(CmdDf, "df", "-b") && Is(CmdDu, "du", "-s") && Is(CmdTarX, "tar", "xvfp"));
static_assert(ComRows[CmdEnd].name == nullptr && ComRows[CmdLssrc].name != nullptr);

constexpr std::array<ComEntry, ComListSize> MakeComList() {
    std::array<ComEntry, ComListSize> list{};
    for (const ComRow &row : ComRows)
        list[row.index] = ComEntry{row.name, row.flags, nullptr, row.wait};
    return list;
}

} // namespace

constinit std::array<ComEntry, ComListSize> ComList = MakeComList();

constinit char SearchPaths[SearchPathsSize] =
    "/usr/bin:/usr/ucb:/usr/sbin:/bin:/sbin:/usr/lib:/usr/lib/lp";
static_assert(sizeof "/usr/bin:/usr/ucb:/usr/sbin:/bin:/sbin:/usr/lib:/usr/lib/lp" ==
              SearchPathsSize);

char *FullSearchPath = nullptr;
uint8_t flInitSysCmd = 1;
uint8_t flSysCmdLog = 0;

namespace {

bool HasName(int index) {
    const char *name = ComList[index].name;
    return name != nullptr && name[0] != '\0';
}

bool IsTableCommand(int index) {
    return index >= CmdCancel && index < CmdEnd;
}

// "<SearchPaths>:<PATH>", made before SearchPaths is cut.
void BuildFullSearchPath(const char *pathVariable) {
    PutMem(FullSearchPath);
    FullSearchPath = SaveStr("%s:%s", SearchPaths, pathVariable ? pathVariable : "");
}

// Next piece of a ":"-separated text cut in place; none at the end. Empty
// pieces are skipped.
char *CutNextDir(char **cursor) {
    char *p = *cursor;
    while (p != nullptr && *p == ':')
        ++p;
    if (p == nullptr || *p == '\0') return nullptr;
    char *start = p;
    while (*p != '\0' && *p != ':')
        ++p;
    if (*p == ':') *p++ = '\0';
    *cursor = p;
    return start;
}

} // namespace

int FillCmdPaths(const char *directory) {
    if (directory == nullptr) return 1;
    DIR *dir = opendir(directory);
    if (dir == nullptr) return 1;
    if (!HasName(CmdCancel)) {
        closedir(dir);
        return 0;
    }
    // One pass over the directory; each entry name is compared whole with
    // the names still missing, so an entry "x cp y" is no "cp". The first
    // letters are compared in place: a system directory has thousands of
    // entries, and most differ from every name there.
    for (struct dirent *entry = readdir(dir); entry != nullptr; entry = readdir(dir))
        for (int k = CmdCancel; HasName(k); ++k)
            if (ComList[k].name[0] == entry->d_name[0] && !CmdHasPath(k) &&
                strcmp(ComList[k].name, entry->d_name) == 0)
                ComList[k].path = directory;
    closedir(dir);

    for (int k = CmdCancel; HasName(k); ++k)
        if (!CmdHasPath(k)) return 1;
    return 0;
}

int FillCmdPath(int index) {
    if (!IsTableCommand(index) || !HasName(index)) return 0;
    if (FullSearchPath == nullptr) {
        char *pathVariable = GetEnv("PATH");
        BuildFullSearchPath(pathVariable);
        PutMem(pathVariable);
    }
    // A private cursor: the caller may be in the middle of a scan of the
    // shared tokenizer.
    std::string_view rest(FullSearchPath);
    while (!rest.empty()) {
        size_t colon = rest.find(':');
        std::string_view piece = rest.substr(0, colon);
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
        if (piece.empty() || piece.front() != '/') continue;

        char dir[CmdLineSize];
        TextBuilder text(dir, sizeof dir);
        text.Add(piece);
        if (!text.Fits()) continue;
        if (FindFile(dir, ComList[index].name)) {
            ComList[index].path = SaveStr_(dir);
            return 1;
        }
    }
    return 0;
}

void InitSysCmdList() {
    int missing = 1;
    flInitSysCmd = 0;

    char *pathVariable = GetEnv("PATH"); // kept: the table points into it
    BuildFullSearchPath(pathVariable);

    char *cursor = SearchPaths;
    for (char *dir = CutNextDir(&cursor); dir != nullptr && missing; dir = CutNextDir(&cursor))
        missing = FillCmdPaths(dir);

    if (missing && pathVariable != nullptr) {
        cursor = pathVariable;
        for (char *dir = CutNextDir(&cursor); dir != nullptr && missing; dir = CutNextDir(&cursor))
            if (dir[0] == '/') missing = FillCmdPaths(dir);
    }

    // The environment keeps pointing at the text: it is never released. The
    // trailing blank is part of the value as it always was.
    if (CmdHasPath(CmdSh))
        putenv(SaveStr("SHELL=%s/%s ", ComList[CmdSh].path, ComList[CmdSh].name));

    if (flUseLog) {
        flSysCmdLog = 1;
        PutLogMsg("initializing system\n");
    }
}

int TestCmd(int index) {
    if (!IsTableCommand(index)) return 0;
    if (flInitSysCmd && !CmdHasPath(index)) FillCmdPath(index);
    return CmdHasPath(index);
}

namespace {

char *FormatCmd(int index, bool withFlags) {
    if (!IsTableCommand(index)) return nullptr;
    if (flInitSysCmd && !CmdHasPath(index)) FillCmdPath(index);
    if (!CmdHasPath(index)) return nullptr;

    char line[CmdLineSize];
    TextBuilder text(line, sizeof line);
    char command[CmdLineSize];
    TextBuilder full(command, sizeof command);
    full.Addf("%s/%s", ComList[index].path, ComList[index].name);
    text.AddQuoted(full.Text(), OneShell);
    if (withFlags) text.Addf(" %s", ComList[index].flags);
    if (!full.Fits() || !text.Fits()) return nullptr;
    return SaveStr_(line);
}

} // namespace

char *GetCmd(int index) {
    return FormatCmd(index, true);
}

char *GetCmdNoFlags(int index) {
    return FormatCmd(index, false);
}
