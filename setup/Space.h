// Space: the room the work area and the installation need, checked before
// anything is copied.
//
// The needs come from the distribution's "isize" (installation) and
// "tsize" (work area) files, 40 added to each (a size file that is not a
// regular file counts as missing); the free space from df -b,
// and the space that existing directories hold (and that the run replaces)
// from du -s. All figures are in df's unit.
#pragma once

#include "SysCmd.h"

// Check the room for workArea and for <installDir>/<companyDir>/vqmm.
// Returns when there is room (or when the work area's file system cannot be
// measured at all); otherwise prints the matching catalogue message and
// ends the run with status 0.
void FreeSpaceForInstall(const char *workArea, const char *installDir, const char *companyDir);

// What the figures say.
enum SpaceVerdict : int {
    SpaceEnough = 0,
    SpaceParentFull,   // the directory that will hold the new one has 17 or less free
    SpaceWorkShort,    // two file systems: the work area's is too small
    SpaceInstallShort, // two file systems: the installation's is too small
    SpaceSharedShort,  // one file system too small for both needs
};

// The figures FreeSpaceForInstall measures.
struct SpaceFigures {
    double installNeed; // isize + 40
    double workNeed;    // tsize + 40
    DiskSpace work;     // the work area's file system, plus the existing work area
    DiskSpace install;  // the installation's file system, plus an existing application directory
    bool creates;       // the application directory does not exist yet
    double parentAvail; // free space of the directory that will hold it (when creates)
    double remeasured;  // the installation side measured again, nothing added
};

// The verdict on figures, and in *room the room that one shared file system
// offers (the figure SpaceSharedShort compares with both needs).
SpaceVerdict JudgeSpace(const SpaceFigures &figures, double *room);

// 1 when two df data lines describe the same file system: their first words
// (the file system's name) are equal. The free-space figure on the lines
// may change between two queries.
int SameFileSystem(const char *lineA, const char *lineB);
