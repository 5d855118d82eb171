// Record files: the byte layout, every operation, damaged files, limits and
// the safe replacement of the store file.
#include "Dbm.h"

#include "DbmTest.h"
#include "MemMgr.h"
#include "utils.h"

#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace corla_test;
using namespace std::string_literals;

namespace {

class RecordFile : public DbmTest {
  protected:
    int Put(const std::string &key, const std::string &data, const char *name = "s") {
        return DbmPutRecord(name, key.c_str(), data.data(), int(data.size()));
    }
    std::string Get(const std::string &key, const char *name = "s") {
        std::vector<char> buffer(DbMaxPayload);
        int size = DbmGetRecord(name, key.c_str(), buffer.data());
        return size > 0 ? std::string(buffer.data(), size_t(size)) : "(absent)";
    }
    std::string List(const char *name = "s") { return Take(DbmGetRecordList(name, "<", ">")); }
    std::string File(const char *name = "s") { return ReadFile(StorePath(name)); }
};

TEST_F(RecordFile, OneLetterKeyWithThreeBytesIsANineByteFile) {
    ASSERT_EQ(Put("a", "xyz"), 1);
    std::string file = File();
    ASSERT_EQ(file.size(), 9u);
    EXPECT_EQ(file.substr(0, 2), Word16(7, HostBigEndian()));
    std::string payload = UnscrambleRun(file.substr(2));
    EXPECT_EQ(payload, Word16(2, HostBigEndian()) + std::string("a\0xyz", 5));
    if (!HostBigEndian()) { // the bytes worked out by hand
        EXPECT_EQ(file, ByteString({0x07, 0x00, 0x02, 0x61, 0x61, 0x78, 0x01, 0x03, 0x7a}));
    }
    EXPECT_EQ(file, LegacyRecord("a", "xyz"));
    EXPECT_FALSE(Exists(DbDir() + "/s.udb_new"));
}

TEST_F(RecordFile, StoreDirectoryIsMadeUnderTheToolPathNotTheWorkingDirectory) {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string elsewhere = MakeTempDir();
    ASSERT_EQ(chdir(elsewhere.c_str()), 0);
    EXPECT_EQ(Put("k", "v"), 1);
    EXPECT_FALSE(Exists(elsewhere + "/db"));
    EXPECT_EQ(ModeOf(DbDir()), 0777u);
    EXPECT_EQ(ModeOf(StorePath("s")), 0666u);
    ASSERT_EQ(chdir(cwd), 0);
    RemoveTree(elsewhere);
}

TEST_F(RecordFile, PuttingTheSameKeyTwiceLeavesOneRecordLastWithTheNewerData) {
    Put("k", "old");
    Put("m", "1");
    Put("k", "new");
    EXPECT_EQ(List(), "<m<k>");
    EXPECT_EQ(Get("k"), "new");
    EXPECT_EQ(File(), LegacyRecord("m", "1") + LegacyRecord("k", "new"));
}

TEST_F(RecordFile, DeleteRecordsRemovesThePrefixedKeysOnly) {
    for (const char *key : {"a", "ab", "abc", "xab", "ab1"})
        Put(key, "d");
    EXPECT_EQ(DbmDeleteRecords("s", "ab"), 1);
    EXPECT_EQ(List(), "<a<xab>");
    EXPECT_EQ(DbmDeleteRecords("s", ""), 0);
}

TEST_F(RecordFile, DeleteRecordRemovesTheExactKey) {
    Put("ab", "1");
    Put("abc", "2");
    EXPECT_EQ(DbmDeleteRecord("s", "ab"), 1);
    EXPECT_EQ(List(), "<abc>");
    EXPECT_EQ(DbmDeleteRecord("s", "zz"), 1); // nothing matched is no failure
    EXPECT_EQ(List(), "<abc>");
    EXPECT_EQ(DbmDeleteRecord("missing", "abc"), 0);
}

TEST_F(RecordFile, KeysMatchWithTheirTerminator) {
    Put("abc", "data");
    EXPECT_EQ(Get("ab"), "(absent)");
    EXPECT_EQ(DbmGetRecordSize("s", "ab"), 0);
    EXPECT_EQ(DbmGetRecordSize("s", "abc"), 4);
    EXPECT_EQ(DbmGetRecordSize("s", "abcd"), 0);
}

TEST_F(RecordFile, MissingStoreReadsAsEmpty) {
    char buffer[16];
    EXPECT_EQ(DbmGetRecord("none", "k", buffer), 0);
    EXPECT_EQ(DbmGetRecordSize("none", "k"), 0);
    EXPECT_EQ(DbmGetRecordList("none", "", ""), nullptr);
    EXPECT_EQ(DbmGetDbLinkList("none", ""), nullptr);
    EXPECT_EQ(DbmCopyRecord("none", "a", "b"), 0);
}

TEST_F(RecordFile, ZeroLengthWordEndsEveryScan) {
    MakeDbDir();
    WriteFile(StorePath("s"),
              LegacyRecord("a", "1") + Word16(0, HostBigEndian()) + LegacyRecord("b", "2"));
    EXPECT_EQ(Get("a"), "1");
    EXPECT_EQ(Get("b"), "(absent)");
    EXPECT_EQ(List(), "<a>");
}

// A damaged record ends the scan as the end of the file does; nothing is
// read outside the record buffer.
TEST_F(RecordFile, DamagedRecordsEndTheScan) {
    const bool be = HostBigEndian();
    std::string good = LegacyRecord("a", "1");
    struct Case {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"length above the limit", Word16(65528, be) + std::string(65528, 'x')},
        {"short payload", Word16(40, be) + "abc"},
        {"one byte of length", std::string(1, '\x05')},
        {"key length 0", Word16(4, be) + ScrambleRun(Word16(0, be) + "xy")},
        {"key length past the record", Word16(4, be) + ScrambleRun(Word16(3, be) + "x\0"s)},
        {"key without its NUL", Word16(5, be) + ScrambleRun(Word16(2, be) + "xyz")},
    };
    MakeDbDir();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(StorePath("s"), good + c.bytes + LegacyRecord("b", "2"));
        EXPECT_EQ(Get("a"), "1");
        EXPECT_EQ(Get("b"), "(absent)");
        EXPECT_EQ(List(), "<a>");
    }
}

