// Loads arbitrary bytes as a cached store (typed, legacy, short, damaged)
// and runs every read operation and a few changes over it. The walk must
// never step outside the image, and what it yields must fit the record
// layout: a damaged record only ever shortens the image.
#include "Dbm.h"
#include "MemMgr.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

char StoreDir[64];
char StoreFile[96];

void RemoveStore() {
    unlink(StoreFile);
    rmdir(StoreDir);
}

// A store file in a directory of its own, removed when the run ends.
std::string StorePath() {
    static std::string path;
    if (path.empty()) {
        char dir[] = "/dev/shm/dbm_fuzz.XXXXXX";
        char fallback[] = "/tmp/dbm_fuzz.XXXXXX";
        const char *made = mkdtemp(dir);
        if (made == nullptr) made = mkdtemp(fallback);
        if (made == nullptr) abort();
        path = std::string(made) + "/store.udb";
        snprintf(StoreDir, sizeof StoreDir, "%s", made);
        snprintf(StoreFile, sizeof StoreFile, "%s", path.c_str());
        atexit(RemoveStore);
    }
    return path;
}

void Check(bool condition) {
    if (!condition) abort();
}

// Walk every record and check it against the image.
int WalkAll(DbT *db) {
    int count = 0;
    DbTRecord rec;
    for (DbTRecord *r = WalkDbTRecords(db, &rec, 0); r != nullptr;
         r = WalkDbTRecords(db, &rec, 1)) {
        Check(rec.nOffset >= 0 && rec.nOffset + 2 + rec.nLen <= db->nContentSize);
        Check(rec.nKeyLen >= 1 && rec.nKeyLen <= rec.nLen - 2);
        ++count;
    }
    Check(db->pContent == nullptr || db->nContentSize >= 0);
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string path = StorePath();
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    fwrite(data, 1, size, file);
    fclose(file);

    DbT *db = DbTOpen(path.c_str(), DbTKeepLoaded | DbTDeferWrite);
    if (db == nullptr) abort();
    int32_t loaded = db->nContentSize;
    int records = WalkAll(db);
    Check(db->nContentSize <= loaded);

    char *list = DbmTGetRecordList(db, ",", ";");
    Check((list == nullptr) == (records == 0));
    if (list != nullptr) {
        // Look up the first listed key and take its data every way there is.
        char *end = strpbrk(list + 1, ",;");
        std::string key(list + 1, end != nullptr ? size_t(end - list - 1) : 0);
        PutMem(list);
        char small[8];
        int whole = DbmTGetRecordSize(db, key.c_str());
        Check(DbmTGetRecordN(db, key.c_str(), small, int(sizeof small)) == whole);
        char *buffer = small;
        Check(DbmTGetRecordV(db, key.c_str(), &buffer, int(sizeof small)) == whole);
        if (buffer != small) PutMem(buffer);
        DbmTCopyRecord(db, key.c_str(), "copy");
    }
    char *some = DbmTGetRecordListS(db, "a,2,k", "", "");
    PutMem(some);
    DbmFreeDbLinkList(DbmTGetDbLinkList(db, "a"));
    PurgeTRecord(db, "a", 1);
    DbmTPutRecord(db, "key", "data", 4);
    int after = WalkAll(db);
    Check(after >= 1);
    DbTClose(db);
    return 0;
}
