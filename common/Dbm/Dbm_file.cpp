// Dbm record files: every operation opens the store file, scans it from the
// start and closes it; an update copies the store, without the record being
// replaced or deleted, into a replacement file, appends the new record and
// renames the replacement over the store. A replacement that could not be
// written whole is removed: the store stays as it was, with nothing beside.
//
// The store file is <tool path>/db/<name>.udb. Its directory is made under
// the tool path, where the files live (not "./db" of the working directory),
// so that the two always agree.
#include "Dbm.h"

#include "Dbm_format.h"
#include "MemMgr.h"
#include "utils.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The process-wide work areas: one record being scanned, one record's data
// being copied to another key.
char RecBuf[DbRecBufSize];
char CopyBuf[DbRecBufSize];
int NextRecordCursor = 0; // DbmGetNextRecord: records already returned

constexpr int LenOffset = 0;    // L in a record buffer
constexpr int KeyLenOffset = 2; // K
constexpr int KeyOffset = 4;    // the key

int RecordKeyLen(const char *record) {
    return dbm::Load16(record + KeyLenOffset, false);
}
int RecordLen(const char *record) {
    return dbm::Load16(record + LenOffset, false);
}
int RecordDataLen(const char *record) {
    return RecordLen(record) - RecordKeyLen(record) - 2;
}
const char *RecordData(const char *record) {
    return record + KeyOffset + RecordKeyLen(record);
}

// Exact match: same length, same bytes (the terminator included).
bool KeyEquals(const char *record, const char *key) {
    size_t k = strlen(key) + 1;
    return size_t(RecordKeyLen(record)) == k && memcmp(record + KeyOffset, key, k) == 0;
}

// Prefix match over the first n bytes of key (n <= strlen(key)).
bool KeyHasPrefix(const char *record, const char *key, size_t n) {
    return size_t(RecordKeyLen(record)) - 1 >= n && memcmp(record + KeyOffset, key, n) == 0;
}

bool StoreExists(const char *name) {
    char *path = dbm::NamedPath(name, "udb");
    int found = FindFile(nullptr, path);
    PutMem(path);
    return found != 0;
}

// Open the store for reading. missing is set when there is no store file at
// all (which reads as an empty store); null with missing clear means the
// store exists but could not be opened.
FILE *OpenStore(const char *name, bool &missing) {
    missing = !StoreExists(name);
    if (missing) return nullptr;
    return OpenDataBase(name, "udb", "rb", ErrSilent);
}

// The replacement file of an update, open and locked: renamed over the
// store by Commit, removed (still locked) when the update ends without it.
struct Replacement {
    char *pPath;
    FILE *f;
    bool flCommitted = false;

    explicit Replacement(const char *name)
        : pPath(dbm::NamedPath(name, "udb_new")), f(OpenNewDataBase(name)) {}
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;
    ~Replacement() {
        if (f != nullptr) {
            if (!flCommitted) dbm::DropReplacement(fileno(f), pPath);
            fclose(f);
        }
        PutMem(pPath);
    }

    // Flush to disk and rename over the store, the lock still held.
    bool Commit(const char *name) {
        if (fflush(f) != 0 || ferror(f)) return false;
        char *target = dbm::NamedPath(name, "udb");
        flCommitted = dbm::CommitReplacement(fileno(f), pPath, target) != 0;
        PutMem(target);
        return flCommitted;
    }
};

void ReportWriteFailure(const char *name) {
    fprintf(stderr, "ERROR: Can't write to %s", name);
}

// Scan for the first record of key: 1 with the record in RecBuf.
int FindRecord(const char *name, const char *key) {
    bool missing;
    ScopedFile in(OpenStore(name, missing));
    if (in.f == nullptr) return 0;
    while (GetData(in.f, RecBuf))
        if (KeyEquals(RecBuf, key)) return 1;
    return 0;
}

