// PkgAttributes: one command per key, and the sed edit through a
// temporary file.
#include "PkgAttributes.h"

#include "Links.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "Scripts.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "utils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Replace the content of target with that of source, keeping target's own
// file (mode, owner, group); never written through a link. 0 on failure.
int CopyContentInto(const char *source, const char *target) {
    int in = open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) return 0;
    int out = open(target, O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    int ok = out >= 0;
    char buf[8192];
    while (ok) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = 0;
        if (n <= 0) break;
        ok = WriteAll(out, buf, size_t(n));
    }
    if (out >= 0 && close(out) != 0) ok = 0;
    close(in);
    return ok;
}

// Edit target with sed through a temporary file that nobody else can have
// prepared; the file keeps its mode, owner and group.
void EditWithSed(const char *target, const char *sedValue) {
    char temp[64];
    snprintf(temp, sizeof temp, "/tmp/%.40s.XXXXXX", my_name);
    int fd = mkstemp(temp);
    if (fd < 0) {
        MarkRunFailed();
        ErrorMsg(ErrFatal, 1, "can't create a temporary file for sed in /tmp");
        return;
    }
    close(fd);
    // Removed at the end of the run however it ends (a failing sed ends it
    // from inside the runner).
    NoteScratchFile(temp);

    // sed's output goes to the temporary file: the runner's redirection,
    // appended to the line, lands on the ":" after it. Its diagnostics go
    // to the log, or nowhere when the log cannot be used.
    {
        ScopedMem log(LogRedirectPath());
        QuotedArg file(CmdSed, target);
        QuotedArg out(CmdSed, temp);
        QuotedArg logArg(CmdSed, log.get());
        SysCmd(CmdSed, CmdFatal, "%s %s 2>>%s >%s && :", sedValue, file.text, logArg.text,
               out.text);
    }
    if (!CopyContentInto(temp, target))
        PutLogMsg("WARNING_MSG: the edited text could not be copied back to %s\n", target);
    QuotedArg tempArg(CmdRm, temp);
    SysCmd(CmdRm, CmdQuiet, "%s", tempArg.text);
    unlink(temp);
    NoteScratchFile(nullptr);
}

// The wrapper /usr/bin/<name> that starts <appdir>/<argument>. Only the
// package command file writes a wrapper, and no later upgrade would: one
// that cannot be written ends the run, as the attribute commands do.
void WriteWrapper(const char *name, const char *argument) {
    ScopedMem wrapper(SaveStr("/usr/bin/%s", name));
    if (!GenSimpleScript(wrapper.get(), ScriptShShell, SimpleScript, pAppDir, pAppDir, argument))
        FailRun();
}

// chown -R or chgrp -R (index) of target to value.
void ChangeOwnership(int index, const char *value, const char *target) {
    QuotedArg who(index, value);
    QuotedArg file(index, target);
    SysCmd(index, CmdFatal, "-R %s %s", who.text, file.text);
}

// mv -f of target to <appdir>/<name>.
void Rename(const char *target, const char *name) {
    ScopedMem renamed(SaveStr("%s/%s", pAppDir, name));
    QuotedArg from(CmdMv, target);
    QuotedArg to(CmdMv, renamed.get());
    SysCmd(CmdMv, CmdFatal, "%s %s", from.text, to.text);
}

} // namespace

void ApplyAttribute(int key, const char *argument, const char *value) {
    ScopedMem target(SaveStr("%s/%s", pAppDir, argument));
    switch (key) {
    case KeyMode: {
        QuotedArg file(CmdChmod, target.get());
        SysCmd(CmdChmod, CmdFatal, "%s %s", value, file.text);
        break;
    }
    case KeyBat:
        WriteWrapper(value, argument);
        break;
    case KeyOwner:
        ChangeOwnership(CmdChown, value, target.get());
        break;
    case KeyGroup:
        ChangeOwnership(CmdChgrp, value, target.get());
        break;
    case KeyLink:
        // A link left by an earlier installation would make ln fail; only
        // a link is ever removed here.
        RemoveStaleLink(value);
        MakeLink(target.get(), value, CmdFatal);
        break;
    case KeyName:
        Rename(target.get(), value);
        break;
    case KeySed:
        EditWithSed(target.get(), value);
        break;
    default:
        break; // keys this installer does not know are passed over
    }
}