TEST_F(RecordFile, GetDataRejectsWhatPutDataCannotHaveWritten) {
    std::vector<char> record(DbRecBufSize);
    std::string bytes = LegacyRecord("key", "data");
    FILE *in = fmemopen(bytes.data(), bytes.size(), "rb");
    ASSERT_EQ(GetData(in, record.data()), 1);
    EXPECT_EQ(memcmp(record.data() + 4, "key\0data", 8), 0);
    EXPECT_EQ(GetData(in, record.data()), 0); // end of file
    fclose(in);
}

TEST_F(RecordFile, PutDataScramblesTheCallersBufferAndWritesLPlusTwo) {
    std::string record = Word16(6, HostBigEndian()) + Word16(2, HostBigEndian()) + "k\0ab"s;
    std::string copy = record;
    char out[32] = {};
    FILE *file = fmemopen(out, sizeof out, "wb");
    ASSERT_EQ(PutData(file, record.data()), 1);
    fclose(file);
    EXPECT_EQ(record, copy.substr(0, 2) + ScrambleRun(copy.substr(2)));
    EXPECT_EQ(std::string(out, 8), record);
}

TEST_F(RecordFile, RecordSizeLimit) {
    // L = K + D + 2 with K = 2: the largest record has 65523 data bytes.
    std::string largest(65523, 'd');
    EXPECT_EQ(Put("k", largest), 1);
    EXPECT_EQ(Get("k"), largest);
    std::string before = File();
    EXPECT_EQ(Put("k", largest + "d"), 0);           // L = 65528 could not be read back
    EXPECT_EQ(Put("k", std::string(70000, 'd')), 0); // L would wrap
    EXPECT_EQ(File(), before);
    EXPECT_FALSE(Exists(DbDir() + "/s.udb_new"));
}

TEST_F(RecordFile, BoundedGetCopiesAtMostTheGivenSize) {
    Put("k", "0123456789");
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(DbmGetRecordN("s", "k", buffer, 4), 10);
    EXPECT_EQ(std::string(buffer, 8), "0123####");
}