// Delete by exact key (n = 0) or prefix; the result of PurgeRecord, or -1
// when the store or its replacement could not be opened.
int Rewrite(const char *name, const char *key, int n) {
    bool missing;
    ScopedFile in(OpenStore(name, missing));
    if (in.f == nullptr) return -1;
    Replacement out(name);
    if (out.f == nullptr) return -1;
    int purged = PurgeRecord(name, in.f, out.f, key, n);
    if (purged && !out.Commit(name)) {
        ReportWriteFailure(name);
        purged = 0;
    }
    return purged;
}

} // namespace

int PutData(FILE *file, char *record) {
    if (file == nullptr || record == nullptr) return 0;
    size_t len = size_t(RecordLen(record));
    dbm::Scramble(record + 2, record + 2, len);
    return fwrite(record, 1, len + 2, file) == len + 2;
}

int GetData(FILE *file, char *record) {
    if (file == nullptr || record == nullptr) return 0;
    if (fread(record, 1, 2, file) != 2) return 0;
    int len = RecordLen(record);
    if (len == 0 || len > DbMaxPayload) return 0;
    if (fread(record + 2, 1, size_t(len), file) != size_t(len)) return 0;
    dbm::Unscramble(record + 2, record + 2, size_t(len));
    int keyLen = RecordKeyLen(record);
    if (keyLen < 1 || keyLen > len - 2 || record[KeyOffset + keyLen - 1] != '\0') return 0;
    return 1;
}

FILE *OpenDataBase(const char *name, const char *extension, const char *mode, int errorMode) {
    if (name == nullptr || extension == nullptr || mode == nullptr) return nullptr;
    char *path = dbm::NamedPath(name, extension);
    FILE *file = nullptr;
    if (FindFile(nullptr, path)) {
        for (int attempt = 1; attempt <= DbOpenAttempts && file == nullptr; ++attempt) {
            // Only the last failure is reported; the earlier ones may be a
            // writer replacing the file.
            file = OpenFile(nullptr, path, mode,
                            attempt == DbOpenAttempts ? errorMode : int(ErrSilent));
            if (file == nullptr && attempt < DbOpenAttempts) dbm::RetryPause();
        }
    }
    PutMem(path);
    return file;
}

FILE *OpenNewDataBase(const char *name) {
    if (name == nullptr) return nullptr;
    char *path = dbm::NamedPath(name, "udb_new");
    FILE *file = nullptr;
    int fd = dbm::MakeStoreDir(path) ? dbm::OpenReplacement(path) : -1;
    if (fd >= 0) {
        file = fdopen(fd, "wb");
        if (file == nullptr) close(fd);
    }
    if (file == nullptr) fprintf(stderr, "ERROR: can't open file, %s\n", path);
    PutMem(path);
    return file;
}

int RenameDataBase(const char *name, const char *oldExtension, const char *newExtension) {
    if (name == nullptr || oldExtension == nullptr || newExtension == nullptr) return 0;
    char *from = dbm::NamedPath(name, oldExtension);
    char *to = dbm::NamedPath(name, newExtension);
    int renamed = rename(from, to) == 0;
    PutMem(to);
    PutMem(from);
    return renamed;
}

int PurgeRecord(const char *name, FILE *in, FILE *out, const char *key, int n) {
    if (in == nullptr || out == nullptr || key == nullptr) return 0;
    size_t keyChars = strlen(key);
    // A prefix longer than the key itself can only be the whole key.
    if (n < 0 || size_t(n) > keyChars) n = 0;
    while (GetData(in, RecBuf)) {
        bool match = n == 0 ? KeyEquals(RecBuf, key) : KeyHasPrefix(RecBuf, key, size_t(n));
        if (match) continue;
        if (!PutData(out, RecBuf)) {
            ReportWriteFailure(name != nullptr ? name : "");
            return 0;
        }
    }
    return 1;
}

