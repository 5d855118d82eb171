// Links: rm -f and ln -s through the runner.
#include "Links.h"

#include "SysCmd.h"
#include "utils.h"

void RemoveStaleLink(const char *path) {
    if (GetFileType(path) != FileLink) return;
    QuotedArg link(CmdRm, path);
    SysCmd(CmdRm, CmdLogged, "%s", link.text);
}

void MakeLink(const char *target, const char *link, int mode) {
    QuotedArg from(CmdLn, target);
    QuotedArg to(CmdLn, link);
    SysCmd(CmdLn, mode, "-s %s %s", from.text, to.text);
}

void RenewLink(const char *target, const char *link) {
    {
        QuotedArg old(CmdRm, link);
        SysCmd(CmdRm, CmdLogged, "%s", old.text);
    }
    MakeLink(target, link, CmdFatal);
}
