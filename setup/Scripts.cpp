// Scripts: writing the generated scripts.
#include "Scripts.h"

#include "CheckedFormat.h"
#include "FileReplace.h"
#include "Links.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "utils.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr const char *PrintScriptName = "CorlaPrintvqmm";
constexpr const char *PrintconfUtil = "/usr/share/printconf/util";

// Write one script: the common head and the filled template, beside the
// old file and renamed over it once every write, the flush and the close
// succeeded, so that a failed write leaves the old script as it was and no
// partial file. A link left at its path is replaced, never followed; the
// new file has mode 755 whatever the umask. Then chmod 755 as every
// generated script gets. 0, with the library's message on standard error,
// when the file cannot be made or written. model holds the conversions the
// template must take (CheckedFormat.h): a template that takes others is not
// written.
[[gnu::format(printf, 4, 5)]] int WriteScript(const char *file, const char *shellLine,
                                              const char *templ, const char *model, ...) {
    FileReplace out;
    if (!out.Open(file, FileReplace::Truncate, 0755, true)) {
        int error = errno;
        if (out.WriteFailed())
            fprintf(stderr, "ERROR: can't write file, %s : %s\n", file, strerror(error));
        else
            fprintf(stderr, "ERROR: can't open file, %s\n", file);
        return 0;
    }
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char year[16];
    snprintf(year, sizeof year, "%04d", local.tm_year + 1900);

    FILE *script = out.Stream();
    bool failed =
        fputs(shellLine, script) < 0 || CheckedFprintf(script, ScriptBanner, "%s", year) < 0;
    va_list args;
    va_start(args, model);
    failed = CheckedVfprintf(script, templ, model, args) < 0 || failed;
    va_end(args);
    if (failed || !out.Commit()) {
        int error = errno != 0 ? errno : EIO;
        out.Abandon();
        fprintf(stderr, "ERROR: can't write file, %s : %s\n", file, strerror(error));
        return 0;
    }

    QuotedArg target(CmdChmod, file);
    SysCmd(CmdChmod, CmdQuiet, "755 %s", target.text);
    return 1;
}

} // namespace

char *ShellDoubleQuoted(const char *value) {
    size_t extra = 0;
    for (const char *p = value; *p != '\0'; ++p)
        if (strchr("\\\"$`", *p) != nullptr) ++extra;
    char *out = static_cast<char *>(GetMem(strlen(value) + extra + 1));
    if (out == nullptr) SysError("%s", OutOfMem);
    char *q = out;
    for (const char *p = value; *p != '\0'; ++p) {
        if (strchr("\\\"$`", *p) != nullptr) *q++ = '\\';
        *q++ = *p;
    }
    *q = '\0';
    return out;
}

int generateCorlaPrintvqmmScript(const char *file, const char *shellLine, const char *templ) {
    char *toolPath = ShellDoubleQuoted(pAppDir);
    int written = WriteScript(file, shellLine, templ, "%s %s %s %s %s %s", toolPath, ProductDir,
                              "plimtovqmm", "plimtovqmm", ProductDir, ProductDir);
    PutMem(toolPath);
    return written;
}

int generateCorlaCSFScript(const char *file, const char *shellLine, const char *templ,
                           const char *spoolSubDir) {
    char *toolPath = ShellDoubleQuoted(pAppDir);
    char *spool = ShellDoubleQuoted(spoolSubDir);
    int written = WriteScript(file, shellLine, templ, "%s %s", toolPath, spool);
    PutMem(spool);
    PutMem(toolPath);
    return written;
}

int GenSimpleScript(const char *file, const char *shellLine, const char *templ, const char *a1,
                    const char *a2, const char *a3) {
    // The values stand unquoted in the script: ordinary paths stay as they
    // are, others are quoted for the shell.
    char *v1 = ShellQuote(a1);
    char *v2 = ShellQuote(a2);
    char *v3 = ShellQuote(a3);
    int written = WriteScript(file, shellLine, templ, "%s %s %s", v1, v2, v3);
    PutMem(v3);
    PutMem(v2);
    PutMem(v1);
    return written;
}

void createQueueScripts(const char *spoolDir) {
    // A script that cannot be written leaves the old one; the run goes on
    // and ends incomplete, and any later run writes both again.
    char *printScript = SaveStr("%s/%s", pAppDir, PrintScriptName);
    if (!generateCorlaPrintvqmmScript(printScript, ScriptShShell, CorlaPrintvqmmScript))
        NoteUnwritten(printScript);
    char *filterScript = SaveStr("%s/%s%s", pAppDir, CompanyDir, "CSF");
    char *spool = SaveStr("%s/%s", spoolDir, ProductDir);
    if (!generateCorlaCSFScript(filterScript, ScriptShShell, CorlaCSFScript, spool))
        NoteUnwritten(filterScript);

    // LPRng's printconf finds the suite's print script in its utility
    // directory.
    if (SniffLprng() && FindFile(PrintconfUtil, nullptr) &&
        !FindFile(PrintconfUtil, PrintScriptName)) {
        ScopedMem link(SaveStr("%s/%s", PrintconfUtil, PrintScriptName));
        MakeLink(printScript, link.get(), CmdLogged);
    }
    PutMem(spool);
    PutMem(filterScript);
    PutMem(printScript);
}
