// CommandLine: the keywords, the installation directory and the work-area
// parent.
#include "CommandLine.h"

#include "Locations.h"
#include "MemMgr.h"
#include "PathChecks.h"
#include "SetupGlobals.h"
#include "Words.h"
#include "WorkArea.h"
#include "utils.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Position of the command-line keyword: 1 "install", 2 "-v", 0 any other
// word.
int KeywordOf(const char *word) {
    return FindWord(word, ",install,-v");
}

void TakeInstallDir(const char *word) {
    char *dir = MakeAbsolutePath(word);
    if (dir == nullptr) RefuseUnusablePath(word);
    StripToBaseName(dir);
    RefuseShellUnsafePath(dir);
    if (pCmdLineInstallDir != nullptr) PutMem(pCmdLineInstallDir);
    pCmdLineInstallDir = dir;
}

void TakeWorkAreaParent(const char *word) {
    // Made absolute, the word loses its trailing "/" (the root stays "/").
    ScopedMem dir(MakeAbsolutePath(word));
    if (!dir) RefuseUnusablePath(word);
    RefuseShellUnsafePath(dir.get());
    // The distribution is read from its directory by commands too; refuse it
    // before anything is created.
    RefuseShellUnsafePath(pPathToSetup);

    PutMem(pCorlaInstallDir);
    ScopedMem name(SaveStr("%sInstall", CompanyDir));
    pCorlaInstallDir = JoinSetupPath(dir.get(), name.get());
    if (!FindFile(dir.get(), nullptr)) MakeWorkAreaParent(dir.get());
}

} // namespace

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