TEST_F(RecordFile, MissingArgumentsGiveZero) {
    char buffer[8];
    EXPECT_EQ(DbmPutRecord(nullptr, "k", "d", 1), 0);
    EXPECT_EQ(DbmPutRecord("s", nullptr, "d", 1), 0);
    EXPECT_EQ(DbmPutRecord("s", "k", nullptr, 1), 0);
    EXPECT_EQ(DbmPutRecord("s", "k", "d", 0), 0);
    EXPECT_EQ(DbmGetRecord("s", "k", nullptr), 0);
    EXPECT_EQ(DbmGetNextRecord("s", nullptr), 0);
    EXPECT_EQ(DbmDeleteRecord(nullptr, "k"), 0);
    EXPECT_EQ(DbmGetRecord(nullptr, "k", buffer), 0);
    EXPECT_EQ(DbmGetRecordList("s", nullptr, ""), nullptr);
    EXPECT_EQ(DbmCreate("s", "x"), 0);
    EXPECT_EQ(DbmDelete("s", "x"), 0);
    EXPECT_FALSE(Exists(DbDir()));
}

// The cursor is process-wide: this is the only test that moves it.
TEST_F(RecordFile, NextRecordWalksWithOneCursorForAllStores) {
    Put("a", "1", "big");
    Put("b", "22", "big");
    Put("c", "333", "big");
    Put("x", "9", "small");
    char buffer[DbMaxPayload];
    EXPECT_EQ(DbmGetNextRecord("big", buffer), 1);
    EXPECT_EQ(buffer[0], '1');
    EXPECT_EQ(DbmGetNextRecord("big", buffer), 2);
    EXPECT_EQ(DbmGetNextRecord("small", buffer), 0); // it has no second record
    EXPECT_EQ(DbmGetNextRecord("big", buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "333");
    EXPECT_EQ(DbmGetNextRecord("big", buffer), 0); // past the last
    EXPECT_EQ(DbmGetNextRecord("big", buffer), 0);
    EXPECT_EQ(DbmGetNextRecord("small", buffer), 0);
    EXPECT_EQ(DbmGetNextRecord("missing", buffer), 0);
}

TEST_F(RecordFile, RecordListIsPrefixedKeysInFileOrderThenTheSuffix) {
    Put("one", "1");
    Put("two", "2");
    Put("three", "3");
    EXPECT_EQ(Take(DbmGetRecordList("s", ",", ",")), ",one,two,three,");
    EXPECT_EQ(Take(DbmGetRecordList("s", "", "")), "onetwothree");
    MakeDbDir();
    WriteFile(StorePath("empty"), "");
    EXPECT_EQ(DbmGetRecordList("empty", ",", ","), nullptr);
}

TEST_F(RecordFile, CopyRecordKeepsTheOldRecord) {
    Put("old", std::string("a\0b", 3));
    EXPECT_EQ(DbmCopyRecord("s", "old", "new"), 1);
    EXPECT_EQ(Get("old"), std::string("a\0b", 3));
    EXPECT_EQ(Get("new"), std::string("a\0b", 3));
    EXPECT_EQ(DbmCopyRecord("s", "gone", "other"), 0);
    EXPECT_EQ(List(), "<old<new>");
}

TEST_F(RecordFile, DbLinkListHoldsKeyAndDataOfEveryKeyContainingTheText) {
    Put("alpha", "1");
    Put("beta", "22");
    Put("gamma", "333");
    DbLink *chain = DbmGetDbLinkList("s", "mm");
    ASSERT_NE(chain, nullptr);
    EXPECT_STREQ(chain->pRecord, "gamma");
    EXPECT_EQ(chain->pRecData, chain->pRecord + 6);
    EXPECT_EQ(chain->nRecSize, 3u);
    EXPECT_EQ(std::string(chain->pRecData, 3), "333");
    EXPECT_EQ(chain->pNext, nullptr);
    DbmFreeDbLinkList(chain);
    chain = DbmGetDbLinkList("s", "a");
    int count = 0;
    for (DbLink *l = chain; l != nullptr; l = l->pNext)
        ++count;
    EXPECT_EQ(count, 3);
    DbmFreeDbLinkList(chain);
    EXPECT_EQ(DbmGetDbLinkList("s", "zz"), nullptr);
    DbmFreeDbLinkList(nullptr);
}

TEST_F(RecordFile, DbListNamesTheStoresInDirectoryOrder) {
    MakeDbDir();
    for (const char *name : {"q.udb", "r.udb", "s.udb.bak", "t.dat", "u.x.udb"})
        WriteFile(DbDir() + "/" + name, "");
    std::vector<std::string> expected;
    DIR *dir = opendir(DbDir().c_str());
    for (dirent *e = readdir(dir); e != nullptr; e = readdir(dir))
        if (std::string(e->d_name) == "q.udb" || std::string(e->d_name) == "r.udb")
            expected.push_back(std::string(e->d_name).substr(0, 1));
    closedir(dir);
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(Take(DbmGetDbList(0)), expected[0] + "," + expected[1]);
    EXPECT_EQ(Take(DbmGetDbList(1)), " " + expected[0] + " " + expected[1]);
    RemoveTree(DbDir());
    EXPECT_EQ(DbmGetDbList(0), nullptr);
}

TEST_F(RecordFile, DbListLeavesTheSharedTokenizerAlone) {
    MakeDbDir();
    WriteFile(StorePath("q"), "");
    char text[] = "one two";
    ASSERT_STREQ(GetToken(text, " "), "one");
    Take(DbmGetDbList(0));
    EXPECT_STREQ(GetTokenBuf, "one");
    EXPECT_STREQ(GetToken(nullptr, " "), "two");
}

TEST_F(RecordFile, DumpListsLengthsAndPrintableBytes) {
    Put("k", std::string("a\x01\n", 3));
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(DbDir().c_str()), 0);
    rename("s.udb", "s.db");
    ChildResult dump = RunInChild([] { DumpDbm("s"); });
    ChildResult missing = RunInChild([] { DumpDbm("nothing"); });
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(dump.out, "7 2 ==>{k.a..}\n");
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("nothing.db"), std::string::npos);
}

