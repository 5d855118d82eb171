// PkgList: the package command file, line by line: its words, its
// commands and its version conditions (the attribute pairs are
// PkgAttributes.cpp).
#include "PkgList.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "PkgAttributes.h"
#include "RunningCheck.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "Words.h"
#include "utils.h"

#include <cstdio>
#include <cstring>
#include <sys/utsname.h>

int (*PkgListUname)(struct utsname *name) = uname;

namespace {

constexpr const char *WordDelimiters = " \n\r";
constexpr const char *RestDelimiters = "\n\r";

enum PkgCommand : int {
    PkgOther = 0,
    PkgDir = 1,
    PkgDirTo = 2,
    PkgTouch = 3,
    PkgCopy = 4,
    PkgMust = 5, // "m"
    PkgComment = 6,
    PkgVersion = 7,
    PkgShould = 8, // "s"
    PkgNewDir = 9,
    PkgCheckPs = 10,
};
constexpr const char *PkgCommands = ",dir,dirto,t,c,m,#,v,s,newdir,checkps";

// The words of one command line, read from the interpreter's own cursor so
// that nothing called while the line is handled can move it.
struct LineWords {
    const char *cursor;
    char word[LineBufSize];

    // The next word, or none at the end of the line.
    const char *Next() {
        bool cut = false;
        return NextWord(&cursor, WordDelimiters, word, sizeof word, &cut);
    }
    // The whole rest of the line as one word (a "sed" value).
    const char *Rest() {
        bool cut = false;
        return NextWord(&cursor, RestDelimiters, word, sizeof word, &cut);
    }
};

// The attribute pairs after the command's words, in order, until a key or
// a value is missing.
void ApplyAttributes(LineWords &words, const char *argument) {
    for (bool first = true;; first = false) {
        const char *keyWord = words.Next();
        if (keyWord == nullptr) return;
        int key = FindWord(keyWord, PkgKeys);
        // In the first pair, sed takes the whole rest of the line.
        const char *value = key == KeySed && first ? words.Rest() : words.Next();
        if (value == nullptr) return;
        ScopedMem kept(SaveStr_(value)); // the next read reuses the word buffer
        ApplyAttribute(key, argument, kept.get());
    }
}

// The release of the running system (the uname system call); none when it
// cannot be read.
bool ReadRelease(char *release, size_t size) {
    struct utsname name;
    if (PkgListUname(&name) != 0) return false;
    snprintf(release, size, "%s", name.release);
    return true;
}

void CopyIntoAppDir(int index, const char *argument, const char *destination) {
    ScopedMem source(SaveStr("%s/./%s", pCorlaInstallDir, argument));
    QuotedArg from(index, source.get());
    QuotedArg to(index, destination);
    SysCmd(index, CmdLogged, "%s %s", from.text, to.text);
}

// 1 when <appdir>/<argument> exists.
bool InAppDir(const char *argument) {
    return FindFile(pAppDir, argument) != 0;
}

void Touch(const char *argument) {
    ScopedMem target(SaveStr("%s/%s", pAppDir, argument));
    QuotedArg file(CmdTouch, target.get());
    SysCmd(CmdTouch, CmdLogged, "%s", file.text);
}

// "newdir": 0 when <appdir>/<argument> exists (the line is skipped), else
// 1 once it is made.
bool MakeNewDirectory(const char *argument) {
    if (InAppDir(argument)) return false;
    ScopedMem dir(SaveStr("%s/%s", pAppDir, argument));
    CreateFile(dir.get(), nullptr, "775", nullptr, nullptr);
    return true;
}

// The version condition "v <op> <version>" at words' cursor (op already
// read): 1 when the release meets it, so that the rest of the line is a
// command line of its own.
bool VersionConditionMet(LineWords &words, const char *op) {
    const char *versionWord = words.Next();
    if (versionWord == nullptr) return false;
    char release[256];
    if (!ReadRelease(release, sizeof release)) {
        // An unknown release meets no condition.
        perror(nlsSetupStrCvt(NlsReleaseUnreadable));
        return false;
    }
    return VersionConditionHolds(release, op, versionWord);
}

// Carry out the command line at words' cursor. Yields 1 when the operator
// quit at a "checkps" line, else 0.
int DoCommandLine(LineWords &words) {
    const char *commandWord = words.Next();
    if (commandWord == nullptr) return 0;
    const int command = FindWord(commandWord, PkgCommands);
    if (command == PkgComment) return 0;
    const char *argumentWord = words.Next();
    if (argumentWord == nullptr) return 0; // a command without its argument is passed over
    // Kept while the line goes on being read into the word buffer.
    ScopedMem argument(SaveStr_(argumentWord));

    switch (command) {
    case PkgDir:
        CopyIntoAppDir(CmdCpR, argument.get(), pAppDir);
        break;
    case PkgDirTo: {
        const char *destination = words.Next();
        if (destination == nullptr) return 0;
        ScopedMem kept(SaveStr_(destination));
        CopyIntoAppDir(CmdCpR, argument.get(), kept.get());
        break;
    }
    case PkgTouch:
        Touch(argument.get());
        break;
    case PkgMust:
    case PkgShould:
        if (!InAppDir(argument.get())) return 0;
        break;
    case PkgVersion:
        if (!VersionConditionMet(words, argument.get())) return 0;
        return DoCommandLine(words);
    case PkgNewDir:
        if (!MakeNewDirectory(argument.get())) return 0;
        break;
    case PkgCheckPs:
        return QuitForRunningProcesses(argument.get());
    default: // "c" and any word not in the table
        CopyIntoAppDir(CmdCp, argument.get(), pAppDir);
        break;
    }
    ApplyAttributes(words, argument.get());
    return 0;
}

} // namespace

bool VersionConditionHolds(const char *release, const char *op, const char *version) {
    const int order = strcmp(release, version);
    switch (FindWord(op, ",<,<=,=,>,>=,")) {
    case 1:
        return order < 0;
    case 2:
        return order <= 0;
    case 3:
        return order == 0;
    case 4:
        return order > 0;
    case 5:
        return order >= 0;
    default:
        return false;
    }
}

int ProcessPkgList(const char *subDir) {
    {
        // A missing file ends the run with status 0.
        ScopedMem path(SaveStr("%s/%s/pkg.list", pCorlaInstallDir, subDir));
        OpenInputFile(path.get(), ErrFatal);
    }
    char line[LineBufSize]; // the reader's LineBuf serves others meanwhile
    while (GetFileLine()) {
        memcpy(line, LineBuf, sizeof line);
        LineWords words{line, {}};
        if (DoCommandLine(words) != 0) {
            CloseInputFile();
            return 1;
        }
    }
    CloseInputFile();
    return 0;
}
