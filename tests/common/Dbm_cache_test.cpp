// Cached store: the typed and legacy formats to the byte, loading, reloading,
// the open flags, every operation, damaged images, limits, and writing back.
#include "Dbm.h"

#include "DbmTest.h"
#include "MemMgr.h"
#include "utils.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace corla_test;
using namespace std::string_literals;

namespace {

class CachedStore : public DbmTest {
  protected:
    void TearDown() override {
        for (DbT *db : handles_)
            DbTClose(db);
        DbmTest::TearDown();
    }
    // A handle closed at the end of the test.
    DbT *Open(const std::string &name, int flags = 0) {
        DbT *db = DbTOpen(name.c_str(), flags);
        EXPECT_NE(db, nullptr);
        handles_.push_back(db);
        return db;
    }
    DbT *OpenFile(const std::string &bytes, int flags = 0, const char *name = "s") {
        MakeDbDir();
        WriteFile(StorePath(name), bytes);
        return Open(name, flags);
    }
    static int Put(DbT *db, const std::string &key, const std::string &data) {
        return DbmTPutRecord(db, key.c_str(), data.data(), int(data.size()));
    }
    std::string File(const char *name = "s") { return ReadFile(StorePath(name)); }
    // Move the file's modification time, as if it had been written later.
    static void Touch(const std::string &path, time_t seconds) {
        struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimes(path.c_str(), times), 0);
    }
    static ino_t Inode(const std::string &path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    }

  private:
    std::vector<DbT *> handles_;
};

TEST_F(CachedStore, NewStoreWithOneRecordIsTwentyNineBytes) {
    DbT *db = Open("s");
    EXPECT_EQ(db->pContent, nullptr);
    EXPECT_EQ(db->nDbType, DbTypeNew);
    ASSERT_EQ(Put(db, "abc", "12345"), 1);
    std::string file = File();
    ASSERT_EQ(file.size(), 29u);
    EXPECT_EQ(file.substr(0, 8), "TUDBAA1\0"s);
    // Length words 11 and 4, big-endian on every host, then key and data
    // scrambled each on their own.
    EXPECT_EQ(file.substr(16), ByteString({0x00, 0x0b, 0x00, 0x04, 0x03, 0x01, 0x63, 0x00, 0x03,
                                           0x01, 0x07, 0x01, 0x35}));
    EXPECT_EQ(file.substr(16), TypedRecord("abc", "12345"));
    EXPECT_EQ(db->nDbType, DbTypeTyped);
    EXPECT_EQ(db->flSwap, HostBigEndian() ? 0 : 1);
}

TEST_F(CachedStore, StoreWrittenByABigEndianHostReadsBack) {
    DbT *db = OpenFile(TypedHeader(2) + TypedRecord("first", "one") + TypedRecord("second", "2"));
    EXPECT_EQ(db->nDbType, DbTypeTyped);
    EXPECT_EQ(db->nRecords, 2);
    EXPECT_EQ(Keys(db), "first,second");
    EXPECT_EQ(Get(db, "first"), "one");
    EXPECT_EQ(Get(db, "second"), "2");
}

TEST_F(CachedStore, LengthWordsInLittleEndianOrderAreNotTakenForRecords) {
    // Words written in the wrong order make lengths that run past the image:
    // the store ends there instead of being misread.
    std::string record = TypedRecord("key", "data");
    std::swap(record[0], record[1]);
    std::swap(record[2], record[3]);
    DbT *db = OpenFile(TypedHeader(1) + record);
    EXPECT_EQ(Keys(db), "");
    EXPECT_EQ(db->nContentSize, 16);
}

TEST_F(CachedStore, ZeroByteFileIsANewStoreWithAnInMemoryHeader) {
    DbT *db = OpenFile("");
    EXPECT_EQ(db->nDbType, DbTypeNew);
    ASSERT_NE(db->pContent, nullptr);
    EXPECT_EQ(db->nContentSize, 16);
    EXPECT_EQ(std::string(db->pContent, 7), "TUDBAA0");
    EXPECT_EQ(db->pContent[7], '\0');
    EXPECT_EQ(Keys(db), "");
    EXPECT_EQ(DbmTArchiveDb(db), 1);
    EXPECT_EQ(File().size(), 16u);
}

