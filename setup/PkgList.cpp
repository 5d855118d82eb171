// PkgList: the package command file and the upgrade by package map.
#include "PkgList.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "RunningCheck.h"
#include "Scripts.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "Words.h"
#include "utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

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

enum PkgKey : int {
    KeyOther = 0,
    KeyMode = 1,
    KeyBat = 2,
    KeyOwner = 3,
    KeyGroup = 4,
    KeyLink = 5,
    KeyName = 6,
    KeySed = 7,
};
constexpr const char *PkgKeys = ",mode,bat,owner,group,link,name,sed";

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

// A word kept while the line goes on being read.
struct Word {
    char *text;
    explicit Word(const char *from) : text(SaveStr_(from)) {}
    ~Word() { PutMem(text); }
    Word(const Word &) = delete;
    Word &operator=(const Word &) = delete;
};

// Replace the content of target with that of source, keeping target's own
// file (mode, owner, group); never written through a link. 0 on failure.
int CopyContentInto(const char *source, const char *target) {
    int in = open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) return 0;
    int out = open(target, O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    int ok = out >= 0;
    char buf[8192];
    ssize_t n = 0;
    while (ok && (n = read(in, buf, sizeof buf)) > 0)
        ok = write(out, buf, size_t(n)) == n;
    if (n < 0) ok = 0;
    if (out >= 0 && close(out) != 0) ok = 0;
    close(in);
    return ok;
}

// Give the new file replacement the mode, owner and group of original, so
// that a rewritten file stays as open or closed as it was. 0 on failure.
int TakeAttributesOf(const char *original, const char *replacement) {
    struct stat st;
    if (stat(original, &st) != 0) return 0;
    int fd = open(replacement, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    int ok = fchown(fd, st.st_uid, st.st_gid) == 0 && fchmod(fd, st.st_mode & 07777) == 0;
    close(fd);
    return ok;
}

// Edit <appdir>/<argument> with sed through a temporary file that nobody
// else can have prepared; the file keeps its mode, owner and group.
void EditWithSed(const char *target, const char *sedValue) {
    char temp[64];
    snprintf(temp, sizeof temp, "/tmp/%.40s.XXXXXX", my_name);
    int fd = mkstemp(temp);
    if (fd < 0) {
        MarkRunFailed();
        ErrorMsg(ErrFatal, 1, "can't create a temporary file for sed in /tmp");
        return;
    }
    close(fd);
    // Removed at the end of the run however it ends (a failing sed ends it
    // from inside the runner).
    NoteScratchFile(temp);

    // sed's output goes to the temporary file: the runner's redirection,
    // appended to the line, lands on the ":" after it. Its diagnostics go
    // to the log, or nowhere when the log cannot be used.
    char *log = LogRedirectPath();
    QuotedArg file(CmdSed, target);
    QuotedArg out(CmdSed, temp);
    QuotedArg logArg(CmdSed, log);
    SysCmd(CmdSed, CmdFatal, "%s %s 2>>%s >%s && :", sedValue, file.text, logArg.text, out.text);
    PutMem(log);

    if (!CopyContentInto(temp, target))
        PutLogMsg("WARNING_MSG: the edited text could not be copied back to %s\n", target);
    QuotedArg tempArg(CmdRm, temp);
    SysCmd(CmdRm, CmdQuiet, "%s", tempArg.text);
    unlink(temp);
    NoteScratchFile(nullptr);
}

// One attribute pair on <appdir>/<argument>.
void ApplyAttribute(int key, const char *argument, const char *value) {
    char *target = SaveStr("%s/%s", pAppDir, argument);
    switch (key) {
    case KeyMode: {
        QuotedArg file(CmdChmod, target);
        SysCmd(CmdChmod, CmdFatal, "%s %s", value, file.text);
        break;
    }
    case KeyBat: {
        // Only the package command file writes a wrapper, and no later
        // upgrade would: one that cannot be written ends the run, as the
        // attribute commands do.
        char *wrapper = SaveStr("/usr/bin/%s", value);
        if (!GenSimpleScript(wrapper, ScriptShShell, SimpleScript, pAppDir, pAppDir, argument))
            FailRun();
        PutMem(wrapper);
        break;
    }
    case KeyOwner: {
        QuotedArg user(CmdChown, value);
        QuotedArg file(CmdChown, target);
        SysCmd(CmdChown, CmdFatal, "-R %s %s", user.text, file.text);
        break;
    }
    case KeyGroup: {
        QuotedArg group(CmdChgrp, value);
        QuotedArg file(CmdChgrp, target);
        SysCmd(CmdChgrp, CmdFatal, "-R %s %s", group.text, file.text);
        break;
    }
    case KeyLink: {
        // A link left by an earlier installation would make ln fail; only
        // a link is ever removed here.
        QuotedArg link(CmdLn, value);
        if (GetFileType(value) == FileLink) {
            QuotedArg old(CmdRm, value);
            SysCmd(CmdRm, CmdLogged, "%s", old.text);
        }
        QuotedArg file(CmdLn, target);
        SysCmd(CmdLn, CmdFatal, "-s %s %s", file.text, link.text);
        break;
    }
    case KeyName: {
        char *renamed = SaveStr("%s/%s", pAppDir, value);
        QuotedArg from(CmdMv, target);
        QuotedArg to(CmdMv, renamed);
        SysCmd(CmdMv, CmdFatal, "%s %s", from.text, to.text);
        PutMem(renamed);
        break;
    }
    case KeySed:
        EditWithSed(target, value);
        break;
    default:
        break; // keys this installer does not know are passed over
    }
    PutMem(target);
}

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
        Word kept(value);
        ApplyAttribute(key, argument, kept.text);
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
    char *source = SaveStr("%s/./%s", pCorlaInstallDir, argument);
    QuotedArg from(index, source);
    QuotedArg to(index, destination);
    SysCmd(index, CmdLogged, "%s %s", from.text, to.text);
    PutMem(source);
}