int DbmPutRecord(const char *name, const char *key, const void *data, int size) {
    if (name == nullptr || key == nullptr || data == nullptr || size <= 0) return 0;
    long keyLen = long(strlen(key)) + 1;
    long len = keyLen + size + 2;
    if (len > DbMaxPayload) return 0; // a longer record could never be read back

    bool missing;
    ScopedFile in(OpenStore(name, missing));
    // A store that exists but cannot be opened must not be started afresh.
    if (in.f == nullptr && !missing) return 0;
    Replacement out(name);
    if (out.f == nullptr) return 0;
    if (in.f != nullptr && !PurgeRecord(name, in.f, out.f, key, 0)) return 0;

    dbm::Store16(RecBuf + LenOffset, uint16_t(len), false);
    dbm::Store16(RecBuf + KeyLenOffset, uint16_t(keyLen), false);
    memcpy(RecBuf + KeyOffset, key, size_t(keyLen));
    memcpy(RecBuf + KeyOffset + keyLen, data, size_t(size));
    if (!PutData(out.f, RecBuf) || !out.Commit(name)) {
        ReportWriteFailure(name);
        return 0;
    }
    return 1;
}

int DbmDeleteRecord(const char *name, const char *key) {
    if (name == nullptr || key == nullptr) return 0;
    int purged = Rewrite(name, key, 0);
    return purged < 0 ? 0 : purged;
}

int DbmDeleteRecords(const char *name, const char *prefix) {
    if (name == nullptr || prefix == nullptr || prefix[0] == '\0') return 0;
    return Rewrite(name, prefix, int(strlen(prefix))) < 0 ? 0 : 1;
}

int DbmGetRecordN(const char *name, const char *key, void *buffer, int size) {
    if (name == nullptr || key == nullptr || buffer == nullptr || size < 0) return 0;
    if (!FindRecord(name, key)) return 0;
    int dataLen = RecordDataLen(RecBuf);
    memcpy(buffer, RecordData(RecBuf), size_t(dataLen < size ? dataLen : size));
    return dataLen;
}

int DbmGetRecord(const char *name, const char *key, void *buffer) {
    return DbmGetRecordN(name, key, buffer, DbMaxPayload);
}

int DbmGetRecordSize(const char *name, const char *key) {
    if (name == nullptr || key == nullptr) return 0;
    return FindRecord(name, key) ? RecordDataLen(RecBuf) : 0;
}

int DbmGetNextRecord(const char *name, void *buffer) {
    if (name == nullptr || buffer == nullptr) return 0;
    bool missing;
    ScopedFile in(OpenStore(name, missing));
    if (in.f == nullptr) return 0;
    for (int i = 0; i <= NextRecordCursor; ++i)
        if (!GetData(in.f, RecBuf)) return 0;
    ++NextRecordCursor;
    int dataLen = RecordDataLen(RecBuf);
    memcpy(buffer, RecordData(RecBuf), size_t(dataLen));
    return dataLen;
}

char *DbmGetRecordList(const char *name, const char *prefix, const char *suffix) {
    if (name == nullptr || prefix == nullptr || suffix == nullptr) return nullptr;
    bool missing;
    ScopedFile in(OpenStore(name, missing));
    if (in.f == nullptr) return nullptr;
    size_t prefixLen = strlen(prefix), suffixLen = strlen(suffix);
    char *list = nullptr;
    size_t used = 0, room = 0;
    while (GetData(in.f, RecBuf)) {
        size_t keyChars = size_t(RecordKeyLen(RecBuf)) - 1;
        size_t need = used + prefixLen + keyChars + suffixLen;
        if (need > room) {
            size_t grown = need > 2 * room ? need : 2 * room;
            char *bigger = static_cast<char *>(AdjustMem(list, grown));
            if (bigger == nullptr) {
                PutMem(list);
                return nullptr;
            }
            list = bigger;
            room = grown;
        }
        memcpy(list + used, prefix, prefixLen);
        memcpy(list + used + prefixLen, RecBuf + KeyOffset, keyChars);
        used += prefixLen + keyChars;
    }
    if (list == nullptr) return nullptr;
    memcpy(list + used, suffix, suffixLen); // room was kept for it; GetMem adds the terminator
    list[used + suffixLen] = '\0';
    return list;
}

