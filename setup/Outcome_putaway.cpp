// Outcome_putaway: the records of what the run is writing, and putting it
// away: the work area, a scratch file, a fresh installation, an installed
// file being replaced. Fixed buffers only: nothing is allocated on the way
// out.
#include "Outcome.h"
#include "Outcome_private.h"

#include "Catalogue.h"
#include "SetupGlobals.h"
#include "utils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace outcome {

namespace {

// The note a fresh installation cut short after pkgadd leaves in its
// application directory.
constexpr const char *PendingNote = ".pkg_list_pending";

char WorkArea[PathSize] = "";
char Scratch[PathSize] = "";

struct FreshState {
    bool active = false, packageAdded = false, done = false;
    bool madeApp = false, madeCompany = false, madeOptCorla = false, madeLink = false;
    char appDir[PathSize] = "";
    char company[PathSize] = "";
} Fresh;

struct ReplacementState {
    bool active = false;
    bool hadOld = false;
    struct stat old {};
    char target[PathSize] = "";
    char aside[PathSize] = "";
} Replacement;

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    remove(path);
    return 0;
}

// Remove a directory tree of this run's own, links not followed and never
// leaving its file system.
void RemoveTree(const char *path) {
    struct stat st;
    if (path[0] == '\0' || lstat(path, &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        unlink(path);
        return;
    }
    nftw(path, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

void RemoveWorkArea() {
    if (WorkArea[0] == '\0') return;
    // Out of the work area first; the removal names it absolutely anyway.
    [[maybe_unused]] int moved = chdir("/");
    RemoveTree(WorkArea);
    PutLogMsg("the work area %s was removed\n", WorkArea);
    WorkArea[0] = '\0';
}

// A fresh installation cut short after pkgadd stays, with the note that
// its package command file is still to be carried out.
void NotePending(bool onScreen) {
    char note[PathSize];
    int fd = JoinInto(note, Fresh.appDir, PendingNote)
                 ? open(note, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644)
                 : -1;
    if (fd >= 0) close(fd);
    char text[TextSize];
    NlsSetupFormat(text, sizeof text, NlsPkgListPending, "%s %s %s", my_name, Fresh.appDir,
                   my_name);
    Say(onScreen, text);
}

// A fresh installation that did not get to its end leaves nothing a later
// run would take for an installation: before pkgadd added the package, what
// this run made for it goes; after that, the installation stays and says
// that its package command file is still to be carried out.
void UndoFresh(bool onScreen) {
    if (!Fresh.active || Fresh.done) return;
    Fresh.active = false;
    if (Fresh.packageAdded) {
        NotePending(onScreen);
        return;
    }
    struct stat st;
    if (Fresh.madeLink && lstat(AppLinkPath, &st) == 0 && S_ISLNK(st.st_mode)) unlink(AppLinkPath);
    if (Fresh.madeApp) RemoveTree(Fresh.appDir);
    if (Fresh.madeCompany) rmdir(Fresh.company); // only when empty
    if (Fresh.madeOptCorla) rmdir(CompanyLinkDir);
    if (Fresh.madeApp) {
        char text[TextSize];
        NlsSetupFormat(text, sizeof text, NlsUnfinishedRemoved, "%s %s", my_name, Fresh.appDir);
        Say(onScreen, text);
    }
}

} // namespace

void RemoveScratch() {
    if (Scratch[0] != '\0') unlink(Scratch);
    Scratch[0] = '\0';
}

void PutAway(bool onScreen) {
    PutBackReplaced();
    RemoveScratch();
    UndoFresh(onScreen);
    SayFailures(onScreen);
    ForgetFailures();
    RemoveWorkArea();
}

} // namespace outcome

using namespace outcome;

void NoteWorkArea(const char *workArea) {
    CopyPath(WorkArea, workArea);
}

void ForgetWorkArea() {
    WorkArea[0] = '\0';
}

void NoteFreshInstallation(const char *installDir, const char *appDir) {
    struct stat st;
    Fresh = FreshState{};
    Fresh.active = true;
    CopyPath(Fresh.appDir, appDir);
    JoinInto(Fresh.company, strcmp(installDir, "/") == 0 ? "" : installDir, CompanyDir);
    Fresh.madeApp = lstat(appDir, &st) != 0;
    Fresh.madeCompany = lstat(Fresh.company, &st) != 0;
    Fresh.madeOptCorla = lstat(CompanyLinkDir, &st) != 0;
    Fresh.madeLink =
        strcmp(appDir, AppLinkPath) != 0 &&
        !(lstat(AppLinkPath, &st) == 0 && S_ISLNK(st.st_mode) && stat(AppLinkPath, &st) == 0);
}

void NotePackageAdded() {
    Fresh.packageAdded = true;
}

void NoteFreshInstallationDone() {
    Fresh.done = true;
}

int PkgListPending(const char *appDir) {
    char note[PathSize];
    struct stat st;
    return JoinInto(note, appDir, PendingNote) && lstat(note, &st) == 0 && S_ISREG(st.st_mode);
}

void ClearPkgListPending(const char *appDir) {
    char note[PathSize];
    if (JoinInto(note, appDir, PendingNote)) unlink(note);
}

void NoteScratchFile(const char *path) {
    EnsureExitHandler();
    CopyPath(Scratch, path);
}

namespace {

// Moves target to a new name beside it (Replacement.aside), so that the copy
// makes a file of its own and the old one can be put back. A hard link
// claims the new name without making a file, which halves the file system
// work of an upgrade; where links are refused, an empty file claims the name
// and the rename takes it over.
bool MoveAside(const char *target) {
    static constexpr char Suffix[] = ".XXXXXX";
    const size_t len = strlen(target);
    if (len + sizeof Suffix > sizeof Replacement.aside) return false;
    char *const tail = Replacement.aside + len + 1;
    memcpy(Replacement.aside, target, len);
    memcpy(Replacement.aside + len, Suffix, sizeof Suffix);

    // The name need not be hard to guess: link never replaces what is there,
    // and a name that is taken is passed over.
    static constexpr char Digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    static unsigned nAside = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned n = static_cast<unsigned>(getpid()) * 7919u + nAside++;
        for (size_t i = 0; i < sizeof Suffix - 2; ++i, n /= sizeof Digits - 1)
            tail[i] = Digits[n % (sizeof Digits - 1)];
        if (link(target, Replacement.aside) == 0) {
            if (unlink(target) == 0) return true;
            unlink(Replacement.aside);
            return false;
        }
        if (errno != EEXIST) break;
    }

    memcpy(Replacement.aside + len, Suffix, sizeof Suffix);
    int fd = mkstemp(Replacement.aside);
    if (fd < 0) return false;
    close(fd);
    if (rename(target, Replacement.aside) == 0) return true;
    unlink(Replacement.aside);
    return false;
}

} // namespace