TEST_F(RecordFile, ReplacementFileIsNeverWrittenThroughALink) {
    Put("k", "v");
    std::string victim = Dir() + "/victim";
    WriteFile(victim, "precious");
    ASSERT_EQ(symlink(victim.c_str(), (DbDir() + "/s.udb_new").c_str()), 0);
    ChildResult child = RunInChild([this] {
        int put = Put("k", "w");
        fflush(nullptr);
        _exit(put);
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_NE(child.err.find("s.udb_new"), std::string::npos) << child.err;
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_EQ(Get("k"), "v");
}

TEST_F(RecordFile, StoreThatExistsButCannotBeOpenedIsNeverStartedAfresh) {
    Put("keep", "me");
    chmod(StorePath("s").c_str(), 0);
    int status =
        RunAsNobody([this] { return Put("new", "x") * 10 + DbmDeleteRecord("s", "keep"); });
    EXPECT_EQ(status, 0);
    chmod(StorePath("s").c_str(), 0666);
    EXPECT_EQ(List(), "<keep>");
}

TEST_F(RecordFile, UnwritableStoreDirectoryGivesZeroInsteadOfEndingTheProgram) {
    Put("keep", "me");
    chmod(DbDir().c_str(), 0555);
    int status = RunAsNobody([this] { return Put("new", "x") + 10; });
    EXPECT_EQ(status, 10);
    chmod(DbDir().c_str(), 0777);
    EXPECT_EQ(List(), "<keep>");
}

// A writer that finds the replacement file locked waits for the lock, and
// then writes a replacement of its own: the bytes of two writers never mix.
TEST_F(RecordFile, WritersTakeTurnsOnTheReplacementFile) {
    Put("a", "1");
    std::string replacement = DbDir() + "/s.udb_new";
    int fd = open(replacement.c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) _exit(Put("b", "2"));
    usleep(200 * 1000);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the writer did not wait for the lock";
    // The holder writes garbage and renames its file away, as a writer that
    // finished first would.
    ASSERT_EQ(write(fd, "garbage", 7), 7);
    ASSERT_EQ(rename(replacement.c_str(), (Dir() + "/elsewhere").c_str()), 0);
    flock(fd, LOCK_UN);
    close(fd);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(List(), "<a<b>");
    EXPECT_EQ(ReadFile(Dir() + "/elsewhere"), "garbage");
}

} // namespace
