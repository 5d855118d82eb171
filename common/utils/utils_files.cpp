// utils: existence and type tests, directory listings, creating, deleting
// and renaming through the runner, and facts about the environment.
//
// Existence tests read the directory and compare whole entry names, so they
// need read permission on the directory, not access to the entry. Joined
// paths are new texts, never cut: the runner refuses a command line that
// does not fit, which is safer than acting on a shortened path.
#include "utils.h"

#include "FileReplace.h"
#include "MemMgr.h"
#include "SysCmd.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A directory part and a last piece, copied out of the path functions'
// static buffers so that nested calls cannot overwrite them.
struct PathParts {
    char dir[PathBufSize];
    char name[PathBufSize];
};

// Split path at its last "/" as StripFn and StripPath do. 0 when the path is
// too long to be split without cutting it.
int SplitPath(const char *path, PathParts &parts) {
    if (path == nullptr || strlen(path) >= PathBufSize) return 0;
    snprintf(parts.dir, sizeof parts.dir, "%s", StripFn(path));
    snprintf(parts.name, sizeof parts.name, "%s", StripPath(path));
    return 1;
}

// 1 when name is an entry of dir (whole names). An empty name stands for the
// directory itself: present whenever the directory can be read.
int HasEntry(const char *dir, const char *name) {
    DIR *handle = opendir(dir);
    if (handle == nullptr) return 0;
    int found = name[0] == '\0';
    for (struct dirent *entry = readdir(handle); entry != nullptr && !found;
         entry = readdir(handle))
        found = strcmp(entry->d_name, name) == 0;
    closedir(handle);
    return found;
}

// "<directory>/<name>", or the one that is given; none when neither is.
char *JoinPath(const char *directory, const char *name) {
    if (directory == nullptr) return SaveStr_(name);
    if (name == nullptr) return SaveStr_(directory);
    return SaveStr("%s/%s", directory, name);
}

bool Given(const char *text) {
    return text != nullptr && text[0] != '\0';
}

// Run rm -rf on path in mode 1 when FindFile finds it through the form
// (directory, name). 1 when gone or missing, 0 when rm failed.
int RemoveIfPresent(const char *testDir, const char *testName, const char *path) {
    if (path == nullptr || !FindFile(testDir, testName)) return 1;
    QuotedArg target(CmdRmR, path);
    return SysCmd(CmdRmR, CmdLogged, "%s", target.text) == 0;
}

// A listing " a b c " grown as entries come, read in one pass.
struct Listing {
    char *pText = nullptr;
    size_t nUsed = 0;
    size_t nSize = 0;

    void Add(const char *name) {
        size_t len = strlen(name);
        if (nUsed + len + 3 > nSize) {
            size_t size = nSize == 0 ? 256 : nSize;
            while (nUsed + len + 3 > size)
                size *= 2;
            auto *grown = static_cast<char *>(AdjustMem(pText, size));
            if (grown == nullptr) SysError("%s", OutOfMem);
            pText = grown;
            nSize = size;
        }
        pText[nUsed++] = ' ';
        memcpy(pText + nUsed, name, len);
        nUsed += len;
        pText[nUsed] = '\0';
    }
    char *Finish() {
        if (pText == nullptr) return nullptr;
        pText[nUsed++] = ' ';
        pText[nUsed] = '\0';
        return pText;
    }
};

bool IsDotEntry(const char *name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// The whole of the file at path appended to fd.
bool CopyContent(const char *path, int fd) {
    int in = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return false;
    char chunk[8192];
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!WriteAll(fd, chunk, size_t(n))) {
            ok = false;
            break;
        }
    }
    int error = errno;
    close(in);
    errno = error;
    return ok;
}

mode_t CurrentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

} // namespace

int WriteAll(int fd, const void *data, size_t n) {
    const char *p = static_cast<const char *>(data);
    while (n > 0) {
        ssize_t written = write(fd, p, n);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO; // nothing taken and no reason given
            return 0;
        }
        p += written;
        n -= size_t(written);
    }
    return 1;
}

