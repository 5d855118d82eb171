// WorkArea: making and removing the work area and its parent.
#include "WorkArea.h"

#include "MemMgr.h"
#include "Outcome.h"
#include "PathChecks.h"
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

// The existing directory below which this run created the work-area
// parent; the created directories are removed again at the end when empty.
char *pCreatedTmpBase = nullptr;

// A work area that is, or holds, the distribution directory would be
// removed with the distribution in it.
void RefuseWorkAreaHoldingDistribution(const char *workArea) {
    char work[PATH_MAX];
    char dist[PATH_MAX];
    if (realpath(workArea, work) == nullptr || realpath(pPathToSetup, dist) == nullptr) return;
    const std::string_view w(work);
    const std::string_view d(dist);
    if (d == w || w == "/" || (d.starts_with(w) && d[w.size()] == '/'))
        RefuseUnusablePath(workArea);
}

// Make the work area: a new directory of this user's, mode 755 whatever the
// umask, so that nobody else can have prepared or can change what is staged.
void MakeWorkArea(const char *workArea) {
    if (mkdir(workArea, 0755) != 0) RefuseUnusablePath(workArea);
    int fd = open(workArea, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    bool usable = fd >= 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
                  fchmod(fd, 0755) == 0;
    if (fd >= 0) close(fd);
    if (!usable) RefuseUnusablePath(workArea);
    // From here on the work area is this run's: a failure or a stop removes
    // it with what was staged so far.
    NoteWorkArea(workArea);
}

// Remove the directories this run created for the work area, deepest first,
// as long as each is empty.
void RemoveCreatedParents() {
    if (pCreatedTmpDir == nullptr || pCreatedTmpBase == nullptr) return;
    char current[PATH_MAX];
    snprintf(current, sizeof current, "%s", pCreatedTmpDir);
    const size_t baseLen = strlen(pCreatedTmpBase);
    while (strlen(current) > baseLen && rmdir(current) == 0)
        snprintf(current, sizeof current, "%s", StripFn(current));
}

} // namespace

void MakeWorkAreaParent(const char *dir) {
    flCreatedTmpDir = 1;
    char *base = FindExistingPath(dir, nullptr);
    // Nothing is made below a directory another user controls.
    if (base != nullptr) RefuseUnsafeWorkAreaBase(pCorlaInstallDir, base);
    // A failing mkdir is reported in the log; the test below decides.
    QuotedArg target(CmdMkdir, dir);
    SysCmd(CmdMkdir, CmdLogged, "%s", target.text);
    if (!FindFile(dir, nullptr)) RefuseUnusablePath(dir);
    if (pCreatedTmpDir != nullptr) PutMem(pCreatedTmpDir);
    if (pCreatedTmpBase != nullptr) PutMem(pCreatedTmpBase);
    pCreatedTmpDir = SaveStr_(dir);
    pCreatedTmpBase = base;
}

void MakeFreshWorkArea(const char *workArea) {
    RefuseWorkAreaHoldingDistribution(workArea);
    if (FindFile(workArea, nullptr)) {
        QuotedArg work(CmdRmR, workArea);
        SysCmd(CmdRmR, CmdLogged, "%s", work.text);
    }
    MakeWorkArea(workArea);
}

void RemoveWorkArea(const char *workArea) {
    ChangeDirectory("/");
    QuotedArg work(CmdRmR, workArea);
    SysCmd(CmdRmR, CmdLogged, "%s", work.text);
    if (flCreatedTmpDir) {
        ChangeDirectory(DefaultInstallDir);
        SysCmd(CmdRmR, CmdLogged, "%s", work.text);
        RemoveCreatedParents();
    }
    ForgetWorkArea();
}