int SetInstalledFileAside(const char *target) {
    PutBackReplaced();
    // Only the installer's own run replaces installed files; the steps' unit
    // tests only record the commands, and the paths they name are this
    // machine's.
    if (!flWatching) return 2;
    Replacement = ReplacementState{};
    CopyPath(Replacement.target, target);
    struct stat st;
    if (lstat(target, &st) != 0) {
        if (errno != ENOENT) return 2;
        Replacement.active = true; // a new file: removed again if the copy fails
        return 1;
    }
    if (!S_ISREG(st.st_mode)) return 2;
    if (!MoveAside(target)) return 0;
    Replacement.active = true;
    Replacement.hadOld = true;
    Replacement.old = st;
    return 1;
}

void KeepReplacement() {
    if (!Replacement.active) return;
    Replacement.active = false;
    if (!Replacement.hadOld) return;
    int fd = open(Replacement.target, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        // Owner first: a change of owner clears the set-id bits the mode sets.
        [[maybe_unused]] int owned = fchown(fd, Replacement.old.st_uid, Replacement.old.st_gid);
        [[maybe_unused]] int moded = fchmod(fd, Replacement.old.st_mode & 07777);
        close(fd);
    }
    unlink(Replacement.aside);
}

void PutBackReplaced() {
    if (!Replacement.active) return;
    Replacement.active = false;
    struct stat st;
    if (lstat(Replacement.target, &st) == 0 && S_ISREG(st.st_mode)) unlink(Replacement.target);
    if (Replacement.hadOld) rename(Replacement.aside, Replacement.target);
}