// 1 when <appdir>/<argument> exists.
bool InAppDir(const char *argument) {
    return FindFile(pAppDir, argument) != 0;
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
    Word argument(argumentWord);

    switch (command) {
    case PkgDir:
        CopyIntoAppDir(CmdCpR, argument.text, pAppDir);
        break;
    case PkgDirTo: {
        const char *destination = words.Next();
        if (destination == nullptr) return 0;
        Word kept(destination);
        CopyIntoAppDir(CmdCpR, argument.text, kept.text);
        break;
    }
    case PkgTouch: {
        char *target = SaveStr("%s/%s", pAppDir, argument.text);
        QuotedArg file(CmdTouch, target);
        SysCmd(CmdTouch, CmdLogged, "%s", file.text);
        PutMem(target);
        break;
    }
    case PkgMust:
    case PkgShould:
        if (!InAppDir(argument.text)) return 0;
        break;
    case PkgVersion: {
        const char *versionWord = words.Next();
        if (versionWord == nullptr) return 0;
        char release[256];
        if (!ReadRelease(release, sizeof release)) {
            // An unknown release meets no condition.
            perror(nlsSetupStrCvt(NlsReleaseUnreadable));
            return 0;
        }
        if (!VersionConditionHolds(release, argument.text, versionWord)) return 0;
        return DoCommandLine(words); // the rest is a command line of its own
    }
    case PkgNewDir: {
        if (InAppDir(argument.text)) return 0;
        char *dir = SaveStr("%s/%s", pAppDir, argument.text);
        CreateFile(dir, nullptr, "775", nullptr, nullptr);
        PutMem(dir);
        break;
    }
    case PkgCheckPs:
        return QuitForRunningProcesses(argument.text);
    default: // "c" and any word not in the table
        CopyIntoAppDir(CmdCp, argument.text, pAppDir);
        break;
    }
    ApplyAttributes(words, argument.text);
    return 0;
}

