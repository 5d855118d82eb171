// PkgInfo: the VERSION edit through a temporary record.
#include "PkgInfo.h"

#include "MemMgr.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "utils.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Give the new file replacement the mode, owner and group of original, so
// that a rewritten file stays as open or closed as it was. 0 on failure.
int TakeAttributesOf(const char *original, const char *replacement) {
    struct stat st;
    if (stat(original, &st) != 0) return 0;
    int fd = open(replacement, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    int ok = fchown(fd, st.st_uid, st.st_gid) == 0 && fchmod(fd, st.st_mode & 07777) == 0;
    close(fd);
    return ok;
}

// 1 when the edited record at temp holds a VERSION line.
bool HasVersionLine(const char *temp) {
    FILE *edit = fopen(temp, "r");
    if (edit == nullptr) return false;
    bool hasVersion = false, lineStart = true;
    char text[LineBufSize];
    // Only the start of a line counts: a long line comes in several pieces.
    while (!hasVersion && fgets(text, sizeof text, edit) != nullptr) {
        hasVersion = lineStart && strncmp(text, "VERSION=", 8) == 0;
        lineStart = strchr(text, '\n') != nullptr;
    }
    fclose(edit);
    return hasVersion;
}

} // namespace

void RaiseRecordedVersion(const char *package) {
    ScopedMem record(SaveStr("/var/sadm/pkg/%s/pkginfo", package));
    ScopedMem temp(SaveStr("%s.tmp", record.get()));
    QuotedArg recordArg(record.get());
    QuotedArg tempArg(temp.get());
    {
        QuotedArg stale(CmdRm, temp.get());
        SysCmd(CmdRm, CmdLogged, "%s", stale.text);
    }
    int edited = RunShell("sed -e\"s/VERSION=[0-9.].*/VERSION=%s/\" %s >> %s", SetupVersion,
                          recordArg.text, tempArg.text);
    fputc('.', stdout);
    fflush(stdout);
    // The package database keeps its record unless the edit gave a whole
    // new one.
    if (edited != 0 || !HasVersionLine(temp.get())) {
        // A record without a VERSION line to raise stays as it is; the files
        // of the upgrade are in place, so the upgrade is complete.
        PutLogMsg("WARNING_MSG: %s not updated: the VERSION edit gave no record\n", record.get());
        return;
    }
    if (!TakeAttributesOf(record.get(), temp.get()))
        PutLogMsg("WARNING_MSG: %s keeps its mode and owner only in part\n", record.get());
    QuotedArg from(CmdMv, temp.get());
    QuotedArg to(CmdMv, record.get());
    SysCmd(CmdMv, CmdLogged, "%s %s", from.text, to.text);
}
