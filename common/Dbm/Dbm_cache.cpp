// Dbm cached store: a DbT handle holds the whole store file as one memory
// block (the image). Changes are made in the image and written back whole by
// DbmTArchiveDb, after each change or, with DbTDeferWrite, when the owner
// asks. Before each access the image is reloaded when the file's
// modification time has changed, unless the handle was opened with
// DbTKeepLoaded.
//
// Lookups, puts and deletes find a key's record through the handle's index
// (below) rather than by walking the image; listings and prefix deletes walk.
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

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// The head of a handle's index (described with the index's code below); its
// slots follow it in the same block.
struct DbTIndex {
    int32_t nSlots; // a power of two
    int32_t nUsed;  // keys held
    int32_t nEnd;   // where the indexed records end
    int32_t nRoom;  // bytes the image block is known to hold
};

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

void DropIndex(DbT *db) {
    PutMem(db->pIndex);
    db->pIndex = nullptr;
}

// Release the image (and its index) and reset what describes it.
void DropImage(DbT *db) {
    DropIndex(db);
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

// The record at offset, when its end at offset + 2 + L lies inside the image
// and its key fits (a legacy payload is decoded into the scratch block).
bool DecodeRecord(const DbT *db, int32_t offset, DbTRecord *rec) {
    int32_t size = db->nContentSize;
    if (offset + 2 > size) return false;
    int32_t len = dbm::Load16(db->pContent + offset, db->flSwap);
    if (offset + 2 + len > size) return false;
    int32_t keyLen;
    if (IsLegacy(db)) {
        dbm::Unscramble(LegacyScratch, db->pContent + offset + 2, size_t(len));
        keyLen = len >= 2 ? dbm::Load16(LegacyScratch, false) : 0;
        if (keyLen < 1 || keyLen > len - 2 || LegacyScratch[2 + keyLen - 1] != '\0') return false;
        rec->pKey = LegacyScratch + 2;
    } else {
        if (len < 2) return false;
        keyLen = dbm::Load16(db->pContent + offset + 2, db->flSwap);
        // The key's last byte is stored unscrambled: it must be its NUL.
        if (keyLen < 1 || keyLen > len - 2 || db->pContent[offset + 4 + keyLen - 1] != '\0')
            return false;
        rec->pKey = nullptr;
    }
    rec->nLen = len;
    rec->nKeyLen = keyLen;
    rec->nOffset = offset;
    return true;
}

// The same for the walk: a damaged record ends the image at offset.
bool ReadRecord(DbT *db, int32_t offset, DbTRecord *rec) {
    if (DecodeRecord(db, offset, rec)) return true;
    db->nContentSize = offset;
    // The index holds the records before the first damaged one; a cut below
    // them means the image was changed behind the store's back.
    if (db->pIndex != nullptr && offset < db->pIndex->nEnd) DropIndex(db);
    return false;
}

// ---------------------------------------------------------------------------
// The index: for each key, the offset of the first record with that key.
//
// An open-addressing hash table (linear probing, at most half full) in one
// block of the memory manager. It holds the records a walk reaches, those
// before nEnd; when nEnd is below nContentSize, the bytes from nEnd on are a
// damaged tail, which is cut off by whatever would have walked over it (a
// find that misses, a change, a walk), so that the image shrinks exactly
// when it did before there was an index.
//
// A typed record's key is hashed and compared as stored: equal keys scramble
// to equal bytes, so neither the wanted key nor the stored ones are decoded.
// A legacy key is scrambled together with its data, so it is hashed plain.
// Keys longer than a lookup can name (DbKeyBufSize) are not held.
// ---------------------------------------------------------------------------

struct IndexSlot {
    uint32_t nHash; // the key's hash (HashBits) and MoreFlag
    int32_t nAt;    // offset of the record + 1; 0 marks an empty slot
};

constexpr uint32_t HashBits = 0x7FFFFFFFu;
constexpr uint32_t MoreFlag = 0x80000000u; // a later record has the same key
constexpr int32_t MinSlots = 16;
constexpr int32_t MaxSlots = 1 << 28;

IndexSlot *Slots(DbTIndex *ix) {
    return reinterpret_cast<IndexSlot *>(ix + 1);
}

uint32_t HashKey(const char *key, size_t n) {
    constexpr uint64_t Mul = 0xFF51AFD7ED558CCDu;
    uint64_t h = 0x9E3779B97F4A7C15u ^ n;
    for (; n >= 8; key += 8, n -= 8) {
        uint64_t w;
        memcpy(&w, key, sizeof w);
        h = (h ^ w) * Mul;
        h ^= h >> 29;
    }
    if (n > 0) {
        uint64_t w = 0;
        memcpy(&w, key, n);
        h = (h ^ w) * Mul;
        h ^= h >> 29;
    }
    h *= Mul;
    return uint32_t(h >> 33) & HashBits;
}

// The bytes the key of an indexed record is hashed by (a typed record's
// stored key; a legacy key decoded into buffer, which holds DbKeyBufSize + 2
// bytes), their count in *pLen.
const char *IndexedKey(const DbT *db, int32_t offset, char *buffer, int32_t *pLen) {
    const char *record = db->pContent + offset;
    if (!IsLegacy(db)) {
        *pLen = dbm::Load16(record + 2, db->flSwap);
        return record + 4;
    }
    size_t payload = dbm::Load16(record, db->flSwap);
    dbm::UnscramblePrefix(buffer, record + 2, 2, payload);
    int32_t keyLen = dbm::Load16(buffer, false);
    dbm::UnscramblePrefix(buffer, record + 2, size_t(2 + keyLen), payload);
    *pLen = keyLen;
    return buffer + 2;
}

// The slot that holds the key key[0..len), or the empty slot where it would go.
IndexSlot *Probe(const DbT *db, DbTIndex *ix, const char *key, int32_t len, uint32_t hash) {
    uint32_t mask = uint32_t(ix->nSlots - 1);
    IndexSlot *slots = Slots(ix);
    char buffer[DbKeyBufSize + 2];
    for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
        IndexSlot *slot = &slots[i];
        if (slot->nAt == 0) return slot;
        if ((slot->nHash & HashBits) != hash) continue;
        int32_t heldLen;
        const char *held = IndexedKey(db, slot->nAt - 1, buffer, &heldLen);
        if (heldLen == len && memcmp(held, key, size_t(len)) == 0) return slot;
    }
}

