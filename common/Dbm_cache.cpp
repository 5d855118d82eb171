// Dbm cached store: a DbT handle holds the whole store file as one memory
// block (the image) and walks it for every lookup. Changes are made in the
// image and written back whole by DbmTArchiveDb, after each change or, with
// DbTDeferWrite, when the owner asks. Before each access the image is
// reloaded when the file's modification time has changed, unless the handle
// was opened with DbTKeepLoaded.
//
// Every offset and length read from the image is checked against the image
// before use: a damaged record ends the store there (the image is cut), so a
// damaged file never leads to a read outside the image.
//
// A handle whose existing, non-empty file could not be read is marked
// DbTypeUnreadable: it has no image, lookups miss, and changes and archives
// are refused, so the stored records are never replaced by an empty store.
#include "Dbm.h"

#include "Dbm_format.h"
#include "MemMgr.h"
#include "utils.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char Magic[] = "TUDBAA";
constexpr size_t MagicTest = 5;    // a file whose first five bytes are "TUDBA" is typed
constexpr int CountOffset = 6;     // the decimal record count in the header
constexpr int CountDigits = 9;     // at most this many digits fit before the header's end
constexpr int ScratchSize = 65535; // a legacy payload: L is a 16-bit word

// Legacy payloads are decoded here as the walk meets them (key and data).
char LegacyScratch[ScratchSize];
// DbmTCopyRecord's copy of the data being duplicated.
char CopyBuf[DbRecBufSize];

bool IsLegacy(const DbT *db) {
    return db->nDbType == DbTypeLegacy;
}
bool Unreadable(const DbT *db) {
    return db->nDbType == DbTypeUnreadable;
}
bool KeepsLoaded(const DbT *db) {
    return (db->nOpenFlags & DbTKeepLoaded) != 0;
}
bool DefersWrite(const DbT *db) {
    return (db->nOpenFlags & DbTDeferWrite) != 0;
}
void Refresh(DbT *db) {
    if (!KeepsLoaded(db)) DbTUpDate(db);
}

int FirstRecord(const DbT *db) {
    return IsLegacy(db) ? 0 : DbTHeaderSize;
}

int DataLen(const DbTRecord &rec) {
    return rec.nLen - rec.nKeyLen - 2;
}

// Where the record's scrambled key starts (typed stores).
const char *StoredKey(const DbT *db, const DbTRecord &rec) {
    return db->pContent + rec.nOffset + 4;
}

// Decode a record's key (with its NUL) into out, which holds rec.nKeyLen bytes.
void DecodeKey(const DbT *db, const DbTRecord &rec, char *out) {
    if (rec.pKey != nullptr)
        memcpy(out, rec.pKey, size_t(rec.nKeyLen));
    else
        dbm::Unscramble(out, StoredKey(db, rec), size_t(rec.nKeyLen));
}

// Copy the first n data bytes of rec (n <= its data length) into out.
void CopyData(const DbT *db, const DbTRecord &rec, char *out, int n) {
    if (rec.pKey != nullptr) {
        memcpy(out, rec.pKey + rec.nKeyLen, size_t(n));
        return;
    }
    const char *stored = StoredKey(db, rec) + rec.nKeyLen;
    dbm::UnscramblePrefix(out, stored, size_t(n), size_t(DataLen(rec)));
}

// Release the image and reset what describes it.
void DropImage(DbT *db) {
    PutMem(db->pContent);
    db->pContent = nullptr;
    db->nContentSize = 0;
    db->nPos = 0;
    db->nWalk = 0;
    db->nRecords = 0;
}

// A fresh header-only image (a new store).
int MakeHeaderImage(DbT *db) {
    db->pContent = static_cast<char *>(GetMem(DbTHeaderSize));
    if (db->pContent == nullptr) return 0;
    db->nContentSize = DbTHeaderSize;
    db->nRecords = 0;
    UpdateHeader(db);
    return 1;
}

// The count of a typed header: at most nine digits from byte 6 (anything
// else counts as 0).
int32_t ParseCount(const char *image) {
    int32_t count = 0;
    for (int i = CountOffset; i < CountOffset + CountDigits; ++i) {
        char c = image[i];
        if (c < '0' || c > '9') break;
        count = count * 10 + (c - '0');
    }
    return count;
}

