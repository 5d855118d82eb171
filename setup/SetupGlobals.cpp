// SetupGlobals: the run-wide locations, set once by main.
#include "SetupGlobals.h"

#include "MemMgr.h"
#include "utils.h"

#include <cstring>

char *pCorlaInstallDir = nullptr;
char *pPathToSetup = nullptr;
char *pCmdLineInstallDir = nullptr;
char *pCurrentInstallDir = nullptr;
char *pTargetInstallDir = nullptr;
char *pAppDir = nullptr;
uint8_t flCreatedTmpDir = 0;
char *pCreatedTmpDir = nullptr;
char *pCorlaPkgName = nullptr;

char *JoinSetupPath(const char *dir, const char *name) {
    if (strcmp(dir, "/") == 0) return SaveStr("/%s", name);
    return SaveStr("%s/%s", dir, name);
}