DbTIndex *NewIndex(int32_t slots) {
    auto *ix =
        static_cast<DbTIndex *>(GetMem(sizeof(DbTIndex) + size_t(slots) * sizeof(IndexSlot)));
    if (ix != nullptr) ix->nSlots = slots;
    return ix;
}

// Twice the slots; false (the index unchanged) when memory runs out.
bool GrowIndex(DbT *db) {
    DbTIndex *old = db->pIndex;
    if (old->nSlots >= MaxSlots) return false;
    DbTIndex *ix = NewIndex(old->nSlots * 2);
    if (ix == nullptr) return false;
    ix->nUsed = old->nUsed;
    ix->nEnd = old->nEnd;
    ix->nRoom = old->nRoom;
    uint32_t mask = uint32_t(ix->nSlots - 1);
    IndexSlot *from = Slots(old), *to = Slots(ix);
    for (int32_t k = 0; k < old->nSlots; ++k) {
        if (from[k].nAt == 0) continue;
        uint32_t i = from[k].nHash & HashBits & mask;
        while (to[i].nAt != 0)
            i = (i + 1) & mask;
        to[i] = from[k];
    }
    PutMem(old);
    db->pIndex = ix;
    return true;
}

// Note the record at offset, whose key is hashed by key[0..len). False when
// the index could not grow.
bool IndexAdd(DbT *db, const char *key, int32_t len, int32_t offset) {
    if ((db->pIndex->nUsed + 1) * 2 > db->pIndex->nSlots && !GrowIndex(db)) {
        db->flShortOfMemory = 1;
        return false;
    }
    uint32_t hash = HashKey(key, size_t(len));
    IndexSlot *slot = Probe(db, db->pIndex, key, len, hash);
    if (slot->nAt != 0) { // an earlier record has this key
        slot->nHash |= MoreFlag;
        return true;
    }
    *slot = IndexSlot{hash, offset + 1};
    ++db->pIndex->nUsed;
    return true;
}

// Empty a slot, moving later slots of the same probe run back into the gap.
void EraseSlot(DbTIndex *ix, IndexSlot *slot) {
    uint32_t mask = uint32_t(ix->nSlots - 1);
    IndexSlot *slots = Slots(ix);
    uint32_t gap = uint32_t(slot - slots);
    for (uint32_t j = (gap + 1) & mask; slots[j].nAt != 0; j = (j + 1) & mask) {
        uint32_t home = slots[j].nHash & HashBits & mask;
        // Slot j may fill the gap when its home does not lie in (gap, j].
        bool between = gap < j ? home > gap && home <= j : home > gap || home <= j;
        if (between) continue;
        slots[gap] = slots[j];
        gap = j;
    }
    slots[gap] = IndexSlot{0, 0};
    --ix->nUsed;
}

