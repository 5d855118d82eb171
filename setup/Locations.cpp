// Locations: the installation found through /opt/Corla/vqmm, and the path
// forms it and the command line are compared in.
#include "Locations.h"

#include "MemMgr.h"
#include "SetupGlobals.h"
#include "utils.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Cut path (in place) at the first component that is exactly name.
void CutAtComponent(char *path, std::string_view name) {
    for (char *p = path; *p != '\0'; ++p) {
        if (p != path && p[-1] != '/') continue;
        if (std::string_view(p).starts_with(name) &&
            (p[name.size()] == '/' || p[name.size()] == '\0')) {
            *p = '\0';
            return;
        }
    }
}

// path with "." components and doubled "/" removed; with resolveParents also
// ".." folded into the component before it (textual, for a link target).
char *NormalizePath(const char *path, bool resolveParents) {
    const size_t size = strlen(path) + 2;
    char *out = static_cast<char *>(GetMem(size));
    if (out == nullptr) SysError("%s", OutOfMem);
    size_t used = 0;
    std::string_view rest(path);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == ".." && resolveParents) {
            while (used > 0 && out[used - 1] != '/')
                --used;
            if (used > 0) --used;
            out[used] = '\0';
            continue;
        }
        out[used++] = '/';
        memcpy(out + used, part.data(), part.size());
        used += part.size();
        out[used] = '\0';
    }
    if (used == 0) out[used++] = '/';
    out[used] = '\0';
    return out;
}

} // namespace

char *MakeAbsolutePath(const char *path) {
    if (path == nullptr) return nullptr;
    if (path[0] == '/') return NormalizePath(path, false);
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return nullptr;
    char *joined = SaveStr("%s/%s", cwd, path);
    char *result = NormalizePath(joined, false);
    PutMem(joined);
    return result;
}

int SameDirectory(const char *a, const char *b) {
    char realA[PATH_MAX];
    char realB[PATH_MAX];
    if (realpath(a, realA) != nullptr && realpath(b, realB) != nullptr)
        return strcmp(realA, realB) == 0;
    return strcmp(a, b) == 0;
}

char *StripToBaseName(char *path) {
    if (path == nullptr) return nullptr;
    CutAtComponent(path, ProductDir);
    CutAtComponent(path, CompanyDir);
    size_t len = strlen(path);
    if (len > 1 && path[len - 1] == '/') path[len - 1] = '\0';
    if (path[0] == '\0') {
        // Nothing was left of the path but the two names: the root.
        path[0] = '/';
        path[1] = '\0';
    }
    return path;
}

char *locatePreviousInstallation() {
    struct stat st;
    if (lstat(AppLinkPath, &st) != 0) return nullptr;
    // Only a directory (or a link to one) is an installation: a stray file or
    // a link whose installation was removed would send the run down the
    // upgrade path with nothing to upgrade.
    struct stat target;
    if (stat(AppLinkPath, &target) != 0 || !S_ISDIR(target.st_mode)) return nullptr;
    if (!S_ISLNK(st.st_mode)) return SaveStr_(DefaultInstallDir);

    char link[PATH_MAX];
    ssize_t n = readlink(AppLinkPath, link, sizeof link);
    if (n < 0 || size_t(n) >= sizeof link) return SaveStr_(DefaultInstallDir);
    link[n] = '\0';

    char *dir = nullptr;
    if (link[0] == '/') {
        dir = NormalizePath(link, false);
    } else {
        // A relative target is relative to the link's own directory.
        char *joined = SaveStr("%s/%s", CompanyLinkDir, link);
        char resolved[PATH_MAX];
        dir = realpath(joined, resolved) != nullptr ? SaveStr_(resolved)
                                                    : NormalizePath(joined, true);
        PutMem(joined);
    }
    return StripToBaseName(dir);
}