bool FileReplace::Open(const char *target, Mode mode, mode_t permissions, bool readable) {
    Abandon();
    flWriteFailed = false;
    if (!SetNames(target)) return false;
    const char *streamMode =
        readable ? (mode == Append ? "a+" : "r+") : (mode == Append ? "a" : "w");
    struct stat old;
    bool exists = lstat(Target, &old) == 0;
    if (exists && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
        return OpenInPlace(mode, readable, streamMode);
    bool regular = exists && S_ISREG(old.st_mode);
    if (mode == Update && !regular) {
        Aside[0] = '\0';
        errno = ENOENT;
        return false;
    }
    // A file its writer may not write is not replaced either.
    if (regular && faccessat(AT_FDCWD, Target, W_OK, AT_EACCESS) != 0) {
        Aside[0] = '\0';
        return false;
    }
    return OpenAside(mode, permissions, streamMode, regular ? &old : nullptr);
}

bool FileReplace::SetNames(const char *target) {
    if (target == nullptr || target[0] == '\0') {
        errno = ENOENT;
        return false;
    }
    int n = snprintf(Target, sizeof Target, "%s", target);
    int m = snprintf(Aside, sizeof Aside, "%s.XXXXXX", target);
    if (n < 0 || size_t(n) >= sizeof Target || m < 0 || size_t(m) >= sizeof Aside) {
        Aside[0] = '\0';
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

// A device or a pipe: written as it is, nothing to keep.
bool FileReplace::OpenInPlace(Mode mode, bool readable, const char *streamMode) {
    Aside[0] = '\0';
    int flags = (readable ? O_RDWR : O_WRONLY) | O_NOFOLLOW | O_CLOEXEC |
                (mode == Append ? O_APPEND : 0) | (mode == Truncate ? O_TRUNC : 0);
    // Its own mode is the device's business, not the writer's.
    int fd = open(Target, flags);
    if (fd >= 0) pStream = fdopen(fd, streamMode);
    if (pStream == nullptr) {
        int error = errno;
        if (fd >= 0) close(fd);
        errno = error;
        return false;
    }
    flInPlace = true;
    return true;
}

// The new file beside the target, created exclusively under a name of its
// own (never through a link), with its mode, owner and old content as the
// mode asks. old is the target's status when it is a regular file.
bool FileReplace::OpenAside(Mode mode, mode_t permissions, const char *streamMode,
                            const struct stat *old) {
    int fd = mkostemp(Aside, O_CLOEXEC);
    if (fd < 0) {
        Aside[0] = '\0';
        return false;
    }
    mode_t wanted = permissions != 0 ? permissions
                    : old != nullptr ? old->st_mode & 07777
                                     : 0666 & ~CurrentUmask();
    bool ok = fchmod(fd, wanted) == 0;
    // Best effort, as for any file root rewrites: on failure the new file
    // stays root's with the wanted mode.
    [[maybe_unused]] int owned =
        ok && old != nullptr && geteuid() == 0 ? fchown(fd, old->st_uid, old->st_gid) : 0;
    if (ok && old != nullptr && mode != Truncate) {
        ok = CopyContent(Target, fd);
        flWriteFailed = !ok;
        if (ok && mode == Update) ok = lseek(fd, 0, SEEK_SET) == 0;
    }
    if (ok) pStream = fdopen(fd, streamMode);
    if (pStream == nullptr) {
        int error = errno;
        close(fd);
        unlink(Aside);
        Aside[0] = '\0';
        errno = error;
        return false;
    }
    flInPlace = false;
    return true;
}

bool FileReplace::Commit() {
    if (pStream == nullptr) {
        errno = EBADF;
        return false;
    }
    // A write that failed earlier left the error flag; errno may have moved
    // on since, so an unknown reason is reported as an input/output error.
    int error = 0;
    if (ferror(pStream)) error = errno != 0 ? errno : EIO;
    if (error == 0 && fflush(pStream) != 0) error = errno;
    if (error == 0 && !flInPlace && fsync(fileno(pStream)) != 0) error = errno;
    if (fclose(pStream) != 0 && error == 0) error = errno;
    pStream = nullptr;
    if (error == 0 && !flInPlace && rename(Aside, Target) != 0) error = errno;
    if (error != 0 && !flInPlace) unlink(Aside);
    Aside[0] = '\0';
    errno = error;
    return error == 0;
}

void FileReplace::Abandon() {
    int error = errno;
    if (pStream != nullptr) fclose(pStream);
    pStream = nullptr;
    if (Aside[0] != '\0' && !flInPlace) unlink(Aside);
    Aside[0] = '\0';
    errno = error;
}

int FindFile(const char *directory, const char *name) {
    PathParts parts;
    if (directory == nullptr) {
        if (!Given(name) || !SplitPath(name, parts)) return 0;
    } else if (!Given(name)) {
        if (!SplitPath(directory, parts)) return 0;
    } else if (strchr(name, '/') != nullptr) {
        char *joined = SaveStr("%s/%s", directory, name);
        int ok = SplitPath(joined, parts);
        PutMem(joined);
        if (!ok) return 0;
    } else {
        if (strlen(directory) >= PathBufSize || strlen(name) >= PathBufSize) return 0;
        snprintf(parts.dir, sizeof parts.dir, "%s", directory);
        snprintf(parts.name, sizeof parts.name, "%s", name);
    }
    return HasEntry(parts.dir, parts.name);
}

int FindFile_(const char *directory, const char *name) {
    char *path = JoinPath(directory, name);
    if (path == nullptr) return 0;
    struct stat st;
    int found = stat(path, &st) == 0;
    PutMem(path);
    return found;
}

int GetFileType(const char *path) {
    struct stat st;
    if (path == nullptr || lstat(path, &st) != 0) return FileMissing;
    if (S_ISDIR(st.st_mode)) return FileDirectory;
    if (S_ISLNK(st.st_mode)) return FileLink;
    return FileOther;
}

off_t GetFileSize(const char *path) {
    struct stat st;
    if (path == nullptr || stat(path, &st) != 0) return 0;
    return st.st_size;
}

time_t GetFileTime(const char *path) {
    struct stat st;
    if (path == nullptr || stat(path, &st) != 0) return 0;
    return st.st_mtime;
}

char *FindExistingPath(const char *path, int *exists) {
    if (path == nullptr) return nullptr;
    char current[PathBufSize];
    if (strlen(path) >= sizeof current) return nullptr;
    snprintf(current, sizeof current, "%s", path);
    if (FindFile(current, nullptr)) {
        if (exists != nullptr) *exists = 1;
        return SaveStr_(current);
    }
    // Up the chain of parents; where the parent no longer changes (an
    // unreadable "/" or "."), that is the answer.
    for (;;) {
        char parent[PathBufSize];
        snprintf(parent, sizeof parent, "%s", StripFn(current));
        if (strcmp(parent, current) == 0) return SaveStr_(current);
        snprintf(current, sizeof current, "%s", parent);
        if (FindFile(current, nullptr)) return SaveStr_(current);
    }
}

void CreateFile(const char *directory, const char *name, const char *mode, const char *owner,
                const char *group) {
    if (directory == nullptr && name == nullptr) return;
    if (directory != nullptr && !FindFile(directory, nullptr)) {
        QuotedArg dir(CmdMkdir, directory);
        SysCmd(CmdMkdir, CmdFatal, "%s", dir.text);
    }
    char *target = JoinPath(directory, name);
    if (name != nullptr) {
        QuotedArg file(CmdTouch, target);
        SysCmd(CmdTouch, CmdFatal, "%s", file.text);
    }
    if (Given(mode)) {
        QuotedArg file(CmdChmod, target);
        SysCmd(CmdChmod, CmdFatal, "%s %s", mode, file.text);
    }
    if (Given(owner)) {
        QuotedArg user(CmdChown, owner);
        QuotedArg file(CmdChown, target);
        SysCmd(CmdChown, CmdFatal, "%s %s", user.text, file.text);
    }
    if (Given(group)) {
        QuotedArg grp(CmdChgrp, group);
        QuotedArg file(CmdChgrp, target);
        SysCmd(CmdChgrp, CmdFatal, "%s %s", grp.text, file.text);
    }
    PutMem(target);
}

int CreateTextFile(const char *path, const char *openMode, int permissions, const char *format,
                   ...) {
    if (path == nullptr || openMode == nullptr) return 0;
    // The text is written beside the file and renamed over it once it is
    // complete, so a failed write (a full disk, a file-size limit) leaves an
    // existing file as it was.
    FileReplace::Mode mode;
    switch (openMode[0]) {
    case 'w':
        mode = FileReplace::Truncate;
        break;
    case 'a':
        mode = FileReplace::Append;
        break;
    case 'r':
        mode = FileReplace::Update;
        break;
    default:
        fprintf(stderr, "ERROR: couldn't open %s\n", path);
        return 0;
    }
    FileReplace out;
    bool opened = out.Open(path, mode, mode_t(permissions), strchr(openMode, '+') != nullptr);
    if (!opened && !out.WriteFailed()) {
        fprintf(stderr, "ERROR: couldn't open %s\n", path);
        return 0;
    }
    int written = -1;
    if (opened) {
        va_list args;
        va_start(args, format);
        written = vfprintf(out.Stream(), format, args);
        va_end(args);
    }
    if (written < 0 || !out.Commit()) {
        int error = errno != 0 ? errno : EIO;
        out.Abandon();
        fprintf(stderr, "ERROR: couldn't write %s : %s\n", path, strerror(error));
        return 0;
    }
    return 1;
}

int DeleteFile(const char *directory, const char *name) {
    char *path = JoinPath(directory, name);
    int done = directory == nullptr ? RemoveIfPresent(nullptr, name, path)
                                    : RemoveIfPresent(directory, name, path);
    PutMem(path);
    return done;
}

int DeleteFile_(const char *path, const char *name) {
    if (path == nullptr) return DeleteFile(nullptr, name);
    char *full = JoinPath(path, name);
    int done = RemoveIfPresent(path, name, full);
    PutMem(full);
    return done;
}

int RenameFile(const char *directory, const char *oldName, const char *newName) {
    if (oldName == nullptr || newName == nullptr) return 0;
    // Without a directory the names are full paths.
    if (directory == nullptr ? !FindFile(nullptr, oldName) : !FindFile(directory, oldName))
        return 0;
    char *from = JoinPath(directory, oldName);
    char *to = JoinPath(directory, newName);
    QuotedArg source(-CmdMv, from);
    QuotedArg target(-CmdMv, to);
    int status = SysCmd(-CmdMv, CmdLogged, "%s %s", source.text, target.text);
    PutMem(from);
    PutMem(to);
    return status == 0;
}

char *ReadDir(DIR *handle, [[maybe_unused]] int unused) {
    if (handle == nullptr) return nullptr;
    struct dirent *entry = readdir(handle);
    return entry != nullptr ? entry->d_name : nullptr;
}

char *GetDirFileList(const char *directory) {
    if (directory == nullptr) return nullptr;
    DIR *handle = opendir(directory);
    if (handle == nullptr) return nullptr;
    Listing listing;
    for (struct dirent *entry = readdir(handle); entry != nullptr; entry = readdir(handle))
        listing.Add(entry->d_name);
    closedir(handle);
    return listing.Finish();
}

char *SearchDirFileList(const char *directory, const char *extension) {
    if (directory == nullptr) return nullptr;
    DIR *handle = opendir(directory);
    if (handle == nullptr) return nullptr;
    Listing listing;
    for (struct dirent *entry = readdir(handle); entry != nullptr; entry = readdir(handle)) {
        if (IsDotEntry(entry->d_name)) continue;
        if (extension != nullptr) {
            const char *dot = strrchr(entry->d_name, '.');
            if (dot == nullptr || strcmp(dot + 1, extension) != 0) continue;
        }
        listing.Add(entry->d_name);
    }
    closedir(handle);
    return listing.Finish();
}

char *GetEnv(const char *name) {
    if (name == nullptr) return nullptr;
    return SaveStr_(getenv(name));
}

char *GetUserName() {
    if (!TestCmd(CmdWhoami)) {
        uid_t uid = getuid();
        if (uid == 0) return SaveStr_("root");
        return SaveStr("User ID:  %d", int(uid));
    }
    char *command = GetCmd(CmdWhoami);
    if (command == nullptr) return nullptr;
    fflush(stdout); // what was printed so far comes before the command's output
    FILE *pipe = SysCmdOs.xPopen(command, "r");
    PutMem(command);
    if (pipe == nullptr) return nullptr;
    char line[256];
    if (fgets(line, sizeof line, pipe) == nullptr) line[0] = '\0';
    SysCmdOs.xPclose(pipe);
    line[strcspn(line, "\n\r")] = '\0';
    return SaveStr_(line);
}

char *GetHostname() {
    char name[256];
    if (gethostname(name, sizeof name) != 0) return nullptr;
    name[sizeof name - 1] = '\0'; // a name that filled the buffer is not terminated
    name[strcspn(name, "\n\r")] = '\0';
    return SaveStr_(name);
}

char *GetToolPath(const char *programPath) {
    char dir[PathBufSize];
    snprintf(dir, sizeof dir, "%s", StripFn(programPath));
    if (programPath != nullptr && programPath[0] == '/') return SaveStr_(dir);

    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return SaveStr_(dir);
    const std::string_view d(dir);
    if (d == ".") return SaveStr_(cwd);
    // No doubled slash when the current directory is the root.
    const char *sep = strcmp(cwd, "/") == 0 ? "" : "/";
    if (d.starts_with("./")) return SaveStr("%s%s%s", cwd, sep, dir + 2);
    if (d == ".." || d.starts_with("../")) {
        // Started as ../dir/setup: the directory that path really names.
        char *joined = SaveStr("%s%s%s", cwd, sep, dir);
        char resolved[PATH_MAX];
        if (realpath(joined, resolved) == nullptr) return joined;
        PutMem(joined);
        return SaveStr_(resolved);
    }
    return SaveStr("%s%s%s", cwd, sep, dir);
}