// Index the image afresh; null when there is no image or memory runs out
// (the operations then walk the image).
DbTIndex *BuildIndex(DbT *db) {
    DropIndex(db);
    if (db->pContent == nullptr || db->flShortOfMemory) return nullptr;
    int32_t expected = IsLegacy(db) ? db->nContentSize / 32 : db->nRecords;
    expected = expected < db->nContentSize / 6 ? expected : db->nContentSize / 6;
    int32_t slots = MinSlots;
    while (slots < MaxSlots && slots < 2 * expected)
        slots *= 2;
    db->pIndex = NewIndex(slots);
    if (db->pIndex == nullptr) {
        db->flShortOfMemory = 1;
        return nullptr;
    }
    int32_t offset = FirstRecord(db);
    DbTRecord rec;
    while (offset < db->nContentSize && DecodeRecord(db, offset, &rec)) {
        if (rec.nKeyLen <= DbKeyBufSize) {
            const char *key = rec.pKey != nullptr ? rec.pKey : StoredKey(db, rec);
            if (!IndexAdd(db, key, rec.nKeyLen, offset)) {
                DropIndex(db);
                db->flShortOfMemory = 1;
                return nullptr;
            }
        }
        offset += 2 + rec.nLen;
    }
    db->pIndex->nEnd = offset < db->nContentSize ? offset : db->nContentSize;
    db->pIndex->nRoom = db->nContentSize;
    return db->pIndex;
}

DbTIndex *Index(DbT *db) {
    return db->pIndex != nullptr ? db->pIndex : BuildIndex(db);
}

// What a walk over the whole image does to a damaged tail.
void CutDamagedTail(DbT *db) {
    if (db->pIndex->nEnd < db->nContentSize) db->nContentSize = db->pIndex->nEnd;
    db->nWalk = db->nContentSize;
}

// The slot of key (keyLen bytes with its NUL) in the index.
IndexSlot *FindSlot(DbT *db, const char *key, size_t keyLen) {
    char wanted[DbKeyBufSize];
    const char *bytes = key;
    if (!IsLegacy(db)) {
        dbm::Scramble(wanted, key, keyLen);
        bytes = wanted;
    }
    return Probe(db, db->pIndex, bytes, int32_t(keyLen), HashKey(bytes, keyLen));
}

