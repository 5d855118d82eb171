// PathChecks: the shell's special characters, and the owners and modes on
// the way to the work area.
#include "PathChecks.h"

#include "Catalogue.h"
#include "MemMgr.h"
#include "utils.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Owners whose directories this run may rely on: root and the operator.
bool TrustedOwner(uid_t uid) {
    return uid == 0 || uid == geteuid() || uid == getuid();
}

// Nobody else can rename, remove or add an entry; in a sticky directory
// others may add entries but never rename or remove another's.
bool ClosedToOthers(const struct stat &st) {
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st.st_mode & S_ISVTX) != 0;
}

constexpr int MaxLinksOnPath = 40; // as the kernel's own limit

[[noreturn]] void RefuseUnsafe(const char *workArea, const char *where) {
    NlsSetupPrintf(NlsUnsafeWorkArea, "%s %s", workArea, where);
    printf("\n\n");
    exit(2);
}

} // namespace

int ShellSafePath(const char *path) {
    return path != nullptr && strpbrk(path, " \t\n\r\"'`$\\;&|<>*?()") == nullptr;
}

void RefuseShellUnsafePath(const char *path) {
    if (!ShellSafePath(path)) RefuseUnusablePath(path);
}

void RefuseUnusablePath(const char *path) {
    NlsSetupPrintf(NlsCouldntOpen, "%s", path != nullptr ? path : "");
    printf("\n\n");
    exit(2);
}

char *UnsafeDirectoryOnPath(const char *dir) {
    struct stat st;
    if (lstat("/", &st) != 0 || !TrustedOwner(st.st_uid) || !ClosedToOthers(st))
        return SaveStr_("/");
    std::string done;      // the way checked so far, resolved; "" is "/"
    std::string rest(dir); // the way still to go
    int links = 0;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string part = rest.substr(0, slash);
        rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            done.erase(done.empty() ? 0 : done.rfind('/'));
            continue;
        }
        const std::string next = done + "/" + part;
        if (lstat(next.c_str(), &st) != 0) return nullptr; // made later, by this run
        if (S_ISLNK(st.st_mode)) {
            // The link's owner can point it elsewhere at any time.
            if (!TrustedOwner(st.st_uid) || ++links > MaxLinksOnPath) return SaveStr_(next.c_str());
            char target[PATH_MAX];
            ssize_t n = readlink(next.c_str(), target, sizeof target);
            if (n <= 0 || size_t(n) >= sizeof target) return SaveStr_(next.c_str());
            if (target[0] == '/') done.clear();
            rest = std::string(target, size_t(n)) + (rest.empty() ? "" : "/") + rest;
            continue;
        }
        // Not a directory: the command that needs one fails on its own.
        if (!S_ISDIR(st.st_mode)) return nullptr;
        if (!TrustedOwner(st.st_uid) || !ClosedToOthers(st)) return SaveStr_(next.c_str());
        done = next;
    }
    return nullptr;
}

void RefuseUnsafeWorkAreaBase(const char *workArea, const char *existingBase) {
    char *where = UnsafeDirectoryOnPath(existingBase);
    if (where != nullptr) RefuseUnsafe(workArea, where);
}

void RefuseUnsafeWorkArea(const char *workArea) {
    // The work area itself is made afresh by this run and checked then.
    std::string parent(workArea, strlen(workArea) - strlen(StripPath(workArea)));
    RefuseUnsafeWorkAreaBase(workArea, parent.empty() ? "/" : parent.c_str());
}