TEST_F(CachedStore, ShortTypedFileIsANewStore) {
    DbT *db = OpenFile("TUDBAA5");
    EXPECT_EQ(db->nDbType, DbTypeNew);
    EXPECT_EQ(db->nContentSize, 16);
    EXPECT_EQ(db->nRecords, 0);
    EXPECT_EQ(Keys(db), "");
    ASSERT_EQ(Put(db, "k", "v"), 1);
    EXPECT_EQ(File(), File().substr(0, 16) + TypedRecord("k", "v"));
}

TEST_F(CachedStore, LegacyStoreStaysLegacy) {
    DbT *db = OpenFile(LegacyRecord("old", "1"));
    EXPECT_EQ(db->nDbType, DbTypeLegacy);
    EXPECT_EQ(db->flSwap, 0);
    EXPECT_EQ(Get(db, "old"), "1");
    ASSERT_EQ(Put(db, "new", "22"), 1);
    EXPECT_EQ(File(), LegacyRecord("old", "1") + LegacyRecord("new", "22"));
    EXPECT_EQ(db->nRecords, 0);
    // The record-file operations read what the cached store wrote.
    char buffer[DbMaxPayload];
    EXPECT_EQ(DbmGetRecord("s", "new", buffer), 2);
    // Every record removed, then one put: still no header.
    EXPECT_EQ(DbmTDeleteRecords(db, "o"), 1);
    EXPECT_EQ(DbmTDeleteRecords(db, "n"), 1);
    EXPECT_EQ(File(), "");
    ASSERT_EQ(Put(db, "again", "3"), 1);
    EXPECT_EQ(File(), LegacyRecord("again", "3"));
}

TEST_F(CachedStore, AnythingNotStartingWithTheMagicIsLegacy) {
    DbT *db = OpenFile("TUDBX" + std::string(20, 'z'));
    EXPECT_EQ(db->nDbType, DbTypeLegacy);
    EXPECT_EQ(Keys(db), ""); // and damaged: nothing readable
}

TEST_F(CachedStore, DeferredWritingWritesOnceOnArchive) {
    DbT *db = Open("s", DbTDeferWrite);
    for (const char *key : {"a", "b", "c"})
        ASSERT_EQ(Put(db, key, "x"), 1);
    EXPECT_FALSE(Exists(StorePath("s")));
    EXPECT_EQ(Keys(db), "a,b,c");
    ASSERT_EQ(DbmTArchiveDb(db), 1);
    EXPECT_EQ(File().size(), 16u + 3 * TypedRecord("a", "x").size());
    EXPECT_EQ(File().substr(0, 8), "TUDBAA3\0"s);
}

TEST_F(CachedStore, WithoutDeferredWritingEveryPutWritesTheFile) {
    DbT *db = Open("s");
    std::vector<ino_t> inodes;
    for (const char *key : {"a", "b", "c"}) {
        ASSERT_EQ(Put(db, key, "x"), 1);
        inodes.push_back(Inode(StorePath("s")));
        EXPECT_FALSE(Exists(StorePath("s") + "_new"));
    }
    // Each write is a new file renamed into place.
    EXPECT_NE(inodes[0], inodes[1]);
    EXPECT_NE(inodes[1], inodes[2]);
}

TEST_F(CachedStore, ChangesInAnEmptyFilesStoreSurviveTheNextRefresh) {
    DbT *db = OpenFile("", DbTDeferWrite);
    Put(db, "a", "1");
    Put(db, "b", "2");
    EXPECT_EQ(Keys(db), "a,b");
}

TEST_F(CachedStore, ChangeByAnotherProcessIsSeenAtTheNextAccess) {
    DbT *db = Open("s");
    Put(db, "k", "old");
    Touch(StorePath("s"), 1000000);
    EXPECT_EQ(Get(db, "k"), "old");
    ChildResult child = RunInChild([] {
        DbT *other = DbTOpen("s", 0);
        _exit(DbmTPutRecord(other, "k", "new", 3));
    });
    ASSERT_EQ(child.status, 1);
    Touch(StorePath("s"), 2000000);
    EXPECT_EQ(Get(db, "k"), "new");
}