// Install content (a GetMem block of size bytes) as the image.
void Install(DbT *db, char *content, int32_t size, time_t modified) {
    DropImage(db);
    db->tModified = modified;
    db->flChanged = 1;
    if (size_t(size) >= MagicTest && memcmp(content, Magic, MagicTest) == 0) {
        if (size < DbTHeaderSize) {
            // Too short to hold even its header: a new store.
            PutMem(content);
            MakeHeaderImage(db);
            DbTSetDbType(db, DbTypeNew);
            return;
        }
        db->pContent = content;
        db->nContentSize = size;
        db->nRecords = ParseCount(content);
        DbTSetDbType(db, DbTypeTyped);
        return;
    }
    db->pContent = content;
    db->nContentSize = size;
    DbTSetDbType(db, DbTypeLegacy);
}

// The record's end at offset + 2 + L lies inside the image and its key
// fits; else the image ends at offset.
bool CutAt(DbT *db, int32_t offset) {
    db->nContentSize = offset;
    return false;
}

bool ReadRecord(DbT *db, int32_t offset, DbTRecord *rec) {
    int32_t size = db->nContentSize;
    if (offset + 2 > size) return CutAt(db, offset);
    int32_t len = dbm::Load16(db->pContent + offset, db->flSwap);
    if (offset + 2 + len > size) return CutAt(db, offset);
    int32_t keyLen;
    if (IsLegacy(db)) {
        dbm::Unscramble(LegacyScratch, db->pContent + offset + 2, size_t(len));
        keyLen = len >= 2 ? dbm::Load16(LegacyScratch, false) : 0;
        if (keyLen < 1 || keyLen > len - 2 || LegacyScratch[2 + keyLen - 1] != '\0')
            return CutAt(db, offset);
        rec->pKey = LegacyScratch + 2;
    } else {
        if (len < 2) return CutAt(db, offset);
        keyLen = dbm::Load16(db->pContent + offset + 2, db->flSwap);
        // The key's last byte is stored unscrambled: it must be its NUL.
        if (keyLen < 1 || keyLen > len - 2 || db->pContent[offset + 4 + keyLen - 1] != '\0')
            return CutAt(db, offset);
        rec->pKey = nullptr;
    }
    rec->nLen = len;
    rec->nKeyLen = keyLen;
    rec->nOffset = offset;
    return true;
}

// Removal without the refresh and without shrinking the block (the caller
// may be about to grow it again).
int Purge(DbT *db, const char *key, int n) {
    size_t keyChars = strlen(key);
    if (n < 0 || size_t(n) > keyChars) n = 0; // longer than the key: the whole key
    size_t keyLen = keyChars + 1;
    char wanted[DbKeyBufSize];
    if (n == 0) {
        if (keyLen > sizeof wanted) return 0;
        if (!IsLegacy(db)) dbm::Scramble(wanted, key, keyLen);
    }
    char decoded[DbKeyBufSize];
    int removed = 0;
    DbTRecord rec;
    for (DbTRecord *r = WalkDbTRecords(db, &rec, 0); r != nullptr;
         r = WalkDbTRecords(db, &rec, 1)) {
        bool match;
        if (n == 0) {
            const char *stored = rec.pKey != nullptr ? rec.pKey : StoredKey(db, rec);
            const char *against = rec.pKey != nullptr ? key : wanted;
            match = size_t(rec.nKeyLen) == keyLen && memcmp(stored, against, keyLen) == 0;
        } else {
            match = rec.nKeyLen - 1 >= n && rec.nKeyLen <= DbKeyBufSize;
            if (match) {
                DecodeKey(db, rec, decoded);
                match = memcmp(decoded, key, size_t(n)) == 0;
            }
        }
        if (!match) continue;
        int32_t end = rec.nOffset + 2 + rec.nLen;
        memmove(db->pContent + rec.nOffset, db->pContent + end, size_t(db->nContentSize - end));
        db->nContentSize -= end - rec.nOffset;
        if (db->nRecords > 0) --db->nRecords;
        db->nWalk = rec.nOffset; // the record that moved in is next
        removed = 1;
    }
    if (removed) db->flChanged = 1;
    return removed;
}

