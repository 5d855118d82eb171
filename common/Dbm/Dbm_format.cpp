// Record formats of the keyed record stores
// ==========================================
//
// Scrambling. A run of n bytes b[0..n) is stored as s[i] = b[i] ^ b[i+1] for
// i < n - 1 and s[n-1] = b[n-1] (a run of one byte is stored as it is). It is
// restored backwards: b[n-1] = s[n-1], then b[i] = s[i] ^ b[i+1]. This hides
// texts from a casual look; it is not a cipher and has no key. Equal runs
// scramble to equal bytes, so a key can be looked up by scrambling the wanted
// key once and comparing stored bytes.
//
// Record file (one store per file; also the cached store's legacy format).
// No header, no terminator: records back to back, in the order written; an
// updated record moves to the end.
//
//   offset  size  field
//   0       2     L  payload length, unsigned, the writing host's byte order
//                    (big-endian on SPARC), stored clear
//   2       L     payload, scrambled as one run:
//                   0    2  K  key length including its NUL, host order
//                   2    K     the key, NUL-terminated
//                   2+K  D     the data, D = L - K - 2
//
//   L is at most 65527 (a record is read into a 64 KiB buffer). Reading stops,
//   as at the end of the file, at a record with L = 0 or L > 65527, a short
//   payload, K outside 1..L-2, or a key that does not end in its NUL.
//   Example: key "a" with 3 data bytes is a file of 9 bytes: L = 7, then 7
//   scrambled bytes that restore to K = 2, "a", NUL and the data.
//
// Typed store (written by the cached store; the same bytes on every host).
//
//   offset  size   field
//   0       6      "TUDBAA" (a file that begins with "TUDBA" is typed)
//   6       d      record count in decimal, d = 1..9
//   6+d     1      NUL
//   7+d     9-d    filler, random bytes
//   16      ...    records back to back:
//                    0    2  L = K + D + 2, unsigned 16-bit, big-endian
//                    2    2  K, big-endian
//                    4    K  the key, scrambled as a run of its own
//                    4+K  D  the data, scrambled as a run of its own
//
//   L is at most 65535 and keys with their NUL at most 4096 bytes. The walk
//   ends the store, and the image is cut there, at a record that runs past
//   the end, has L < 2, K < 1 or K > L - 2, or whose key's last byte is not
//   the NUL. An empty file is a new store; a typed file shorter than 16
//   bytes is a new store too. The count is informational: it is kept up to
//   date by the cached store, never used to find records.
//   Example: a new store with key "abc" and 5 data bytes is 29 bytes:
//   "TUDBAA" "1" NUL, 8 filler bytes, 00 0B, 00 04, 4 + 5 scrambled bytes.
//
// Files live in <tool path>/db as <name>.udb; a store is replaced by writing
// "<store path>_new" completely (locked, flushed to disk) and renaming it
// over the store, so that a reader or a crash sees the old or the new store.
// A replacement whose write or rename failed is removed, still locked, so
// that a full disk leaves the store as it was and nothing beside it.
#include "Dbm_format.h"

#include "MemMgr.h"
#include "utils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

char *pToolPath = nullptr;
unsigned int nDbRetrySleep = 1;
const char TLBuf[5] = {1, 2, 3, 4, 0};

namespace dbm {

void Scramble(char *out, const char *in, size_t n) {
    if (n == 0) return;
    for (size_t i = 0; i + 1 < n; ++i)
        out[i] = char(in[i] ^ in[i + 1]); // in[i + 1] is still unchanged when out == in
    out[n - 1] = in[n - 1];
}

void Unscramble(char *out, const char *in, size_t n) {
    if (n == 0) return;
    out[n - 1] = in[n - 1];
    for (size_t i = n - 1; i > 0; --i)
        out[i - 1] = char(in[i - 1] ^ out[i]);
}

void UnscramblePrefix(char *out, const char *in, size_t n, size_t total) {
    if (n == 0) return;
    // Plain byte n-1 is the XOR of every stored byte from n-1 to the end.
    char next = 0;
    for (size_t i = n; i < total; ++i)
        next = char(next ^ in[i]);
    for (size_t i = n; i > 0; --i) {
        next = char(in[i - 1] ^ next);
        out[i - 1] = next;
    }
}

bool HostIsBigEndian() {
    uint32_t word;
    memcpy(&word, TLBuf, sizeof word);
    return word == 0x01020304u;
}

char *NamedPath(const char *name, const char *extension) {
    const char *tool = pToolPath != nullptr && pToolPath[0] != '\0' ? pToolPath : ".";
    return SaveStr("%s/db/%s.%s", tool, name, extension);
}

namespace {

// mkdir -p of dir; the store's own directory (last) is made mode 777 when it
// is new, since it is shared by every user of the tools.
int MakeDirs(char *dir, bool last) {
    struct stat st;
    if (stat(dir, &st) == 0) return S_ISDIR(st.st_mode);
    char *slash = strrchr(dir, '/');
    if (slash != nullptr && slash != dir) {
        *slash = '\0';
        int made = MakeDirs(dir, false);
        *slash = '/';
        if (!made) return 0;
    }
    if (mkdir(dir, 0777) != 0) return errno == EEXIST;
    if (last) chmod(dir, 0777);
    return 1;
}

} // namespace

int MakeStoreDir(const char *path) {
    if (path == nullptr) return 0;
    const char *slash = strrchr(path, '/');
    if (slash == nullptr || slash == path) return 1; // the current or the root directory
    char *dir = SaveStr("%.*s", int(slash - path), path);
    int made = MakeDirs(dir, true);
    PutMem(dir);
    return made;
}

int OpenReplacement(const char *path) {
    // Another writer may be renaming the file we lock; then the lock is on the
    // store itself and we must start over with a fresh replacement file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) return -1;
        int locked;
        do
            locked = flock(fd, LOCK_EX);
        while (locked != 0 && errno == EINTR);
        struct stat held, named;
        if (locked != 0 || fstat(fd, &held) != 0) {
            close(fd);
            return -1;
        }
        if (lstat(path, &named) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino) {
            if (ftruncate(fd, 0) != 0 || fchmod(fd, 0666) != 0) {
                close(fd);
                return -1;
            }
            return fd;
        }
        close(fd);
    }
    return -1;
}

int CommitReplacement(int fd, const char *path, const char *target) {
    int synced;
    do
        synced = fsync(fd);
    while (synced != 0 && errno == EINTR);
    if (synced != 0) return 0;
    return rename(path, target) == 0;
}

void DropReplacement(int fd, const char *path) {
    if (fd < 0 || path == nullptr) return;
    struct stat held, named;
    if (fstat(fd, &held) == 0 && lstat(path, &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino)
        unlink(path);
}

void RetryPause() {
    if (nDbRetrySleep > 0) sleep(nDbRetrySleep);
}

DbLink *NewDbLink(size_t keyLen, size_t dataLen) {
    auto *link = static_cast<DbLink *>(GetMem(sizeof(DbLink)));
    auto *record = static_cast<char *>(GetMem(keyLen + dataLen));
    if (link == nullptr || record == nullptr) {
        PutMem(link);
        PutMem(record);
        return nullptr;
    }
    link->pRecord = record;
    link->pRecData = record + keyLen;
    link->nRecSize = uint32_t(dataLen);
    return link;
}

} // namespace dbm