TEST_F(CachedStore, KeepLoadedSeesAnotherHandlesChangeOnlyAfterAnExplicitUpdate) {
    DbT *kept = Open("s", DbTKeepLoaded);
    DbT *other = Open("s");
    Put(other, "k", "first");
    DbTUpDate(kept);
    EXPECT_EQ(Get(kept, "k"), "first");
    Touch(StorePath("s"), 1000000);
    DbTUpDate(kept);
    Put(other, "k", "second");
    Touch(StorePath("s"), 2000000);
    EXPECT_EQ(Get(kept, "k"), "first");
    DbTUpDate(kept);
    EXPECT_EQ(Get(kept, "k"), "second");
}

TEST_F(CachedStore, RemovedFileKeepsTheLoadedImage) {
    DbT *db = Open("s");
    Put(db, "k", "v");
    unlink(StorePath("s").c_str());
    EXPECT_EQ(Get(db, "k"), "v");
}

TEST_F(CachedStore, DeleteRecordsByPrefix) {
    DbT *db = Open("s", DbTDeferWrite);
    for (const char *key : {"a", "ab", "abc", "b"})
        Put(db, key, "x");
    EXPECT_EQ(DbmTDeleteRecords(db, "ab"), 1);
    EXPECT_EQ(Keys(db), "a,b");
    EXPECT_EQ(db->nRecords, 2);
    EXPECT_EQ(DbmTDeleteRecords(db, "zz"), 1); // any non-empty prefix
    EXPECT_EQ(DbmTDeleteRecords(db, ""), 0);
    EXPECT_EQ(DbmTDeleteRecord(db, "a"), 1);
    EXPECT_EQ(DbmTDeleteRecord(db, "a"), 0);
    EXPECT_EQ(Keys(db), "b");
}

TEST_F(CachedStore, DeleteArchivesUnlessDeferred) {
    DbT *db = Open("s");
    Put(db, "a", "1");
    Put(db, "b", "2");
    EXPECT_EQ(DbmTDeleteRecord(db, "a"), 1);
    EXPECT_EQ(File(), File().substr(0, 16) + TypedRecord("b", "2"));
    EXPECT_EQ(File().substr(0, 8), "TUDBAA1\0"s);
}

TEST_F(CachedStore, GetRecordVAllocatesOnlyWhenTheBufferIsTooSmall) {
    DbT *db = Open("s", DbTDeferWrite);
    Put(db, "k", "0123456789");
    char small[4] = "abc";
    char *buffer = small;
    EXPECT_EQ(DbmTGetRecordV(db, "k", &buffer, 4), 10);
    ASSERT_NE(buffer, small);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_STREQ(small, "abc");
    PutMem(buffer);
    char exact[10];
    buffer = exact;
    EXPECT_EQ(DbmTGetRecordV(db, "k", &buffer, 10), 10);
    EXPECT_EQ(buffer, exact);
    EXPECT_EQ(std::string(exact, 10), "0123456789");
    EXPECT_EQ(DbmTGetRecordV(db, "missing", &buffer, 10), 0);
}

TEST_F(CachedStore, BoundedGetDecodesOnlyTheWantedPrefix) {
    DbT *db = Open("s", DbTDeferWrite);
    Put(db, "k", "0123456789");
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(DbmTGetRecordN(db, "k", buffer, 3), 10);
    EXPECT_EQ(std::string(buffer, 8), "012#####");
}

TEST_F(CachedStore, ListsAndKeyNames) {
    DbT *db = Open("s", DbTDeferWrite);
    for (const char *key : {"25_1", "25_2", "30_1", "2_9"})
        Put(db, key, "x");
    EXPECT_EQ(Take(DbmTGetRecordList(db, "[", "]")), "[25_1[25_2[30_1[2_9]");
    EXPECT_EQ(Take(DbmTGetRecordListS(db, "30,25_2", " ", "!")), " 25_2 30_1!");
    EXPECT_EQ(DbmTGetRecordListS(db, "", " ", "!"), nullptr);
    EXPECT_EQ(DbmTGetRecordListS(db, "9", " ", "!"), nullptr);
    EXPECT_EQ(TestKeyName("25_10", "30,25_1"), 1);
    EXPECT_EQ(TestKeyName("2", "30,25_1"), 0);
    EXPECT_EQ(TestKeyName("abc", ",,ab,,"), 1);
    EXPECT_EQ(TestKeyName(std::string(200, 'a').c_str(), std::string(130, 'a').c_str()), 0);
    DbT *empty = Open("none");
    EXPECT_EQ(DbmTGetRecordList(empty, "", ""), nullptr);
}

