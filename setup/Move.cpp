// Move: rm -rf of the target's application directory, mv of the
// installation into the target's Corla directory, and the link.
#include "Move.h"

#include "Links.h"
#include "Locations.h"
#include "MemMgr.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "utils.h"

#include <cstring>
#include <sys/stat.h>

void MoveInstallation() {
    if (SameDirectory(pTargetInstallDir, pCurrentInstallDir)) return;
    ScopedMem currentCompany(JoinSetupPath(pCurrentInstallDir, CompanyDir));
    ScopedMem currentApp(JoinSetupPath(currentCompany.get(), ProductDir));
    // A target whose application directory already is the installation (a
    // Corla directory linked into it) must not lose it to the rm below.
    struct stat st;
    if (lstat(pAppDir, &st) == 0 && S_ISDIR(st.st_mode) && SameDirectory(pAppDir, currentApp.get()))
        return;
    ScopedMem company(JoinSetupPath(pTargetInstallDir, CompanyDir));
    {
        QuotedArg app(CmdRmR, pAppDir);
        SysCmd(CmdRmR, CmdLogged, "%s", app.text);
    }
    CreateFile(company.get(), nullptr, "755", nullptr, nullptr);
    {
        QuotedArg from(CmdMv, currentApp.get());
        QuotedArg to(CmdMv, company.get());
        SysCmd(CmdMv, CmdFatal, "%s %s", from.text, to.text);
    }
    if (strcmp(pAppDir, AppLinkPath) != 0) RenewLink(pAppDir, AppLinkPath);
}
