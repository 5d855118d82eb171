// Upgrade: the package map walked twice: counted, then each file replaced.
#include "Upgrade.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "PkgInfo.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "Words.h"
#include "utils.h"

#include <cstdio>
#include <cstring>

namespace {

// The fields of a package map line.
enum MapField : int { MapPart, MapType, MapClass, MapPath, MapMode, MapOwner, MapGroup, MapFields };

// The fields of a usable "f" line of the package map read last into
// LineBuf (in copy); false for any other line.
bool PackageFileLine(char (&copy)[LineBufSize], char *(&fields)[MapFields]) {
    memcpy(copy, LineBuf, sizeof copy);
    if (ParseStr(copy, " \n\r", fields, MapFields) < MapFields) return false;
    return FindWord(fields[MapType], ",f,d,i,") == 1;
}

// How many files the map lists, so that a run cut short can say how far
// it got. A missing map ends the run with status 0.
int CountPackageFiles(const char *map) {
    OpenInputFile(map, ErrFatal);
    int files = 0;
    while (GetFileLine()) {
        char copy[LineBufSize];
        char *fields[MapFields];
        files += PackageFileLine(copy, fields);
    }
    CloseInputFile();
    return files;
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

// One file of the map: installf -c of its installed path, then the copy
// from the package's tree; a "." on standard output. Failures are logged
// and counted, never fatal: the run ends incomplete.
void UpgradeFile(char *(&fields)[MapFields], const char *package, const QuotedArg &pkg,
                 const char *workArea) {
    const char *path = fields[MapPath];
    const bool absolute = path[0] == '/';
    ScopedMem installed(absolute ? SaveStr_(path)
                                 : SaveStr("%s/%s/%s", pTargetInstallDir, CompanyDir, path));
    ScopedMem source(
        SaveStr(absolute ? "%s/%s/root%s" : "%s/%s/reloc/%s", workArea, package, path));
    QuotedArg to(installed.get());
    QuotedArg from(source.get());
    QuotedArg cls(fields[MapClass]);
    QuotedArg type(fields[MapType]);
    QuotedArg mode(fields[MapMode]);
    QuotedArg owner(fields[MapOwner]);
    QuotedArg group(fields[MapGroup]);
    int registered = RunShell("installf -c %s %s %s %s %s %s %s", cls.text, pkg.text, to.text,
                              type.text, mode.text, owner.text, group.text);
    NoteUpgradeRegistered(registered == 0);
    int copied = CopyOverInstalled(installed.get(), from, to);
    if (registered != 0)
        PutLogMsg("WARNING_MSG: installf of %s exited with status %d\n", path, registered);
    if (copied != 0) PutLogMsg("WARNING_MSG: cp of %s exited with status %d\n", path, copied);
    NoteUpgradeCopied(copied == 0);
    fputc('.', stdout);
    fflush(stdout);
}

} // namespace

int upgradeSolarisPackage(const char *package, const char *workArea) {
    {
        ScopedMem map(SaveStr("%s/%s/pkgmap", workArea, package));
        NoteUpgradeStart(CountPackageFiles(map.get()));
        OpenInputFile(map.get(), ErrFatal);
    }
    QuotedArg pkg(package);
    while (GetFileLine()) {
        char copy[LineBufSize];
        char *fields[MapFields];
        if (PackageFileLine(copy, fields)) UpgradeFile(fields, package, pkg, workArea);
    }
    CloseInputFile();
    // An upgrade that did not copy or register every file is not completed
    // in the package database, nor is its version raised: the files it did
    // not replace are still the earlier release's.
    if (UpgradeFailed()) return 1;

    SetStep(NlsStepVersion);
    int finished = RunShell("installf -f %s", pkg.text);
    if (finished != 0) PutLogMsg("WARNING_MSG: installf -f exited with status %d\n", finished);
    RaiseRecordedVersion(package);
    NoteUpgradeDone();
    return 1;
}