TEST_F(CachedStore, TestKeyNameLeavesTheSharedTokenizerAlone) {
    char text[] = "one,two";
    ASSERT_STREQ(GetToken(text, ","), "one");
    EXPECT_EQ(TestKeyName("abc", "x,ab"), 1);
    EXPECT_STREQ(GetTokenBuf, "one");
    EXPECT_STREQ(GetToken(nullptr, ","), "two");
}

TEST_F(CachedStore, CopyAndSizeAndLinkList) {
    DbT *db = Open("s", DbTDeferWrite);
    Put(db, "alpha", "1");
    Put(db, "beta", std::string("2\0002", 3));
    EXPECT_EQ(DbmTCopyRecord(db, "beta", "gamma"), 1);
    EXPECT_EQ(DbmTCopyRecord(db, "none", "delta"), 0);
    EXPECT_EQ(DbmTGetRecordSize(db, "gamma"), 3);
    EXPECT_EQ(DbmTGetRecordSize(db, "gam"), 0);
    DbLink *chain = DbmTGetDbLinkList(db, "ta");
    ASSERT_NE(chain, nullptr);
    EXPECT_STREQ(chain->pRecord, "beta");
    EXPECT_EQ(std::string(chain->pRecData, chain->nRecSize), std::string("2\0002", 3));
    EXPECT_EQ(chain->pNext, nullptr);
    DbmFreeDbLinkList(chain);
    chain = DbmTGetDbLinkList(db, "a");
    ASSERT_NE(chain, nullptr);
    ASSERT_NE(chain->pNext, nullptr);
    ASSERT_NE(chain->pNext->pNext, nullptr);
    EXPECT_STREQ(chain->pNext->pNext->pRecord, "gamma");
    EXPECT_EQ(chain->pNext->pNext->pNext, nullptr);
    DbmFreeDbLinkList(chain);
    EXPECT_EQ(DbmTGetDbLinkList(db, "zz"), nullptr);
}

TEST_F(CachedStore, LegacyOperationsDecodeThroughTheScratchBlock) {
    DbT *db = OpenFile(LegacyRecord("alpha", "1") + LegacyRecord("beta", "22"), DbTDeferWrite);
    EXPECT_EQ(Keys(db), "alpha,beta");
    EXPECT_EQ(Get(db, "beta"), "22");
    EXPECT_EQ(DbmTCopyRecord(db, "beta", "gamma"), 1);
    DbLink *chain = DbmTGetDbLinkList(db, "mm");
    ASSERT_NE(chain, nullptr);
    EXPECT_STREQ(chain->pRecord, "gamma");
    EXPECT_EQ(std::string(chain->pRecData, chain->nRecSize), "22");
    DbmFreeDbLinkList(chain);
    char buffer[4] = {};
    EXPECT_EQ(DbmTGetRecordN(db, "gamma", buffer, 1), 2);
    EXPECT_EQ(buffer[0], '2');
    EXPECT_EQ(buffer[1], '\0');
    EXPECT_EQ(DbmTDeleteRecords(db, "al"), 1);
    EXPECT_EQ(Keys(db), "beta,gamma");
}

// Each damage ends the store at the damaged record: the records before it
// stay readable, nothing is read outside the image, and the next archive
// writes the shortened store.
TEST_F(CachedStore, DamagedTypedRecordsCutTheImage) {
    std::string good = TypedRecord("a", "1");
    struct Case {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"one byte left", "\x01"},
        {"length past the end", Word16(50, true) + Word16(2, true) + "x\0"s},
        {"length below 2", Word16(1, true) + "x"},
        {"key length 0", Word16(4, true) + Word16(0, true) + "xy"},
        {"key length past the record", Word16(4, true) + Word16(3, true) + "x\0"s},
        {"key without its NUL", Word16(5, true) + Word16(2, true) + "xyz"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string image = TypedHeader(3) + good + c.bytes + TypedRecord("b", "2");
        DbT *db = OpenFile(image, DbTDeferWrite, "damaged");
        EXPECT_EQ(Keys(db), "a");
        EXPECT_EQ(Get(db, "b"), "(absent)");
        EXPECT_EQ(db->nContentSize, int32_t(16 + good.size()));
        ASSERT_EQ(DbmTArchiveDb(db), 1);
        EXPECT_EQ(File("damaged").size(), 16 + good.size());
    }
}