// The walk's way to the first record of key: for a handle without an index
// (memory ran out when it was to be built).
int WalkFind(DbT *db, const char *key, size_t keyLen, DbTRecord *record) {
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

// Encode n bytes of source at nPos (DbmTPutData without the index's care).
int PutBytes(DbT *db, const void *source, int n) {
    if (db == nullptr || db->pContent == nullptr || source == nullptr || n < 0) return 0;
    if (db->nPos < 0 || db->nPos > db->nContentSize - n) return 0;
    dbm::Scramble(db->pContent + db->nPos, static_cast<const char *>(source), size_t(n));
    db->nPos += n;
    return 1;
}

// The store's path, as DbTGetPath makes it, in buffer (PathBufSize bytes);
// null when it does not fit.
const char *PathInto(const DbT *db, char *buffer) {
    const char *name = db->pName;
    const char *parts[5] = {};
    if (name[0] == '/') {
        if (strchr(name, '.') != nullptr) return name;
        parts[0] = name;
        parts[1] = ".udb";
    } else if (name[0] == '.') {
        return name;
    } else {
        parts[0] = pToolPath != nullptr && pToolPath[0] != '\0' ? pToolPath : ".";
        parts[1] = "/db/";
        parts[2] = name;
        parts[3] = ".udb";
    }
    size_t used = 0;
    for (const char *part : parts) {
        if (part == nullptr) break;
        size_t n = strlen(part);
        if (n >= PathBufSize - used) return nullptr;
        memcpy(buffer + used, part, n);
        used += n;
    }
    buffer[used] = '\0';
    return buffer;
}

// Start reading the record of key into the cache before the reload check,
// so that the memory is fetched while the check waits for the system. Only
// a hint: the lookup after the check reads the index afresh.
void Anticipate(DbT *db, const char *key) {
    if (KeepsLoaded(db) || db->pIndex == nullptr) return;
    size_t keyLen = strlen(key) + 1;
    if (keyLen > size_t(DbKeyBufSize)) return;
    char wanted[DbKeyBufSize];
    const char *bytes = key;
    if (!IsLegacy(db)) {
        dbm::Scramble(wanted, key, keyLen);
        bytes = wanted;
    }
    uint32_t i = HashKey(bytes, keyLen) & uint32_t(db->pIndex->nSlots - 1);
    const IndexSlot &slot = Slots(db->pIndex)[i];
    if (slot.nAt != 0) __builtin_prefetch(db->pContent + slot.nAt - 1);
}

// The lookup of the reading calls: the image brought up to date with its
// file (the record asked for already on its way into the cache), then the
// first record of key.
bool FindCurrentRecord(DbT *db, const char *key, DbTRecord *record) {
    Anticipate(db, key);
    Refresh(db);
    return FindTRecord(db, key, record);
}

int Purge(DbT *db, const char *key, int n);

// Remove the records of key, as Purge does with n = 0, through the index.
int PurgeKey(DbT *db, const char *key) {
    size_t keyLen = strlen(key) + 1;
    if (keyLen > size_t(DbKeyBufSize)) return 0;
    if (Index(db) == nullptr) return Purge(db, key, 0);
    CutDamagedTail(db);
    IndexSlot *slot = FindSlot(db, key, keyLen);
    if (slot->nAt == 0) return 0;
    if (slot->nHash & MoreFlag) { // several records: the walk removes them all
        int removed = Purge(db, key, 0);
        BuildIndex(db);
        return removed;
    }
    DbTIndex *ix = db->pIndex;
    int32_t at = slot->nAt - 1;
    int32_t gone = 2 + dbm::Load16(db->pContent + at, db->flSwap);
    memmove(db->pContent + at, db->pContent + at + gone, size_t(db->nContentSize - at - gone));
    db->nContentSize -= gone;
    if (db->nRecords > 0) --db->nRecords;
    EraseSlot(ix, slot);
    IndexSlot *slots = Slots(ix);
    for (int32_t k = 0; k < ix->nSlots; ++k)
        if (slots[k].nAt - 1 > at) slots[k].nAt -= gone;
    ix->nEnd = db->nContentSize;
    db->nWalk = db->nContentSize;
    db->flChanged = 1;
    return 1;
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
    int removed;
    if (n <= 0 || size_t(n) > strlen(key)) {
        removed = PurgeKey(db, key);
    } else {
        removed = Purge(db, key, n);
        if (removed) BuildIndex(db);
    }
    if (removed) {
        Shrink(db);
        if (db->pIndex != nullptr) db->pIndex->nRoom = db->nContentSize;
    }
    return removed;
}

// A key list, grown with AdjustMem as it is built.
struct KeyListText {
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
    KeyListText list;
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

// Room for one more record of payload length len (and the header of an
// image that has none), made before anything changes, so that a failure
// leaves the image as it was. The block grows by half again when it must
// grow, so that a run of puts copies the image a few times rather than at
// every put. Yields the bytes the block holds now, 0 when memory ran out.
size_t ReserveRecord(DbT *db, long len) {
    int32_t header = db->pContent == nullptr && !IsLegacy(db) ? DbTHeaderSize : 0;
    size_t need = size_t(db->nContentSize + header + len + 2);
    DbTIndex *ix = db->pContent != nullptr ? Index(db) : nullptr;
    size_t room = ix != nullptr ? size_t(ix->nRoom) : 0;
    if (need > room) {
        size_t grown =
            ix != nullptr && !db->flShortOfMemory ? std::max(need, room + room / 2) : need;
        char *image = static_cast<char *>(AdjustMem(db->pContent, grown));
        if (image == nullptr && grown > need) {
            db->flShortOfMemory = 1;
            image = static_cast<char *>(AdjustMem(db->pContent, grown = need));
        }
        if (image == nullptr) return 0;
        db->pContent = image;
        room = grown;
    }
    if (header) {
        db->nContentSize = DbTHeaderSize;
        db->nRecords = 0;
        UpdateHeader(db);
    }
    return room;
}

// Write the record at the end of the image: its length word, then for a
// typed store the key length, key and data each scrambled by itself, for a
// legacy store key length, key and data scrambled as one run. Yields where
// the key is stored (scrambled) for the index, or key itself for a legacy
// store, whose keys the index hashes plain.
const char *AppendRecord(DbT *db, const char *key, size_t keyLen, const void *data, int size,
                         long len) {
    db->nPos = db->nContentSize;
    db->nContentSize += int32_t(len + 2);
    dbm::Store16(db->pContent + db->nPos, uint16_t(len), db->flSwap);
    db->nPos += 2;
    if (IsLegacy(db)) {
        dbm::Store16(LegacyScratch, uint16_t(keyLen), false);
        memcpy(LegacyScratch + 2, key, keyLen);
        memcpy(LegacyScratch + 2 + keyLen, data, size_t(size));
        PutBytes(db, LegacyScratch, int(len));
        return key;
    }
    dbm::Store16(db->pContent + db->nPos, uint16_t(keyLen), db->flSwap);
    db->nPos += 2;
    const char *stored = db->pContent + db->nPos;
    PutBytes(db, key, int(keyLen));
    PutBytes(db, data, size);
    ++db->nRecords;
    return stored;
}

// The record just appended at offset joins the index, if there is one.
void IndexAppended(DbT *db, const char *key, size_t keyLen, int32_t offset, size_t room) {
    if (db->pIndex == nullptr) return;
    if (IndexAdd(db, key, int32_t(keyLen), offset)) {
        db->pIndex->nEnd = db->nContentSize;
        db->pIndex->nRoom = int32_t(room);
    } else {
        DropIndex(db); // built again at the next use
    }
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
    DropIndex(db);
    PutMem(db->pContent);
    PutMem(db->pName);
    PutMem(db);
}

void DbTUpDate(DbT *db) {
    if (db == nullptr || db->pName == nullptr) return;
    // The path is made on the stack: this runs before every access.
    char buffer[PathBufSize];
    ScopedMem<char> allocated;
    const char *path = PathInto(db, buffer);
    if (path == nullptr) {
        allocated.reset(DbTGetPath(db));
        path = allocated.get();
    }
    struct stat st;
    if (stat(path, &st) != 0) return; // no file: the image, if any, stays
    if (db->pContent != nullptr && st.st_mtime == db->tModified) return;
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
    allocated.reset();
    if (content != nullptr) {
        Install(db, content, int32_t(SavedFileSize), st.st_mtime);
        db->flShortOfMemory = 0;
        BuildIndex(db);
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
        db->flShortOfMemory = 0;
        BuildIndex(db);
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
    if (!PutBytes(db, source, n)) return 0;
    // Bytes written from outside may have changed any record's key.
    DropIndex(db);
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

    size_t room = ReserveRecord(db, len);
    if (room == 0) return 0;
    PurgeKey(db, key);
    int32_t offset = db->nContentSize;
    const char *stored = AppendRecord(db, key, keyLen, data, size, len);
    IndexAppended(db, stored, keyLen, offset, room);
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
    DbTRecord rec;
    if (!FindCurrentRecord(db, key, &rec)) return 0;
    int dataLen = DataLen(rec);
    CopyData(db, rec, static_cast<char *>(buffer), dataLen < size ? dataLen : size);
    return dataLen;
}

int DbmTGetRecord(DbT *db, const char *key, void *buffer) {
    return DbmTGetRecordN(db, key, buffer, DbTMaxLen);
}

int DbmTGetRecordV(DbT *db, const char *key, char **buffer, int size) {
    if (db == nullptr || key == nullptr || buffer == nullptr || size < 0) return 0;
    DbTRecord rec;
    if (!FindCurrentRecord(db, key, &rec)) return 0;
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
    DbTRecord rec;
    return FindCurrentRecord(db, key, &rec) ? DataLen(rec) : 0;
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
        done = WriteAll(fd, db->pContent, size_t(db->nContentSize)) &&
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
    if (Index(db) == nullptr) return WalkFind(db, key, keyLen, record);
    IndexSlot *slot = FindSlot(db, key, keyLen);
    if (slot->nAt == 0) {
        CutDamagedTail(db); // the walk would have passed over it
        return 0;
    }
    // Cursors as the walk leaves them at this record.
    int32_t at = slot->nAt - 1;
    DecodeRecord(db, at, record);
    db->nWalk = at + 2 + record->nLen;
    db->nPos = at + (IsLegacy(db) ? 2 : 4 + int32_t(keyLen));
    return 1;
}

int PurgeTRecord(DbT *db, const char *key, int n) {
    if (db == nullptr || key == nullptr || key[0] == '\0') return 0;
    Refresh(db);
    return PurgeImage(db, key, n);
}
