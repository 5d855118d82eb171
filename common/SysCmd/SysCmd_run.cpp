// SysCmd: running commands and capturing what they print.
//
// A table command runs inside an explicit call of the located shell:
//   /usr/bin/sh -c "/usr/bin/chmod  755 /opt/x 1>>/tmp/setup.log 2>>/tmp/setup.log"
// and the status the runner judges is the command's own: its exit status,
// or the signal that ended it. The system calls go through SysCmdOs so that
// tests can see the exact lines without running them.
#include "SysCmd.h"

#include "MemMgr.h"
#include "TextBuilder.h"
#include "utils.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

constexpr SysCmdOsCalls SysCmdOsDefault = {system, popen, pclose, sleep, kill};
constinit SysCmdOsCalls SysCmdOs = SysCmdOsDefault;
void (*pSysCmdFatalHook)(const char *message) = nullptr;

namespace {

constexpr int ProcessWaitTries = 10; // seconds a -1 wait looks for the process
constexpr size_t MessageSize = 512;

bool InTable(int index) {
    return index >= 0 && index < CmdEnd;
}

// The run cannot go on with a command that was never found; this ends it
// with status 0, as the installer always has.
[[noreturn]] void NoSuchCommand(int index) {
    if (InTable(index))
        fprintf(stderr, "ERROR: unable to locate system command '%s'\n", ComList[index].name);
    else
        fprintf(stderr, "ERROR: unable to locate system command '%d'\n", index);
    exit(0);
}

// "<path>/<name>" of a located command as one shell word.
void AddCommandWord(TextBuilder &text, int index, int layers) {
    char command[CmdLineSize];
    TextBuilder full(command, sizeof command);
    full.Addf("%s/%s", ComList[index].path, ComList[index].name);
    text.AddQuoted(full.Text(), layers);
    if (!full.Fits()) text.flCut = true;
}

// The name a failure message gives: the table name, or the first word of a
// caller's whole command line.
void CommandName(int index, const char *line, char (&name)[64]) {
    if (index >= CmdCancel) {
        snprintf(name, sizeof name, "%s", ComList[index].name);
        return;
    }
    size_t n = strcspn(line, " \t\n");
    snprintf(name, sizeof name, "%.*s", int(n < sizeof name ? n : sizeof name - 1), line);
}

// A failure in the logged modes: a warning line in the log (mode 1), or an
// error line in the log and on standard output and the end of the run
// (mode 2).
void ReportFailure(int mode, const char *message) {
    if (mode == CmdLogged) {
        PutLogMsg("%s: %s\n", "WARNING_MSG", message);
        return;
    }
    if (mode != CmdFatal) return;
    PutLogMsg("%s: %s\n", "ERROR", message);
    printf("%s: %s\n", "ERROR", message);
    if (pSysCmdFatalHook != nullptr) {
        void (*hook)(const char *) = pSysCmdFatalHook;
        pSysCmdFatalHook = nullptr; // a failure inside the hook ends the run plainly
        fflush(stdout);
        hook(message);
    }
    exit(1);
}

// A line that did not fit is never run: cut, it could name another file.
int RefuseLine(int mode, const char *name) {
    char message[MessageSize];
    snprintf(message, sizeof message, "command line for %s longer than %zu characters refused",
             name, CmdLineSize - 1);
    if (mode != CmdFatal) ErrorMsg(ErrReport, 0, "%s", message);
    ReportFailure(mode, message);
    return -1;
}

// Where the command's output goes: nowhere in mode 0; for a shown command in
// mode 1 or 2 the log, provided it is this user's own file (else nowhere,
// so that a log that cannot be used never fails the command); the terminal
// otherwise.
void AddRedirection(TextBuilder &text, int mode, bool logged, int layers) {
    if (mode == CmdQuiet) {
        text.Add(" 1>/dev/null 2>/dev/null");
        return;
    }
    if (!logged) return;
    char *log = LogRedirectPath();
    if (strcmp(log, "/dev/null") == 0) {
        text.Add(" 1>>/dev/null 2>>/dev/null");
    } else {
        text.Add(" 1>>");
        text.AddQuoted(log, layers);
        text.Add(" 2>>");
        text.AddQuoted(log, layers);
    }
    PutMem(log);
}

void WaitAfter(int index) {
    int32_t wait = ComList[index].wait;
    if (wait > 0) {
        SysCmdOs.xSleep(unsigned(wait));
        return;
    }
    if (wait != CmdWaitProcess) return;
    const char *name = ComList[index].name;
    char *ids = GetSysPsIdList(name);
    for (int tries = 0; ids == nullptr && tries < ProcessWaitTries; ++tries) {
        SysCmdOs.xSleep(1);
        ids = GetSysPsIdList(name);
    }
    if (ids != nullptr)
        PutMem(ids);
    else
        PutLogMsg("ERROR: Time out for command %s\n", name);
}

// Start the pipe of GetCmdResponse and GetCmdResponseStr; none when the line
// is refused or the command cannot be started.
[[gnu::format(printf, 2, 0)]] FILE *OpenCmdPipe(int index, const char *format, va_list args) {
    if (index < 0) index = index == INT_MIN ? CmdEnd : -index;
    if (!InTable(index)) NoSuchCommand(index);
    if (flInitSysCmd && index >= CmdCancel && !CmdHasPath(index)) FillCmdPath(index);

    char line[CmdLineSize];
    TextBuilder text(line, sizeof line);
    if (index >= CmdCancel) {
        if (!CmdHasPath(index)) NoSuchCommand(index);
        AddCommandWord(text, index, OneShell);
        text.Addf(" %s ", ComList[index].flags);
    }
    text.AddV(format, args);
    if (!text.Fits()) {
        char name[64];
        CommandName(index, line, name);
        ErrorMsg(ErrReport, 0, "command line for %s longer than %zu characters refused", name,
                 CmdLineSize - 1);
        return nullptr;
    }
    fflush(stdout); // what was printed so far comes before the command's output
    return SysCmdOs.xPopen(line, "r");
}

} // namespace