TEST_F(CachedStore, DamagedLegacyRecordsCutTheImage) {
    const bool be = HostBigEndian();
    std::string good = LegacyRecord("a", "1");
    struct Case {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"zero length", Word16(0, be)},
        {"length past the end", Word16(500, be) + "xx"},
        {"key length past the record", Word16(4, be) + ScrambleRun(Word16(3, be) + "x\0"s)},
        {"key length 0", Word16(4, be) + ScrambleRun(Word16(0, be) + "xy")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DbT *db = OpenFile(good + c.bytes + LegacyRecord("b", "2"), 0, "damaged");
        EXPECT_EQ(Keys(db), "a");
        EXPECT_EQ(db->nContentSize, int32_t(good.size()));
    }
}

TEST_F(CachedStore, HeaderCountThatIsNotANumberReadsAsZero) {
    std::string header = "TUDBAAxyz" + std::string(7, '\xff');
    DbT *db = OpenFile(header + TypedRecord("k", "v"));
    EXPECT_EQ(db->nRecords, 0);
    EXPECT_EQ(Get(db, "k"), "v");
    header = "TUDBAA1234567890";
    db = OpenFile(header + TypedRecord("k", "v"), 0, "long");
    EXPECT_EQ(db->nRecords, 123456789); // at most nine digits
}

TEST_F(CachedStore, UnreadableStoreIsNeverReplacedByAnEmptyOne) {
    // A directory where the store should be: it exists, is not empty, and
    // cannot be read as a file.
    MakeDbDir();
    ASSERT_EQ(mkdir(StorePath("s").c_str(), 0755), 0);
    WriteFile(StorePath("s") + "/inside", "x");
    DbT *db = Open("s", DbTDeferWrite);
    EXPECT_EQ(db->nDbType, DbTypeUnreadable);
    EXPECT_EQ(db->pContent, nullptr);
    EXPECT_EQ(Get(db, "k"), "(absent)");
    EXPECT_EQ(Put(db, "k", "v"), 0);
    EXPECT_EQ(DbmTDeleteRecord(db, "k"), 0);
    EXPECT_EQ(DbmTDeleteRecords(db, "k"), 0);
    EXPECT_EQ(DbmTArchiveDb(db), 0);
    EXPECT_EQ(ReadFile(StorePath("s") + "/inside"), "x");
}

TEST_F(CachedStore, StoreWithoutReadPermissionIsUnreadable) {
    DbT *writer = Open("s");
    Put(writer, "k", "v");
    chmod(StorePath("s").c_str(), 0);
    int status = RunAsNobody([] {
        DbT *db = DbTOpen("s", 0);
        int unreadable = db->nDbType == DbTypeUnreadable;
        int refused = DbmTPutRecord(db, "x", "y", 1) == 0;
        DbTClose(db);
        return unreadable * 10 + refused;
    });
    EXPECT_EQ(status, 11);
    chmod(StorePath("s").c_str(), 0644);
    EXPECT_EQ(Get(writer, "k"), "v");
}

TEST_F(CachedStore, UnreadableStoreIsLoadedOnceItCanBeRead) {
    MakeDbDir();
    ASSERT_EQ(mkdir(StorePath("s").c_str(), 0755), 0);
    DbT *db = Open("s");
    ASSERT_EQ(db->nDbType, DbTypeUnreadable);
    RemoveTree(StorePath("s"));
    WriteFile(StorePath("s"), TypedHeader(1) + TypedRecord("k", "v"));
    EXPECT_EQ(Get(db, "k"), "v");
    EXPECT_EQ(db->nDbType, DbTypeTyped);
}