// Shrink the block to the bytes in use. An emptied legacy image keeps its
// block: it is still a store, and is written back as an empty file.
void Shrink(DbT *db) {
    if (db->nContentSize == 0) return;
    char *smaller = static_cast<char *>(AdjustMem(db->pContent, size_t(db->nContentSize)));
    if (smaller != nullptr) db->pContent = smaller;
}

// Purge and give back the bytes no longer used.
int PurgeImage(DbT *db, const char *key, int n) {
    if (db->pContent == nullptr) return 0;
    int removed = Purge(db, key, n);
    if (removed) Shrink(db);
    return removed;
}

// Grow over text with AdjustMem as a list is built.
struct TextBuilder {
    char *pText = nullptr;
    size_t nUsed = 0;
    size_t nRoom = 0;
    bool flFailed = false;

    char *Reserve(size_t n, size_t keep) {
        size_t need = nUsed + n + keep;
        if (need > nRoom) {
            size_t grown = need > 2 * nRoom ? need : 2 * nRoom;
            char *bigger = static_cast<char *>(AdjustMem(pText, grown));
            if (bigger == nullptr) {
                flFailed = true;
                return nullptr;
            }
            pText = bigger;
            nRoom = grown;
        }
        char *at = pText + nUsed;
        nUsed += n;
        return at;
    }
    char *Finish(const char *suffix) {
        if (flFailed || pText == nullptr) {
            PutMem(pText);
            return nullptr;
        }
        size_t n = strlen(suffix);
        memcpy(pText + nUsed, suffix, n); // the room was kept by every Reserve
        pText[nUsed + n] = '\0';          // AdjustMem keeps one byte beyond the size
        return pText;
    }
};

// prefix + key for the records whose key passes keyNames (all with null).
char *BuildList(DbT *db, const char *keyNames, const char *prefix, const char *suffix) {
    Refresh(db);
    size_t prefixLen = strlen(prefix), suffixLen = strlen(suffix);
    char decoded[DbKeyBufSize];
    TextBuilder list;
    DbTRecord rec;
    for (DbTRecord *r = WalkDbTRecords(db, &rec, 0); r != nullptr && !list.flFailed;
         r = WalkDbTRecords(db, &rec, 1)) {
        size_t keyChars = size_t(rec.nKeyLen) - 1;
        if (keyNames != nullptr) {
            if (rec.nKeyLen > DbKeyBufSize) continue;
            DecodeKey(db, rec, decoded);
            if (!TestKeyName(decoded, keyNames)) continue;
        }
        char *at = list.Reserve(prefixLen + keyChars, suffixLen);
        if (at == nullptr) break;
        memcpy(at, prefix, prefixLen);
        if (rec.pKey != nullptr)
            memcpy(at + prefixLen, rec.pKey, keyChars);
        else // decode the key in place; its NUL is not kept
            dbm::UnscramblePrefix(at + prefixLen, StoredKey(db, rec), keyChars,
                                  size_t(rec.nKeyLen));
    }
    return list.Finish(suffix);
}

} // namespace

char *DbTGetPath(const DbT *db) {
    if (db == nullptr || db->pName == nullptr) return nullptr;
    const char *name = db->pName;
    if (name[0] == '/')
        return strchr(name, '.') != nullptr ? SaveStr_(name) : SaveStr("%s.udb", name);
    if (name[0] == '.') return SaveStr_(name);
    return dbm::NamedPath(name, "udb");
}

DbT *DbTOpen(const char *name, int flags) {
    if (name == nullptr) return nullptr;
    auto *db = static_cast<DbT *>(GetMem(sizeof(DbT)));
    if (db == nullptr) return nullptr;
    db->pName = SaveStr_(name);
    if (db->pName == nullptr) {
        PutMem(db);
        return nullptr;
    }
    db->nOpenFlags = flags;
    db->flChanged = 0;
    DbTUpDate(db);
    return db;
}

void DbTClose(DbT *db) {
    if (db == nullptr) return;
    PutMem(db->pContent);
    PutMem(db->pName);
    PutMem(db);
}