int JudgeStatus(int status, int error, const char *name, char *message, size_t size) {
    char unused[1];
    if (message == nullptr || size == 0) {
        message = unused;
        size = sizeof unused;
    }
    message[0] = '\0';
    const char *gap = name != nullptr ? " " : "";
    if (name == nullptr) name = "";
    if (status == -1) {
        snprintf(message, size, "command%s%s could not be run: %s", gap, name,
                 error != 0 ? strerror(error) : "unknown error");
        return -1;
    }
    if (WIFEXITED(status)) {
        int code = WEXITSTATUS(status);
        if (code != 0)
            snprintf(message, size, "command%s%s exited with status %d", gap, name, code);
        return code;
    }
    if (WIFSIGNALED(status)) {
        int sig = WTERMSIG(status);
        const char *what = strsignal(sig);
        snprintf(message, size, "command%s%s killed by signal %d (%s)", gap, name, sig,
                 what ? what : "unknown");
        return 128 + sig;
    }
    snprintf(message, size, "command%s%s ended with wait status %d", gap, name, status);
    return -1;
}

int SysCmd(int index, int mode, const char *format, ...) {
    bool shown = index > 0;
    if (index < 0) index = index == INT_MIN ? CmdEnd : -index;
    if (!InTable(index)) NoSuchCommand(index);
    if (flInitSysCmd) {
        if (index >= CmdCancel && !CmdHasPath(index)) FillCmdPath(index);
        if (!CmdHasPath(CmdSh)) FillCmdPath(CmdSh);
    }

    char line[CmdLineSize];
    TextBuilder text(line, sizeof line);
    const int layers = index >= CmdCancel ? TwoShells : OneShell;
    if (index >= CmdCancel) {
        if (!CmdHasPath(index)) NoSuchCommand(index);
        if (!CmdHasPath(CmdSh)) NoSuchCommand(CmdSh);
        AddCommandWord(text, CmdSh, OneShell);
        text.Add(" -c \"");
        AddCommandWord(text, index, TwoShells);
        text.Addf(" %s ", ComList[index].flags);
    }
    va_list args;
    va_start(args, format);
    text.AddV(format, args);
    va_end(args);
    const size_t shownLen = text.nLen; // what the log gets: the line without redirection

    const bool logged = shown && (mode == CmdLogged || mode == CmdFatal);
    AddRedirection(text, mode, logged, layers);
    if (index >= CmdCancel) text.Add("\"");

    char name[64];
    CommandName(index, line, name);
    if (!text.Fits()) return RefuseLine(mode, name);

    if (logged && flSysCmdLog) {
        fputc('.', stdout);
        fflush(stdout);
        PutLogMsg("%.*s\n", int(shownLen), line);
    }

    fflush(stdout); // what was printed so far comes before the command's output
    errno = 0;
    int rc = SysCmdOs.xSystem(line);
    char message[MessageSize];
    int status = JudgeStatus(rc, errno, name, message, sizeof message);
    if (status != 0) ReportFailure(mode, message);

    WaitAfter(index);
    return status;
}

CmdResponse *ReadResponseList(FILE *stream, const char *filter) {
    if (stream == nullptr) return nullptr;
    const bool filtered = filter != nullptr && filter[0] != '\0';
    CmdResponse *head = nullptr;
    CmdResponse **tail = &head;
    char buf[CmdLineSize];
    while (fgets(buf, sizeof buf, stream) != nullptr) {
        if (filtered && strstr(buf, filter) == nullptr) continue;
        size_t len = strlen(buf);
        auto *record = static_cast<CmdResponse *>(GetMem(sizeof(CmdResponse) + len + 1));
        if (record == nullptr) continue; // that line is lost, the others are kept
        record->text = reinterpret_cast<char *>(record + 1);
        memcpy(record->text, buf, len + 1);
        record->next = nullptr;
        *tail = record;
        tail = &record->next;
    }
    return head;
}

void FreeResponseList(CmdResponse *list) {
    while (list != nullptr) {
        CmdResponse *next = list->next;
        PutMem(list);
        list = next;
    }
}

CmdResponse *GetCmdResponse(int index, const char *filter, const char *format, ...) {
    va_list args;
    va_start(args, format);
    FILE *pipe = OpenCmdPipe(index, format, args);
    va_end(args);
    if (pipe == nullptr) return nullptr;
    CmdResponse *list = ReadResponseList(pipe, filter);
    SysCmdOs.xPclose(pipe);
    return list;
}

char *GetCmdResponseStr(int index, const char *filter, const char *format, ...) {
    va_list args;
    va_start(args, format);
    FILE *pipe = OpenCmdPipe(index, format, args);
    va_end(args);
    if (pipe == nullptr) return nullptr;

    const bool filtered = filter != nullptr && filter[0] != '\0';
    char *text = nullptr;
    size_t used = 0;
    char buf[CmdLineSize];
    while (fgets(buf, sizeof buf, pipe) != nullptr) {
        if (filtered && strstr(buf, filter) == nullptr) continue;
        size_t len = strlen(buf);
        auto *grown = static_cast<char *>(AdjustMem(text, used + len + 2));
        if (grown == nullptr) continue; // the text so far stays; this line is lost
        text = grown;
        memcpy(text + used, buf, len);
        used += len;
        if (len == 0 || buf[len - 1] != '\n') text[used++] = '\n';
        text[used] = '\0';
    }
    SysCmdOs.xPclose(pipe);
    return text;
}
