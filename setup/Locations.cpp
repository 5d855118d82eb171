// Locations: where this run works and installs, found once before anything
// is changed, and the end-of-run clean-up.
#include "Locations.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "Staging.h"
#include "SysCmd.h"
#include "Words.h"
#include "utils.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The existing directory below which this run created the work-area
// parent; the created directories are removed again at the end when empty.
char *pCreatedTmpBase = nullptr;

// Cut path (in place) at the first component that is exactly name.
void CutAtComponent(char *path, std::string_view name) {
    for (char *p = path; *p != '\0'; ++p) {
        if (p != path && p[-1] != '/') continue;
        if (std::string_view(p).starts_with(name) &&
            (p[name.size()] == '/' || p[name.size()] == '\0')) {
            *p = '\0';
            return;
        }
    }
}

// Position of the command-line keyword: 1 "install", 2 "-v", 0 any other
// word.
int KeywordOf(const char *word) {
    return FindWord(word, ",install,-v");
}

// An installation directory or work-area parent that cannot be used: entry
// 3 naming it, then the end of the run with status 2.
[[noreturn]] void RefusePath(const char *path) {
    NlsSetupPrintf(NlsCouldntOpen, "%s", path != nullptr ? path : "");
    printf("\n\n");
    exit(2);
}

void TakeInstallDir(const char *word) {
    char *dir = MakeAbsolutePath(word);
    if (dir == nullptr) RefusePath(word);
    StripToBaseName(dir);
    RefuseUntravelledPath(dir);
    if (pCmdLineInstallDir != nullptr) PutMem(pCmdLineInstallDir);
    pCmdLineInstallDir = dir;
}

void TakeWorkAreaParent(const char *word) {
    // Made absolute, the word loses its trailing "/" (the root stays "/").
    char *dir = MakeAbsolutePath(word);
    if (dir == nullptr) RefusePath(word);
    RefuseUntravelledPath(dir);
    // The distribution is read from its directory by commands too; refuse it
    // before anything is created.
    RefuseUntravelledPath(pPathToSetup);

    PutMem(pCorlaInstallDir);
    char *name = SaveStr("%sInstall", CompanyDir);
    pCorlaInstallDir = JoinSetupPath(dir, name);
    PutMem(name);

    if (!FindFile(dir, nullptr)) {
        flCreatedTmpDir = 1;
        char *base = FindExistingPath(dir, nullptr);
        // Nothing is made below a directory another user controls.
        if (base != nullptr) RefuseUnsafeWorkAreaBase(pCorlaInstallDir, base);
        // A failing mkdir is reported in the log; the test below decides.
        QuotedArg target(CmdMkdir, dir);
        SysCmd(CmdMkdir, CmdLogged, "%s", target.text);
        if (!FindFile(dir, nullptr)) RefusePath(dir);
        if (pCreatedTmpDir != nullptr) PutMem(pCreatedTmpDir);
        if (pCreatedTmpBase != nullptr) PutMem(pCreatedTmpBase);
        pCreatedTmpDir = SaveStr_(dir);
        pCreatedTmpBase = base;
    }
    PutMem(dir);
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

// path with "." components and doubled "/" removed; with resolveParents also
// ".." folded into the component before it (textual, for a link target).
char *NormalizePath(const char *path, bool resolveParents) {
    const size_t size = strlen(path) + 2;
    char *out = static_cast<char *>(GetMem(size));
    if (out == nullptr) SysError("%s", OutOfMem);
    size_t used = 0;
    std::string_view rest(path);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == ".." && resolveParents) {
            while (used > 0 && out[used - 1] != '/')
                --used;
            if (used > 0) --used;
            out[used] = '\0';
            continue;
        }
        out[used++] = '/';
        memcpy(out + used, part.data(), part.size());
        used += part.size();
        out[used] = '\0';
    }
    if (used == 0) out[used++] = '/';
    out[used] = '\0';
    return out;
}

} // namespace

char *MakeAbsolutePath(const char *path) {
    if (path == nullptr) return nullptr;
    if (path[0] == '/') return NormalizePath(path, false);
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return nullptr;
    char *joined = SaveStr("%s/%s", cwd, path);
    char *result = NormalizePath(joined, false);
    PutMem(joined);
    return result;
}

int PathTravels(const char *path) {
    return path != nullptr && strpbrk(path, " \t\n\r\"'`$\\;&|<>*?()") == nullptr;
}

void RefuseUntravelledPath(const char *path) {
    if (!PathTravels(path)) RefusePath(path);
}

