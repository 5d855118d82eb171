// Space: needs from the distribution, free space from df -b and du -s.
#include "Space.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Space the distribution's size files add to the needs they state.
constexpr double NeedMargin = 40;
// A directory with this much free space or less cannot take a new one.
constexpr double ParentMinimum = 17;

// The need stated in the size file name of the distribution; ends the run
// with entry 65 when the file cannot be read (the entry names isize for
// both files).
double ReadNeed(const char *name) {
    if (!ReadRegularFile(pPathToSetup, name, nullptr)) {
        printf("%s", nlsSetupStrCvt(NlsSizeFileMissing));
        exit(0);
    }
    return strtod(LineBuf, nullptr) + NeedMargin;
}

// df -b of path; a failed query leaves avail at 0.
void Measure(const char *path, DiskSpace *space) {
    if (!GetDiskSpace(path, space)) space->avail = 0;
}

} // namespace

int SameFileSystem(const char *lineA, const char *lineB) {
    const char *space = " \t\n";
    size_t lenA = strcspn(lineA + strspn(lineA, space), space);
    size_t lenB = strcspn(lineB + strspn(lineB, space), space);
    return lenA == lenB &&
           strncmp(lineA + strspn(lineA, space), lineB + strspn(lineB, space), lenA) == 0;
}

SpaceVerdict JudgeSpace(const SpaceFigures &figures, double *room) {
    if (figures.creates && figures.parentAvail <= ParentMinimum) return SpaceParentFull;
    if (!SameFileSystem(figures.work.line, figures.install.line)) {
        if (figures.work.avail < figures.workNeed) return SpaceWorkShort;
        if (figures.install.avail < figures.installNeed) return SpaceInstallShort;
        return SpaceEnough;
    }
    // One file system: its free space once, plus what the existing work area
    // and application directory hold (both are replaced by this run).
    double shared;
    if (figures.remeasured < figures.work.avail || figures.remeasured < figures.install.avail)
        shared = figures.work.avail + (figures.install.avail - figures.remeasured);
    else
        shared = MaxD(figures.work.avail, figures.install.avail);
    if (room != nullptr) *room = shared;
    if (shared < figures.installNeed + figures.workNeed) return SpaceSharedShort;
    return SpaceEnough;
}

namespace {

// The installation side of figures: the existing application directory
// (measured, plus what it holds), or else where the new one will be made.
// Yields the path measured.
const char *MeasureInstallSide(SpaceFigures &figures, const char *installDir, const char *company,
                               const char *app) {
    // A link left by an installation that is gone is no application
    // directory: it can be neither measured nor replaced.
    if (FindFile_(app, nullptr)) {
        Measure(app, &figures.install);
        figures.install.avail += DUPath(app);
        return app;
    }
    const char *installPath = FindFile(company, nullptr)      ? company
                              : FindFile(installDir, nullptr) ? installDir
                                                              : "/";
    Measure(installPath, &figures.install);
    figures.creates = true;
    DiskSpace parent{};
    Measure(installPath, &parent);
    figures.parentAvail = parent.avail;
    return installPath;
}

// The free space of both sides into figures (the needs are read already);
// false when the work area's file system cannot be measured at all.
bool MeasureFigures(SpaceFigures &figures, const char *workArea, const char *installDir,
                    const char *companyDir) {
    int workExists = 0;
    ScopedMem workPath(FindExistingPath(workArea, &workExists));
    if (!workPath || !GetDiskSpace(workPath.get(), &figures.work)) return false;
    if (workExists) figures.work.avail += DUPath(workArea);

    ScopedMem company(JoinSetupPath(installDir, companyDir));
    ScopedMem app(JoinSetupPath(company.get(), ProductDir));
    const char *installPath = MeasureInstallSide(figures, installDir, company.get(), app.get());
    if ((!figures.creates || figures.parentAvail > ParentMinimum) &&
        SameFileSystem(figures.work.line, figures.install.line)) {
        DiskSpace again{};
        Measure(installPath, &again);
        figures.remeasured = again.avail;
    }
    return true;
}

// The catalogue message of a shortage, and the end of the run (status 0).
[[noreturn]] void SayShortage(SpaceVerdict verdict, const SpaceFigures &figures,
                              const char *workArea, const char *installDir) {
    switch (verdict) {
    case SpaceEnough:
        break; // not called
    case SpaceWorkShort:
        NlsSetupPrintf(NlsWorkAreaShort, "%s %e", workArea, figures.workNeed);
        break;
    case SpaceParentFull: // the installation cannot even start its directory
    case SpaceInstallShort:
        NlsSetupPrintf(NlsInstallShort, "%s %e", installDir, figures.installNeed);
        break;
    case SpaceSharedShort:
        NlsSetupPrintf(NlsSharedShort, "%s %s %e", workArea, installDir,
                       figures.installNeed + figures.workNeed);
        break;
    }
    exit(0);
}

} // namespace

void FreeSpaceForInstall(const char *workArea, const char *installDir, const char *companyDir) {
    SpaceFigures figures{};
    figures.installNeed = ReadNeed("isize");
    figures.workNeed = ReadNeed("tsize");
    if (!MeasureFigures(figures, workArea, installDir, companyDir)) return; // no df: no check
    SpaceVerdict verdict = JudgeSpace(figures, nullptr);
    if (verdict != SpaceEnough) SayShortage(verdict, figures, workArea, installDir);
}