TEST_F(CachedStore, StoreOpenedByFullPathIsWrittenBackToThatPath) {
    std::string other = MakeTempDir();
    std::string path = other + "/own.udb";
    DbT *db = Open(path);
    ASSERT_EQ(Put(db, "k", "v"), 1);
    EXPECT_EQ(ReadFile(path), ReadFile(path).substr(0, 16) + TypedRecord("k", "v"));
    EXPECT_FALSE(Exists(path + "_new"));
    EXPECT_FALSE(Exists(DbDir()));
    // A "."-relative path is used as it is.
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(other.c_str()), 0);
    DbT *relative = Open("./sub/rel");
    EXPECT_EQ(Put(relative, "k", "v"), 1);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_TRUE(Exists(other + "/sub/rel"));
    RemoveTree(other);
}

TEST_F(CachedStore, FullPathWithoutADotGetsTheStoreExtension) {
    if (Dir().find('.') != std::string::npos) GTEST_SKIP() << "the test directory has a dot";
    DbT *db = Open(Dir() + "/bare");
    ASSERT_EQ(Put(db, "k", "v"), 1);
    EXPECT_TRUE(Exists(Dir() + "/bare.udb"));
    EXPECT_FALSE(Exists(Dir() + "/bare"));
}

TEST_F(CachedStore, StorePathForms) {
    DbT named = {};
    char name[] = "en_US/CoreString";
    named.pName = name;
    EXPECT_EQ(Take(DbTGetPath(&named)), Dir() + "/db/en_US/CoreString.udb");
    char full[] = "/x/y";
    named.pName = full;
    EXPECT_EQ(Take(DbTGetPath(&named)), "/x/y.udb");
    char dotted[] = "/x.d/y";
    named.pName = dotted;
    EXPECT_EQ(Take(DbTGetPath(&named)), "/x.d/y");
    char relative[] = "../z";
    named.pName = relative;
    EXPECT_EQ(Take(DbTGetPath(&named)), "../z");
    EXPECT_EQ(DbTGetPath(nullptr), nullptr);
}

TEST_F(CachedStore, RecordLimits) {
    DbT *db = Open("s", DbTDeferWrite);
    // L = K + D + 2 with K = 2: a typed record holds up to 65531 data bytes.
    std::string largest(65531, 'd');
    EXPECT_EQ(Put(db, "k", largest), 1);
    EXPECT_EQ(Get(db, "k"), largest);
    int32_t size = db->nContentSize;
    EXPECT_EQ(Put(db, "k", largest + "d"), 0);
    EXPECT_EQ(db->nContentSize, size);
    EXPECT_EQ(Get(db, "k"), largest); // a refused put leaves the old record
    // Keys: 4095 characters and the NUL fit the key work area, 4096 do not.
    std::string key(4095, 'k');
    EXPECT_EQ(Put(db, key, "v"), 1);
    EXPECT_EQ(Get(db, key), "v");
    EXPECT_EQ(Put(db, key + "k", "v"), 0);
    EXPECT_EQ(Get(db, key + "k"), "(absent)");
    // A legacy store keeps to the record-file limit.
    DbT *legacy = OpenFile(LegacyRecord("a", "1"), DbTDeferWrite, "legacy");
    EXPECT_EQ(Put(legacy, "k", std::string(65523, 'd')), 1);
    EXPECT_EQ(Put(legacy, "k", std::string(65524, 'd')), 0);
}

TEST_F(CachedStore, MissingArgumentsGiveZero) {
    DbT *db = Open("s", DbTDeferWrite);
    char buffer[8];
    char *pointer = buffer;
    EXPECT_EQ(DbTOpen(nullptr, 0), nullptr);
    EXPECT_EQ(DbmTPutRecord(nullptr, "k", "v", 1), 0);
    EXPECT_EQ(DbmTPutRecord(db, nullptr, "v", 1), 0);
    EXPECT_EQ(DbmTPutRecord(db, "", "v", 1), 0);
    EXPECT_EQ(DbmTPutRecord(db, "k", nullptr, 1), 0);
    EXPECT_EQ(DbmTPutRecord(db, "k", "v", 0), 0);
    EXPECT_EQ(DbmTGetRecord(db, "k", nullptr), 0);
    EXPECT_EQ(DbmTGetRecord(nullptr, "k", buffer), 0);
    EXPECT_EQ(DbmTGetRecordV(db, "k", nullptr, 8), 0);
    EXPECT_EQ(DbmTGetRecordV(db, nullptr, &pointer, 8), 0);
    EXPECT_EQ(DbmTDeleteRecord(db, ""), 0);
    EXPECT_EQ(DbmTGetRecordList(db, nullptr, ""), nullptr);
    EXPECT_EQ(DbmTArchiveDb(nullptr), 0);
    EXPECT_EQ(DbmTArchiveDb(db), 0); // nothing loaded, nothing to write
    EXPECT_EQ(FindTRecord(db, "k", nullptr), 0);
    EXPECT_EQ(PurgeTRecord(db, "", 0), 0);
    EXPECT_EQ(WalkDbTRecords(db, nullptr, 0), nullptr);
    DbTClose(nullptr);
    DbTUpDate(nullptr);
}