char *DbmGetDbList(int flag) {
    const char *tool = pToolPath != nullptr && pToolPath[0] != '\0' ? pToolPath : ".";
    char *dir = SaveStr("%s/db", tool);
    ScopedMem listing(GetDirFileList(dir));
    PutMem(dir);
    if (!listing) return nullptr;
    char *result = static_cast<char *>(GetMem(strlen(listing.get()) + 1));
    if (result == nullptr) return nullptr;
    // A scan of our own, so that the shared tokenizer is left alone.
    const char *cursor = nullptr;
    char token[TokenBufSize];
    size_t used = 0;
    int count = 0;
    for (char *t = GetTokenD(listing.get(), " ", &cursor, token); t != nullptr;
         t = GetTokenD(nullptr, " ", &cursor, token)) {
        if (flTokenTruncated) continue; // a cut name would name another store
        char *dot = strchr(t, '.');
        if (dot == nullptr || strcmp(dot, ".udb") != 0 || dot == t) continue;
        // Each name with its separator is shorter than the entry it came
        // from, so the result never outgrows the listing.
        if (flag || count > 0) result[used++] = flag ? ' ' : ',';
        memcpy(result + used, t, size_t(dot - t));
        used += size_t(dot - t);
        ++count;
    }
    return result;
}

int DbmCopyRecord(const char *name, const char *oldKey, const char *newKey) {
    if (name == nullptr || oldKey == nullptr || newKey == nullptr) return 0;
    int dataLen = DbmGetRecordN(name, oldKey, CopyBuf, DbRecBufSize);
    if (dataLen <= 0) return 0;
    return DbmPutRecord(name, newKey, CopyBuf, dataLen);
}

DbLink *DbmGetDbLinkList(const char *name, const char *text) {
    if (name == nullptr || text == nullptr) return nullptr;
    bool missing;
    ScopedFile in(OpenStore(name, missing));
    if (in.f == nullptr) return nullptr;
    DbLink *first = nullptr, **tail = &first;
    while (GetData(in.f, RecBuf)) {
        if (strstr(RecBuf + KeyOffset, text) == nullptr) continue;
        size_t keyLen = size_t(RecordKeyLen(RecBuf));
        size_t dataLen = size_t(RecordDataLen(RecBuf));
        DbLink *link = dbm::NewDbLink(keyLen, dataLen);
        if (link == nullptr) break;
        memcpy(link->pRecord, RecBuf + KeyOffset, keyLen + dataLen);
        *tail = link;
        tail = &link->pNext;
    }
    return first;
}

void DbmFreeDbLinkList(DbLink *chain) {
    while (chain != nullptr) {
        DbLink *next = chain->pNext;
        PutMem(chain->pRecord);
        PutMem(chain);
        chain = next;
    }
}

void DumpDbm(const char *name) {
    if (name == nullptr) return;
    char *path = SaveStr("%s.db", name);
    ScopedFile in(OpenFile(nullptr, path, "rb", ErrReport));
    PutMem(path);
    if (in.f == nullptr) return;
    while (GetData(in.f, RecBuf)) {
        int len = RecordLen(RecBuf);
        printf("%i %i ==>{", len, RecordKeyLen(RecBuf));
        for (int i = 0; i < len - 2; ++i) {
            unsigned char c = static_cast<unsigned char>(RecBuf[KeyOffset + i]);
            putchar(isprint(c) ? c : '.');
        }
        printf("}\n");
    }
}

int DbmCreate(const char *, const char *) {
    return 0;
}

int DbmDelete(const char *, const char *) {
    return 0;
}