void DbTUpDate(DbT *db) {
    if (db == nullptr || db->pName == nullptr) return;
    char *path = DbTGetPath(db);
    struct stat st;
    if (stat(path, &st) != 0) { // no file: the image, if any, stays
        PutMem(path);
        return;
    }
    if (db->pContent != nullptr && st.st_mtime == db->tModified) {
        PutMem(path);
        return;
    }
    // An unreadable store is retried once per refresh, so that lookups do not
    // wait the full retry time again and again.
    int attempts = Unreadable(db) ? 1 : DbOpenAttempts;
    char *content = nullptr;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        long long failures = nMapFailures;
        content = GetSavedFileContent(path, nullptr);
        // Short of memory, waiting for a writer to finish is of no use.
        if (content != nullptr || st.st_size == 0 || nMapFailures != failures) break;
        if (attempt < attempts) {
            dbm::RetryPause();
            if (stat(path, &st) != 0) break;
        }
    }
    PutMem(path);
    if (content != nullptr) {
        Install(db, content, int32_t(SavedFileSize), st.st_mtime);
        return;
    }
    DropImage(db);
    db->flChanged = 1;
    if (st.st_size == 0) {
        // An empty file is a new store. Its time is kept so that changes made
        // in memory are not thrown away by the next refresh.
        db->tModified = st.st_mtime;
        MakeHeaderImage(db);
        DbTSetDbType(db, DbTypeNew);
        return;
    }
    db->tModified = 0;
    DbTSetDbType(db, DbTypeUnreadable);
}

void DbTSetDbType(DbT *db, int type) {
    if (db == nullptr) return;
    db->nDbType = type;
    db->flSwap = type != DbTypeLegacy && !dbm::HostIsBigEndian();
}

int DbmTPutData(DbT *db, const void *source, int n) {
    if (db == nullptr || db->pContent == nullptr || source == nullptr || n < 0) return 0;
    if (db->nPos < 0 || db->nPos > db->nContentSize - n) return 0;
    dbm::Scramble(db->pContent + db->nPos, static_cast<const char *>(source), size_t(n));
    db->nPos += n;
    return 1;
}

int DbmTGetData(DbT *db, void *target, int n) {
    if (db == nullptr || db->pContent == nullptr || target == nullptr || n < 0) return 0;
    if (db->nPos < 0 || db->nPos > db->nContentSize - n) return 0;
    dbm::Unscramble(static_cast<char *>(target), db->pContent + db->nPos, size_t(n));
    db->nPos += n;
    return 1;
}

int DbmTPutRecord(DbT *db, const char *key, const void *data, int size) {
    if (db == nullptr || key == nullptr || key[0] == '\0' || data == nullptr || size <= 0) return 0;
    Refresh(db);
    if (Unreadable(db)) return 0;
    size_t keyLen = strlen(key) + 1;
    if (keyLen > size_t(DbKeyBufSize)) return 0;
    long len = long(keyLen) + size + 2;
    // A legacy store must stay readable by the record-file reader.
    if (len > (IsLegacy(db) ? DbMaxPayload : DbTMaxLen)) return 0;
    if (db->nDbType == DbTypeNew) DbTSetDbType(db, DbTypeTyped);

    // Room first, so that a failure leaves the image as it was.
    int32_t header = db->pContent == nullptr && !IsLegacy(db) ? DbTHeaderSize : 0;
    size_t room = size_t(db->nContentSize + header + len + 2);
    char *image = static_cast<char *>(AdjustMem(db->pContent, room));
    if (image == nullptr) return 0;
    db->pContent = image;
    if (header) {
        db->nContentSize = DbTHeaderSize;
        db->nRecords = 0;
        UpdateHeader(db);
    }
    Purge(db, key, 0);

    db->nPos = db->nContentSize;
    db->nContentSize += int32_t(len + 2);
    dbm::Store16(db->pContent + db->nPos, uint16_t(len), db->flSwap);
    db->nPos += 2;
    if (IsLegacy(db)) {
        dbm::Store16(LegacyScratch, uint16_t(keyLen), false);
        memcpy(LegacyScratch + 2, key, keyLen);
        memcpy(LegacyScratch + 2 + keyLen, data, size_t(size));
        DbmTPutData(db, LegacyScratch, int(len));
    } else {
        dbm::Store16(db->pContent + db->nPos, uint16_t(keyLen), db->flSwap);
        db->nPos += 2;
        DbmTPutData(db, key, int(keyLen));
        DbmTPutData(db, data, size);
        ++db->nRecords;
    }
    db->flChanged = 1;
    return DefersWrite(db) ? 1 : DbmTArchiveDb(db);
}

