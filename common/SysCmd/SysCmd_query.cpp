// SysCmd: questions about the running system, answered by running a table
// command through GetCmdResponse and parsing what it prints.
#include "SysCmd.h"

#include "MemMgr.h"
#include "TextBuilder.h"
#include "utils.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace {

constexpr int KillSignal = 9;

// Finish a blank-separated list built in Line: the final blank, then a copy;
// none when nothing was listed.
char *SaveListFromLine() {
    if (Line[0] == '\0') return nullptr;
    size_t len = strlen(Line);
    if (len + 1 < LineSize) {
        Line[len] = ' ';
        Line[len + 1] = '\0';
    }
    return SaveStr_(Line);
}

// A process id that may be signalled: plain decimal digits, above 1 (0 and
// 1 would mean the process group or init), and not this process.
bool ToSignallablePid(std::string_view word, pid_t &pid) {
    if (word.empty() || word.size() > 9) return false;
    long value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value <= 1 || value == long(getpid())) return false;
    pid = pid_t(value);
    return true;
}

} // namespace

char *GetSysPsIdList(const char *name) {
    Line[0] = '\0';
    if (name == nullptr) return nullptr;
    CmdResponse *response = GetCmdResponse(CmdPs, name, "%s", "");
    // One byte stays free for the final blank.
    ParsePsResponse(response, name, Line, LineSize - 1);
    FreeResponseList(response);
    return SaveListFromLine();
}

char *CheckProcTableForExecs(const char *list) {
    if (list == nullptr) return nullptr;
    char *names = SaveStr_(list);
    char *report = nullptr;
    size_t used = 0;
    char *save = nullptr;
    // strtok_r: GetSysPsIdList must not disturb this scan.
    for (char *name = strtok_r(names, ",", &save); name != nullptr;
         name = strtok_r(nullptr, ",", &save)) {
        char *ids = GetSysPsIdList(name);
        if (ids == nullptr) continue;
        size_t add = strlen(name) + strlen(ids) + 4; // " (", ")\n"
        auto *grown = static_cast<char *>(AdjustMem(report, used + add + 1));
        if (grown == nullptr) SysError("%s", OutOfMem);
        report = grown;
        used += size_t(snprintf(report + used, add + 1, "%s (%s)\n", name, ids));
        PutMem(ids);
    }
    PutMem(names);
    return report;
}

int KillProcessByName(const char *name) {
    ScopedMem ids(GetSysPsIdList(name));
    std::string_view rest(ids ? ids.get() : "");
    while (!rest.empty()) {
        size_t start = rest.find_first_not_of(" \t\n");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        size_t end = rest.find_first_of(" \t\n");
        std::string_view word = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);

        pid_t pid = 0;
        if (!ToSignallablePid(word, pid)) continue;
        if (SysCmdOs.xKill(pid, KillSignal) != 0 && errno == EPERM) {
            // Not ours to signal: neither are the others, most likely.
            SysCmdOs.xSleep(1);
            return 0;
        }
    }
    SysCmdOs.xSleep(1);
    return 0;
}

int GetDiskSpace(const char *directory, DiskSpace *space) {
    if (space == nullptr) return 0;
    space->avail = 0;
    space->line[0] = '\0';
    if (directory == nullptr) return 0;
    QuotedArg dir(directory);
    CmdResponse *response = GetCmdResponse(CmdDf, nullptr, "%s", dir.text);
    int found = ParseDfResponse(response, space);
    FreeResponseList(response);
    return found;
}

double DUPath(const char *path) {
    if (path == nullptr) return 0;
    QuotedArg target(path);
    CmdResponse *response = GetCmdResponse(CmdDu, nullptr, "%s", target.text);
    double size = ParseDuResponse(response);
    FreeResponseList(response);
    return size;
}

int AvailSpace(const char *directory, const char *name, double required) {
    if (directory == nullptr) return 0;
    DiskSpace space;
    if (name != nullptr && FindFile(directory, name)) {
        // What the file or tree takes now is freed when it is replaced.
        char path[CmdLineSize];
        TextBuilder text(path, sizeof path);
        text.Addf("%s/%s", directory, name);
        double now = text.Fits() ? DUPath(path) : 0;
        GetDiskSpace(directory, &space);
        space.avail += now;
        return space.avail >= required;
    }

    // A directory that does not exist yet is measured through its nearest
    // existing parent; when the parent no longer changes ("/" or "."), there
    // is nothing left to measure.
    char dir[PathBufSize];
    if (strlen(directory) >= sizeof dir) return 0; // never measure a cut path
    snprintf(dir, sizeof dir, "%s", directory);
    while (!GetDiskSpace(dir, &space)) {
        const char *parent = StripFn(dir);
        if (strcmp(parent, dir) == 0) return 0;
        snprintf(dir, sizeof dir, "%s", parent);
    }
    return space.avail >= required;
}

char *GetSysPkgList(const char *filter) {
    Line[0] = '\0';
    CmdResponse *response = GetCmdResponse(CmdPkginfo, filter, "%s", "");
    ParsePkgResponse(response, Line, LineSize - 1);
    FreeResponseList(response);
    return SaveListFromLine();
}

int SniffLprng() {
    if (!TestCmd(CmdLpd)) return 0;
    // The LPRng daemon prints its version banner on standard error.
    CmdResponse *response = GetCmdResponse(CmdLpd, "LPRng", "%s", " -V 2>&1");
    int found = 0;
    for (const CmdResponse *r = response; r != nullptr && !found; r = r->next)
        found = strstr(r->text, "LPRng") != nullptr;
    FreeResponseList(response);
    return found;
}

int SniffCUPS() {
    return TestCmd(CmdCupsd) ? 1 : 0;
}

int SysGetSubnetMask([[maybe_unused]] const char *interfaceName, [[maybe_unused]] char *mask,
                     [[maybe_unused]] int size) {
    return 0;
}