int SameDirectory(const char *a, const char *b) {
    char realA[PATH_MAX];
    char realB[PATH_MAX];
    if (realpath(a, realA) != nullptr && realpath(b, realB) != nullptr)
        return strcmp(realA, realB) == 0;
    return strcmp(a, b) == 0;
}

char *StripToBaseName(char *path) {
    if (path == nullptr) return nullptr;
    CutAtComponent(path, ProductDir);
    CutAtComponent(path, CompanyDir);
    size_t len = strlen(path);
    if (len > 1 && path[len - 1] == '/') path[len - 1] = '\0';
    if (path[0] == '\0') {
        // Nothing was left of the path but the two names: the root.
        path[0] = '/';
        path[1] = '\0';
    }
    return path;
}

void parseCommandLineOptions(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        switch (KeywordOf(argv[i])) {
        case 1: // "install <dir>"; a last "install" is ignored
            if (i + 1 < argc) TakeInstallDir(argv[++i]);
            break;
        case 2: // "-v"
            fprintf(stderr, "%s %s\n", my_name, SetupVersion);
            exit(0);
        default:
            TakeWorkAreaParent(argv[i]);
            break;
        }
    }
}

char *locatePreviousInstallation() {
    struct stat st;
    if (lstat(AppLinkPath, &st) != 0) return nullptr;
    // Only a directory (or a link to one) is an installation: a stray file or
    // a link whose installation was removed would send the run down the
    // upgrade path with nothing to upgrade.
    struct stat target;
    if (stat(AppLinkPath, &target) != 0 || !S_ISDIR(target.st_mode)) return nullptr;
    if (!S_ISLNK(st.st_mode)) return SaveStr_(DefaultInstallDir);

    char link[PATH_MAX];
    ssize_t n = readlink(AppLinkPath, link, sizeof link);
    if (n < 0 || size_t(n) >= sizeof link) return SaveStr_(DefaultInstallDir);
    link[n] = '\0';

    char *dir = nullptr;
    if (link[0] == '/') {
        dir = NormalizePath(link, false);
    } else {
        // A relative target is relative to the link's own directory.
        char *joined = SaveStr("%s/%s", CompanyLinkDir, link);
        char resolved[PATH_MAX];
        dir = realpath(joined, resolved) != nullptr ? SaveStr_(resolved)
                                                    : NormalizePath(joined, true);
        PutMem(joined);
    }
    return StripToBaseName(dir);
}

void MoveInstallation() {
    if (SameDirectory(pTargetInstallDir, pCurrentInstallDir)) return;
    char *currentCompany = JoinSetupPath(pCurrentInstallDir, CompanyDir);
    char *currentApp = JoinSetupPath(currentCompany, ProductDir);
    PutMem(currentCompany);
    // A target whose application directory already is the installation (a
    // Corla directory linked into it) must not lose it to the rm below.
    struct stat st;
    if (lstat(pAppDir, &st) == 0 && S_ISDIR(st.st_mode) && SameDirectory(pAppDir, currentApp)) {
        PutMem(currentApp);
        return;
    }
    char *company = JoinSetupPath(pTargetInstallDir, CompanyDir);
    {
        QuotedArg app(CmdRmR, pAppDir);
        SysCmd(CmdRmR, CmdLogged, "%s", app.text);
    }
    CreateFile(company, nullptr, "755", nullptr, nullptr);
    {
        QuotedArg from(CmdMv, currentApp);
        QuotedArg to(CmdMv, company);
        SysCmd(CmdMv, CmdFatal, "%s %s", from.text, to.text);
    }
    if (strcmp(pAppDir, AppLinkPath) != 0) {
        QuotedArg link(CmdRm, AppLinkPath);
        SysCmd(CmdRm, CmdLogged, "%s", link.text);
        QuotedArg app(CmdLn, pAppDir);
        QuotedArg linkArg(CmdLn, AppLinkPath);
        SysCmd(CmdLn, CmdFatal, "-s %s %s", app.text, linkArg.text);
    }
    PutMem(company);
    PutMem(currentApp);
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

void CorlaClean(const char *workArea) {
    SetStep(NlsStepCleanUp);
    RemoveWorkArea(workArea);
    // The suite's queue administration tidies its queues; its output is the
    // operator's and its result does not matter.
    QuotedArg app(pAppDir);
    RunShell("%s/pmqadmin -upgrade", app.text);
    fputc('.', stdout);
    RunShell("%s/pmqadmin -clean", app.text);
    fputs(".\n", stdout);
    fflush(stdout);
}