int DbmTDeleteRecord(DbT *db, const char *key) {
    if (db == nullptr || key == nullptr || key[0] == '\0') return 0;
    Refresh(db);
    int removed = PurgeImage(db, key, 0);
    if (removed && !DefersWrite(db)) return DbmTArchiveDb(db);
    return removed;
}

int DbmTDeleteRecords(DbT *db, const char *prefix) {
    if (db == nullptr || prefix == nullptr || prefix[0] == '\0') return 0;
    Refresh(db);
    if (Unreadable(db)) return 0;
    int removed = PurgeImage(db, prefix, int(strlen(prefix)));
    // A failed archive is reported as the failure it is.
    if (removed && !DefersWrite(db)) return DbmTArchiveDb(db);
    return 1;
}

int DbmTGetRecordN(DbT *db, const char *key, void *buffer, int size) {
    if (db == nullptr || key == nullptr || buffer == nullptr || size < 0) return 0;
    Refresh(db);
    DbTRecord rec;
    if (!FindTRecord(db, key, &rec)) return 0;
    int dataLen = DataLen(rec);
    CopyData(db, rec, static_cast<char *>(buffer), dataLen < size ? dataLen : size);
    return dataLen;
}

int DbmTGetRecord(DbT *db, const char *key, void *buffer) {
    return DbmTGetRecordN(db, key, buffer, DbTMaxLen);
}

int DbmTGetRecordV(DbT *db, const char *key, char **buffer, int size) {
    if (db == nullptr || key == nullptr || buffer == nullptr || size < 0) return 0;
    Refresh(db);
    DbTRecord rec;
    if (!FindTRecord(db, key, &rec)) return 0;
    int dataLen = DataLen(rec);
    char *target = *buffer;
    if (dataLen > size || target == nullptr) {
        target = static_cast<char *>(GetMem(size_t(dataLen)));
        if (target == nullptr) return 0;
        *buffer = target;
    }
    CopyData(db, rec, target, dataLen);
    return dataLen;
}

int DbmTGetRecordSize(DbT *db, const char *key) {
    if (db == nullptr || key == nullptr) return 0;
    Refresh(db);
    DbTRecord rec;
    return FindTRecord(db, key, &rec) ? DataLen(rec) : 0;
}

int DbmTCopyRecord(DbT *db, const char *oldKey, const char *newKey) {
    if (db == nullptr || oldKey == nullptr || newKey == nullptr) return 0;
    int dataLen = DbmTGetRecordN(db, oldKey, CopyBuf, DbRecBufSize);
    if (dataLen <= 0) return 0;
    return DbmTPutRecord(db, newKey, CopyBuf, dataLen);
}

char *DbmTGetRecordList(DbT *db, const char *prefix, const char *suffix) {
    if (db == nullptr || prefix == nullptr || suffix == nullptr) return nullptr;
    return BuildList(db, nullptr, prefix, suffix);
}

char *DbmTGetRecordListS(DbT *db, const char *keyNames, const char *prefix, const char *suffix) {
    if (db == nullptr || keyNames == nullptr || keyNames[0] == '\0' || prefix == nullptr ||
        suffix == nullptr)
        return nullptr;
    return BuildList(db, keyNames, prefix, suffix);
}

int TestKeyName(const char *key, const char *keyNames) {
    if (key == nullptr || keyNames == nullptr) return 0;
    // A cursor of our own: the shared tokenizer (and the token it holds for
    // the menu engine) is left as it was.
    const char *cursor = nullptr;
    char name[TokenBufSize];
    for (char *t = GetTokenD(keyNames, ",", &cursor, name); t != nullptr;
         t = GetTokenD(nullptr, ",", &cursor, name)) {
        if (flTokenTruncated) continue;
        if (strncmp(key, t, strlen(t)) == 0) return 1;
    }
    return 0;
}