// Open a file of the work area for the reader; a missing one ends the run
// with status 0.
void OpenWorkFile(const char *path) {
    OpenInputFile(path, ErrFatal);
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
    char *path = SaveStr("%s/%s/pkg.list", pCorlaInstallDir, subDir);
    OpenWorkFile(path);
    PutMem(path);
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

namespace {

// The seven fields of a usable "f" line of the package map read last into
// LineBuf (in copy); false for any other line.
bool PackageFileLine(char (&copy)[LineBufSize], char *(&fields)[7]) {
    memcpy(copy, LineBuf, sizeof copy);
    if (ParseStr(copy, " \n\r", fields, 7) < 7) return false;
    return FindWord(fields[1], ",f,d,i,") == 1;
}

// cp of one package file over the installed one. The installed file is set
// aside first and put back when the copy fails (a full disk, a killed cp),
// so that no file is left cut short; a copy that succeeds keeps the old
// file's mode, owner and group, as cp onto it would. Yields cp's status; 1
// without running it when the old file cannot be set aside.
int CopyOverInstalled(const char *target, const QuotedArg &from, const QuotedArg &to) {
    int aside = SetInstalledFileAside(target);
    if (aside == 0) {
        PutLogMsg("WARNING_MSG: %s cannot be set aside; it is not replaced\n", target);
        return 1;
    }
    int copied = RunShell("cp %s %s", from.text, to.text);
    if (aside == 1) {
        if (copied == 0)
            KeepReplacement();
        else
            PutBackReplaced();
    }
    return copied;
}

} // namespace

int upgradeSolarisPackage(const char *package, const char *workArea) {
    char *map = SaveStr("%s/%s/pkgmap", workArea, package);
    // Counted first, so that a run cut short can say how far it got.
    OpenWorkFile(map);
    int files = 0;
    while (GetFileLine()) {
        char copy[LineBufSize];
        char *fields[7];
        files += PackageFileLine(copy, fields);
    }
    CloseInputFile();
    NoteUpgradeStart(files);
    OpenWorkFile(map);
    PutMem(map);

    QuotedArg pkg(package);
    while (GetFileLine()) {
        char *fields[7];
        char copy[LineBufSize];
        if (!PackageFileLine(copy, fields)) continue;
        QuotedArg cls(fields[2]);
        QuotedArg type(fields[1]);
        QuotedArg mode(fields[4]);
        QuotedArg owner(fields[5]);
        QuotedArg group(fields[6]);
        int registered, copied;
        if (fields[3][0] == '/') {
            // An absolute path: its source is the package's root tree.
            QuotedArg path(fields[3]);
            char *source = SaveStr("%s/%s/root%s", workArea, package, fields[3]);
            QuotedArg from(source);
            PutMem(source);
            registered = RunShell("installf -c %s %s %s %s %s %s %s", cls.text, pkg.text, path.text,
                                  type.text, mode.text, owner.text, group.text);
            NoteUpgradeRegistered(registered == 0);
            copied = CopyOverInstalled(fields[3], from, path);
        } else {
            // Relative to <install dir>/Corla: the package's reloc tree.
            char *installed = SaveStr("%s/%s/%s", pTargetInstallDir, CompanyDir, fields[3]);
            char *source = SaveStr("%s/%s/reloc/%s", workArea, package, fields[3]);
            QuotedArg to(installed);
            QuotedArg from(source);
            PutMem(source);
            registered = RunShell("installf -c %s %s %s %s %s %s %s", cls.text, pkg.text, to.text,
                                  type.text, mode.text, owner.text, group.text);
            NoteUpgradeRegistered(registered == 0);
            copied = CopyOverInstalled(installed, from, to);
            PutMem(installed);
        }
        // These never stop the run; the log keeps what went wrong, and the
        // run ends incomplete.
        if (registered != 0)
            PutLogMsg("WARNING_MSG: installf of %s exited with status %d\n", fields[3], registered);
        if (copied != 0)
            PutLogMsg("WARNING_MSG: cp of %s exited with status %d\n", fields[3], copied);
        NoteUpgradeCopied(copied == 0);
        fputc('.', stdout);
        fflush(stdout);
    }
    CloseInputFile();
    // An upgrade that did not copy or register every file is not completed
    // in the package database, nor is its version raised: the files it did
    // not replace are still the earlier release's.
    if (UpgradeFailed()) return 1;

    SetStep(NlsStepVersion);
    int finished = RunShell("installf -f %s", pkg.text);
    if (finished != 0) PutLogMsg("WARNING_MSG: installf -f exited with status %d\n", finished);

    char *record = SaveStr("/var/sadm/pkg/%s/pkginfo", package);
    char *temp = SaveStr("%s.tmp", record);
    QuotedArg recordArg(record);
    QuotedArg tempArg(temp);
    {
        QuotedArg stale(CmdRm, temp);
        SysCmd(CmdRm, CmdLogged, "%s", stale.text);
    }
    int edited = RunShell("sed -e\"s/VERSION=[0-9.].*/VERSION=%s/\" %s >> %s", SetupVersion,
                          recordArg.text, tempArg.text);
    fputc('.', stdout);
    fflush(stdout);
    // The package database keeps its record unless the edit gave a whole
    // new one.
    bool hasVersion = false;
    if (edited == 0) {
        FILE *edit = fopen(temp, "r");
        char text[LineBufSize];
        while (edit != nullptr && !hasVersion && fgets(text, sizeof text, edit) != nullptr)
            hasVersion = strncmp(text, "VERSION=", 8) == 0;
        if (edit != nullptr) fclose(edit);
    }
    if (hasVersion && !TakeAttributesOf(record, temp))
        PutLogMsg("WARNING_MSG: %s keeps its mode and owner only in part\n", record);
    if (hasVersion) {
        QuotedArg from(CmdMv, temp);
        QuotedArg to(CmdMv, record);
        SysCmd(CmdMv, CmdLogged, "%s %s", from.text, to.text);
    } else {
        // A record without a VERSION line to raise stays as it is; the files
        // of the upgrade are in place, so the upgrade is complete.
        PutLogMsg("WARNING_MSG: %s not updated: the VERSION edit gave no record\n", record);
    }
    NoteUpgradeDone();
    PutMem(temp);
    PutMem(record);
    return 1;
}
