// Scripts: writing the generated scripts.
#include "Scripts.h"

#include "MemMgr.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "utils.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *PrintScriptName = "CorlaPrintvqmm";
constexpr const char *PrintconfUtil = "/usr/share/printconf/util";

// Open file as a new script: a link left at its path is removed, never
// followed, and the file gets mode 755 whatever the umask. None (with the
// library's message) when it cannot be opened.
FILE *OpenScript(const char *file) {
    struct stat st;
    if (lstat(file, &st) == 0 && S_ISLNK(st.st_mode)) unlink(file);
    int fd = open(file, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0755);
    FILE *script = nullptr;
    if (fd >= 0 && fchmod(fd, 0755) == 0) script = fdopen(fd, "w+");
    if (script == nullptr) {
        if (fd >= 0) close(fd);
        fprintf(stderr, "ERROR: can't open file, %s\n", file);
    }
    return script;
}

// The common head and the filled template; then chmod 755 as every
// generated script gets. 0 when the file cannot be opened.
[[gnu::format(printf, 3, 4)]] int WriteScript(const char *file, const char *shellLine,
                                              const char *templ, ...) {
    FILE *script = OpenScript(file);
    if (script == nullptr) return 0;
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char year[16];
    snprintf(year, sizeof year, "%04d", local.tm_year + 1900);

    fputs(shellLine, script);
    fprintf(script, ScriptBanner, year);
    va_list args;
    va_start(args, templ);
    vfprintf(script, templ, args);
    va_end(args);
    bool failed = ferror(script) != 0;
    if (fclose(script) != 0 || failed) fprintf(stderr, "ERROR: can't write file, %s\n", file);

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
    int written = WriteScript(file, shellLine, templ, toolPath, ProductDir, "plimtovqmm",
                              "plimtovqmm", ProductDir, ProductDir);
    PutMem(toolPath);
    return written;
}

int generateCorlaCSFScript(const char *file, const char *shellLine, const char *templ,
                           const char *spoolSubDir) {
    char *toolPath = ShellDoubleQuoted(pAppDir);
    char *spool = ShellDoubleQuoted(spoolSubDir);
    int written = WriteScript(file, shellLine, templ, toolPath, spool);
    PutMem(spool);
    PutMem(toolPath);
    return written;
}

void GenSimpleScript(const char *file, const char *shellLine, const char *templ, const char *a1,
                     const char *a2, const char *a3) {
    // The values stand unquoted in the script: ordinary paths stay as they
    // are, others are quoted for the shell.
    char *v1 = ShellQuote(a1);
    char *v2 = ShellQuote(a2);
    char *v3 = ShellQuote(a3);
    WriteScript(file, shellLine, templ, v1, v2, v3);
    PutMem(v3);
    PutMem(v2);
    PutMem(v1);
}

void createQueueScripts(const char *spoolDir) {
    char *printScript = SaveStr("%s/%s", pAppDir, PrintScriptName);
    generateCorlaPrintvqmmScript(printScript, ScriptShShell, CorlaPrintvqmmScript);
    char *filterScript = SaveStr("%s/%s%s", pAppDir, CompanyDir, "CSF");
    char *spool = SaveStr("%s/%s", spoolDir, ProductDir);
    generateCorlaCSFScript(filterScript, ScriptShShell, CorlaCSFScript, spool);

    // LPRng's printconf finds the suite's print script in its utility
    // directory.
    if (SniffLprng() && FindFile(PrintconfUtil, nullptr) &&
        !FindFile(PrintconfUtil, PrintScriptName)) {
        const char *source = printScript;
        char *link = SaveStr("%s/%s", PrintconfUtil, PrintScriptName);
        QuotedArg from(CmdLn, source);
        QuotedArg to(CmdLn, link);
        SysCmd(CmdLn, CmdLogged, "-s %s %s", from.text, to.text);
        PutMem(link);
    }
    PutMem(spool);
    PutMem(filterScript);
    PutMem(printScript);
}