DbLink *DbmTGetDbLinkList(DbT *db, const char *text) {
    if (db == nullptr || text == nullptr) return nullptr;
    Refresh(db);
    char decoded[DbKeyBufSize];
    DbLink *first = nullptr, **tail = &first;
    DbTRecord rec;
    for (DbTRecord *r = WalkDbTRecords(db, &rec, 0); r != nullptr;
         r = WalkDbTRecords(db, &rec, 1)) {
        if (rec.nKeyLen > DbKeyBufSize) continue;
        DecodeKey(db, rec, decoded);
        if (strstr(decoded, text) == nullptr) continue;
        size_t keyLen = size_t(rec.nKeyLen), dataLen = size_t(DataLen(rec));
        DbLink *link = dbm::NewDbLink(keyLen, dataLen);
        if (link == nullptr) break;
        memcpy(link->pRecord, decoded, keyLen);
        CopyData(db, rec, link->pRecData, int(dataLen));
        *tail = link;
        tail = &link->pNext;
    }
    return first;
}

int DbmTArchiveDb(DbT *db) {
    if (db == nullptr || db->pName == nullptr || db->pContent == nullptr || Unreadable(db))
        return 0;
    if (!IsLegacy(db)) UpdateHeader(db);
    // Written back where it was read from: beside the store file.
    char *path = DbTGetPath(db);
    char *replacement = SaveStr("%s_new", path);
    int fd = dbm::MakeStoreDir(path) ? dbm::OpenReplacement(replacement) : -1;
    int done = 0;
    if (fd < 0) {
        fprintf(stderr, "ERROR: can't open file, %s\n", replacement);
    } else {
        done = dbm::WriteAll(fd, db->pContent, size_t(db->nContentSize)) &&
               dbm::CommitReplacement(fd, replacement, path);
        if (!done) {
            dbm::DropReplacement(fd, replacement); // no partial store left beside the store
            fprintf(stderr, "ERROR: Can't write to %s", db->pName);
        }
        close(fd);
    }
    PutMem(replacement);
    PutMem(path);
    return done;
}

void UpdateHeader(DbT *db) {
    if (db == nullptr || db->pContent == nullptr || db->nContentSize < DbTHeaderSize) return;
    char count[24];
    snprintf(count, sizeof count, "%li", long(db->nRecords));
    size_t digits = strnlen(count, CountDigits);
    memcpy(db->pContent, Magic, CountOffset);
    memcpy(db->pContent + CountOffset, count, digits);
    db->pContent[CountOffset + digits] = '\0';
    for (size_t i = CountOffset + digits + 1; i < size_t(DbTHeaderSize); ++i)
        db->pContent[i] = char(rand() % 256);
}

DbTRecord *WalkDbTRecords(DbT *db, DbTRecord *record, int flContinue) {
    if (db == nullptr || record == nullptr || db->pContent == nullptr) return nullptr;
    if (!flContinue) db->nWalk = FirstRecord(db);
    if (db->nWalk < 0 || db->nWalk >= db->nContentSize) return nullptr;
    if (!ReadRecord(db, db->nWalk, record)) return nullptr;
    db->nPos = db->nWalk + (IsLegacy(db) ? 2 : 4);
    db->nWalk += 2 + record->nLen;
    return record;
}

int FindTRecord(DbT *db, const char *key, DbTRecord *record) {
    if (db == nullptr || key == nullptr || key[0] == '\0' || record == nullptr ||
        db->pContent == nullptr)
        return 0;
    size_t keyLen = strlen(key) + 1;
    if (keyLen > size_t(DbKeyBufSize)) return 0;
    // Scrambled keys of equal length are equal exactly when the keys are.
    char wanted[DbKeyBufSize];
    if (!IsLegacy(db)) dbm::Scramble(wanted, key, keyLen);
    for (DbTRecord *r = WalkDbTRecords(db, record, 0); r != nullptr;
         r = WalkDbTRecords(db, record, 1)) {
        if (size_t(record->nKeyLen) != keyLen) continue;
        if (record->pKey != nullptr) {
            if (memcmp(record->pKey, key, keyLen) == 0) return 1;
        } else if (memcmp(StoredKey(db, *record), wanted, keyLen) == 0) {
            db->nPos = record->nOffset + 4 + int32_t(keyLen);
            return 1;
        }
    }
    return 0;
}

int PurgeTRecord(DbT *db, const char *key, int n) {
    if (db == nullptr || key == nullptr || key[0] == '\0') return 0;
    Refresh(db);
    return PurgeImage(db, key, n);
}