TEST_F(CachedStore, DataCursorStaysInsideTheImage) {
    DbT *db = Open("s", DbTDeferWrite);
    Put(db, "k", "v");
    char buffer[64];
    db->nPos = db->nContentSize - 2;
    EXPECT_EQ(DbmTGetData(db, buffer, 3), 0);
    EXPECT_EQ(DbmTPutData(db, "abc", 3), 0);
    EXPECT_EQ(db->nPos, db->nContentSize - 2);
    EXPECT_EQ(DbmTGetData(db, buffer, 2), 1);
    EXPECT_EQ(db->nPos, db->nContentSize);
    EXPECT_EQ(DbmTGetData(db, buffer, 0), 1);
    db->nPos = -1;
    EXPECT_EQ(DbmTGetData(db, buffer, 1), 0);
}

TEST_F(CachedStore, WalkAndFindFillTheRecordDescriptor) {
    DbT *db = Open("s", DbTDeferWrite);
    Put(db, "key", "data");
    Put(db, "other", "x");
    DbTRecord rec;
    ASSERT_EQ(FindTRecord(db, "key", &rec), 1);
    EXPECT_EQ(rec.nLen, 4 + 4 + 2);
    EXPECT_EQ(rec.nKeyLen, 4);
    EXPECT_EQ(rec.nOffset, 16);
    EXPECT_EQ(db->nPos, 16 + 4 + 4);
    char data[4];
    ASSERT_EQ(DbmTGetData(db, data, 4), 1);
    EXPECT_EQ(std::string(data, 4), "data");
    int count = 0;
    for (DbTRecord *r = WalkDbTRecords(db, &rec, 0); r != nullptr; r = WalkDbTRecords(db, &rec, 1))
        ++count;
    EXPECT_EQ(count, 2);
    EXPECT_EQ(FindTRecord(db, "", &rec), 0);
    EXPECT_EQ(FindTRecord(db, std::string(5000, 'k').c_str(), &rec), 0);
}

TEST_F(CachedStore, UpdateHeaderWritesTheCountAndAFiller) {
    DbT *db = Open("s", DbTDeferWrite);
    Put(db, "k", "v");
    db->nRecords = 1234567890;
    UpdateHeader(db);
    EXPECT_EQ(std::string(db->pContent, 15), "TUDBAA123456789");
    EXPECT_EQ(db->pContent[15], '\0');
    db->nRecords = 42;
    UpdateHeader(db);
    EXPECT_EQ(std::string(db->pContent, 9), "TUDBAA42\0"s);
}

// Two handles that archive the same store at once may lose one update, but
// the store file is always one complete store.
TEST_F(CachedStore, ConcurrentArchivesNeverTearTheStore) {
    DbT *db = Open("s", DbTDeferWrite);
    Put(db, "seed", "x");
    DbmTArchiveDb(db);
    std::vector<pid_t> children;
    for (int c = 0; c < 3; ++c) {
        fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            DbT *mine = DbTOpen("s", DbTDeferWrite);
            std::string data(3000, char('a' + c));
            int ok = 1;
            for (int i = 0; i < 20; ++i) {
                ok &= DbmTPutRecord(mine, ("k" + std::to_string(c)).c_str(), data.data(),
                                    int(data.size()));
                ok &= DbmTArchiveDb(mine);
            }
            _exit(ok);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    }
    DbT *check = Open("s");
    std::string keys = Keys(check);
    EXPECT_EQ(keys.substr(0, 4), "seed");
    std::string file = File();
    int32_t size = check->nContentSize;
    EXPECT_EQ(size_t(size), file.size()) << "the store was cut: a torn write";
}

} // namespace
