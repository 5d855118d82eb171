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

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string_view>

namespace {

constexpr ComEntry Entry(const char *name, const char *flags, int32_t wait) {
    return ComEntry{name, flags, nullptr, wait};
}

} // namespace

constinit ComEntry ComList[ComListSize] = {
    /*  0 */ Entry("", "", 0),
    /*  1 */ Entry("", "", 0),
    /*  2 */ Entry("cancel", "", 2),
    /*  3 */ Entry("cat", "", 0),
    /*  4 */ Entry("chgrp", "", 0),
    /*  5 */ Entry("chmod", "", 0),
    /*  6 */ Entry("chown", "", 0),
    /*  7 */ Entry("clear", "", 0),
    /*  8 */ Entry("compress", "", 0),
    /*  9 */ Entry("cp", "-p", 0),
    /* 10 */ Entry("cp", "-pr", 0),
    /* 11 */ Entry("cupsd", "", 0),
    /* 12 */ Entry("id", "", 0),
    /* 13 */ Entry("echo", "", 0),
    /* 14 */ Entry("eject", "-f", 1),
    /* 15 */ Entry("eject", "-q", 1),
    /* 16 */ Entry("file", "", 0),
    /* 17 */ Entry("ln", "", 0),
    /* 18 */ Entry("lp", "", 0),
    /* 19 */ Entry("lpc", "", 1),
    /* 20 */ Entry("lpr", "", 0),
    /* 21 */ Entry("lprm", "", 1),
    /* 22 */ Entry("lpstat", "", 1),
    /* 23 */ Entry("ls", "", 0),
    /* 24 */ Entry("kill", "-KILL", 0),
    /* 25 */ Entry("mv", "-f", 0),
    /* 26 */ Entry("mkdir", "-p", 0),
    /* 27 */ Entry("more", "", 0),
    /* 28 */ Entry("ping", "", 0),
    /* 29 */ Entry("rm", "-f", 0),
    /* 30 */ Entry("rm", "-rf", 0),
    /* 31 */ Entry("sh", "", 0),
    /* 32 */ Entry("sleep", "", 0),
    /* 33 */ Entry("tar", "cvfp", 0),
    /* 34 */ Entry("tar", "xvfp", 0),
    /* 35 */ Entry("touch", "", 0),
    /* 36 */ Entry("uncompress", "", 0),
    /* 37 */ Entry("whoami", "", 0),
    /* 38 */ Entry("zcat", "", 0),
    /* 39 */ Entry("uname", "", 0),
    /* 40 */ Entry("sed", "", 0),
    /* 41 */ Entry("du", "-s", 0),
    /* 42 */ Entry("checkpc", "", 0),
    /* 43 */ Entry("lpd", "", 0),
    /* 44 */ Entry("pkgadd", "", 1),
    /* 45 */ Entry("pkginfo", "", 0),
    /* 46 */ Entry("pkgrm", "", 1),
    /* 47 */ Entry("accept", "", 1),
    /* 48 */ Entry("disable", "", 1),
    /* 49 */ Entry("enable", "", 1),
    /* 50 */ Entry("lpadmin", "", 1),
    /* 51 */ Entry("lpfilter", "", 1),
    /* 52 */ Entry("lpsched", "", 1),
    /* 53 */ Entry("lpshut", "", 1),
    /* 54 */ Entry("lpsystem", "", 1),
    /* 55 */ Entry("ps", "-e", 0),
    /* 56 */ Entry("bar", "", 0),
    /* 57 */ Entry("df", "-b", 0),
    /* 58 */ Entry("lpq", "-P", 0),
    /* 59 */ Entry("ypcat", "", 0),
    /* 60 */ Entry("reject", "", 1),
    /* 61 */ Entry("pmadm", "", 1),
    /* 62 */ Entry("sacadm", "", 1),
    /* 63 */ Entry("volcheck", "", 0),
    /* 64 */ Entry("capture", "", 0),
    /* 65 */ Entry("lpset", "", 1),
    /* 66 */ Entry("instnetpr", "", 1),
    /* 67 */ Entry("piomkpq", "", 0),
    /* 68 */ Entry("piomisc_ext", "", 0),
    /* 69 */ Entry("piomisc_base", "", 0),
    /* 70 */ Entry("lsallq", "", 0),
    /* 71 */ Entry("mkque", "", 0),
    /* 72 */ Entry("mkquedev", "", 0),
    /* 73 */ Entry("rmque", "", 0),
    /* 74 */ Entry("rmquedev", "", 0),
    /* 75 */ Entry("piochdfq", "", 0),
    /* 76 */ Entry("enq", "", 0),
    /* 77 */ Entry("lsquedev", "", 0),
    /* 78 */ Entry("lsque", "", 0),
    /* 79 */ Entry("startsrc", "", 1),
    /* 80 */ Entry("stopsrc", "", 0),
    /* 81 */ Entry("lssrc", "", 0),
    /* 82 */ Entry(nullptr, nullptr, 0),
};

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

bool HasPath(int index) {
    const char *path = ComList[index].path;
    return path != nullptr && path[0] != '\0';
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
    // the names still missing, so an entry "x cp y" is no "cp".
    for (struct dirent *entry = readdir(dir); entry != nullptr; entry = readdir(dir))
        for (int k = CmdCancel; HasName(k); ++k)
            if (!HasPath(k) && strcmp(ComList[k].name, entry->d_name) == 0)
                ComList[k].path = directory;
    closedir(dir);

    for (int k = CmdCancel; HasName(k); ++k)
        if (!HasPath(k)) return 1;
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
    if (HasPath(CmdSh)) putenv(SaveStr("SHELL=%s/%s ", ComList[CmdSh].path, ComList[CmdSh].name));

    if (flUseLog) {
        flSysCmdLog = 1;
        PutLogMsg("initializing system\n");
    }
}

int TestCmd(int index) {
    if (!IsTableCommand(index)) return 0;
    if (flInitSysCmd && !HasPath(index)) FillCmdPath(index);
    return HasPath(index);
}

namespace {

char *FormatCmd(int index, bool withFlags) {
    if (!IsTableCommand(index)) return nullptr;
    if (flInitSysCmd && !HasPath(index)) FillCmdPath(index);
    if (!HasPath(index)) return nullptr;

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
