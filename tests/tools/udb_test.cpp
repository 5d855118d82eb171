// The udb tool through its command line: every command, the text format of
// import and export, the exit statuses and messages, and stores that pass
// between the tool and the library both ways.
#include "Dbm.h"

#include "DbmTest.h"
#include "MemMgr.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace corla_test;
using namespace std::string_literals;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class Udb : public DbmTest {
  protected:
    void SetUp() override {
        DbmTest::SetUp();
        const char *bin = getenv("CORLA_BUILD_BIN");
        ASSERT_NE(bin, nullptr) << "CORLA_BUILD_BIN names the directory of the built programs";
        program_ = std::string(bin) + "/udb";
        ASSERT_TRUE(Exists(program_)) << program_;
        store_ = Dir() + "/s.udb";
    }

    // Outcome udb with args (and input on its standard input) in Dir().
    Outcome Call(std::vector<std::string> args, const std::string &input = "") {
        WriteFile(Dir() + "/.in", input);
        fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(Dir().c_str()) != 0) _exit(120);
            int in = open(".in", O_RDONLY);
            int out = open(".out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open(".err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || err < 0) _exit(121);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char *> argv{program_.data()};
            for (std::string &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program_.c_str(), argv.data());
            _exit(122);
        }
        Outcome run;
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
        run.out = ReadFile(Dir() + "/.out");
        run.err = ReadFile(Dir() + "/.err");
        return run;
    }
    Outcome Do(const std::string &command, std::vector<std::string> rest = {},
               const std::string &input = "") {
        rest.insert(rest.begin(), store_);
        rest.insert(rest.begin(), command);
        return Call(rest, input);
    }
    // The command must succeed; its standard output.
    std::string Ok(const std::string &command, std::vector<std::string> rest = {},
                   const std::string &input = "") {
        Outcome run = Do(command, rest, input);
        EXPECT_EQ(run.status, 0) << command << ": " << run.err;
        return run.out;
    }

    std::string program_;
    std::string store_;
};

TEST_F(Udb, PutGetListDelete) {
    Ok("put", {"greeting", "--text", "hello"});
    Ok("put", {"binary"}, "a\0b\xff"s);
    WriteFile(Dir() + "/data", "from a file");
    Ok("put", {"file", Dir() + "/data"});
    EXPECT_EQ(Ok("get", {"greeting"}), "hello\0"s); // the text with its NUL, raw
    EXPECT_EQ(Ok("get", {"binary"}), "a\0b\xff"s);
    EXPECT_EQ(Ok("get", {"file"}), "from a file");
    EXPECT_EQ(Ok("list"), "greeting\nbinary\nfile\n");
    Ok("put", {"greeting", "--text", "again"});
    EXPECT_EQ(Ok("list"), "binary\nfile\ngreeting\n");
    Ok("del", {"binary"});
    EXPECT_EQ(Ok("list"), "file\ngreeting\n");
}

TEST_F(Udb, DeletePrefix) {
    for (const char *key : {"a", "ab", "abc", "xab"})
        Ok("put", {key, "--text", "v"});
    Ok("delprefix", {"ab"});
    EXPECT_EQ(Ok("list"), "a\nxab\n");
    Outcome none = Do("delprefix", {"zz"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("zz"), std::string::npos);
}

TEST_F(Udb, DumpShowsKeySizeAndPrintableData) {
    Ok("put", {"k1", "--text", "plain text"});
    Ok("put", {"k2"}, "a\tb\x01\n"s);
    EXPECT_EQ(Ok("dump"), "k1\t11\tplain text.\nk2\t5\ta.b..\n");
}

TEST_F(Udb, InfoTellsFormatCountAndSize) {
    Ok("put", {"abc", "--text", "1234"});
    EXPECT_EQ(Ok("info"),
              "store:   " + store_ +
                  "\nformat:  typed (TUDBAA, big-endian)\nrecords: 1\nsize:    29 bytes\n");
    WriteFile(store_, LegacyRecord("k", "v"));
    EXPECT_NE(Ok("info").find("format:  legacy"), std::string::npos);
    WriteFile(store_, "");
    EXPECT_NE(Ok("info").find("format:  new (empty)\nrecords: 0\nsize:    0 bytes"),
              std::string::npos);
}

TEST_F(Udb, ExportImportRoundTrip) {
    Ok("put", {"plain", "--text", "a text"});
    Ok("put", {"odd\tkey\\", "--text", "tab\there\nnew line \\ and # sign"});
    Ok("put", {"#hash", "--text", ""});
    Ok("put", {"raw"}, "no terminator\0inside"s);
    Ok("put", {"latin", "--text", "\xe9t\xe9"});
    std::string exported = Ok("export");
    EXPECT_EQ(exported, "plain\ta text\n"
                        "odd\\tkey\\\\\ttab\\there\\nnew line \\\\ and # sign\n"
                        "\\#hash\t\n"
                        "raw\tno terminator\\0inside\\c\n"
                        "latin\t\xe9t\xe9\n");
    std::string copy = Dir() + "/copy.udb";
    Outcome imported = Call({"import", copy, "-"}, exported);
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(Call({"export", copy}).out, exported);
    // Record by record the same bytes (the headers' filler differs).
    EXPECT_EQ(ReadFile(copy).substr(16), ReadFile(store_).substr(16));
}

TEST_F(Udb, ImportSkipsCommentsAndEmptyLinesAndCarriageReturns) {
    WriteFile(Dir() + "/texts", "# a comment\n\n25_1\tone\r\n25_2\ttwo\\n\n");
    Ok("import", {Dir() + "/texts"});
    EXPECT_EQ(Ok("get", {"25_1"}), "one\0"s);
    EXPECT_EQ(Ok("get", {"25_2"}), "two\n\0"s);
    EXPECT_EQ(Ok("list"), "25_1\n25_2\n");
}

TEST_F(Udb, ImportAddsToAStoreAndReplacesEqualKeys) {
    Ok("put", {"keep", "--text", "1"});
    Ok("put", {"change", "--text", "old"});
    Ok("import", {"-"}, "change\tnew\nadded\tx\n");
    EXPECT_EQ(Ok("list"), "keep\nchange\nadded\n");
    EXPECT_EQ(Ok("get", {"change"}), "new\0"s);
}

TEST_F(Udb, BadImportLinesStoreNothing) {
    Ok("put", {"keep", "--text", "1"});
    std::string before = ReadFile(store_);
    struct Case {
        const char *input;
        const char *message;
    } cases[] = {
        {"good\tx\nno tab here\n", "line 2: no tab"},
        {"k\tbad \\q escape\n", "line 1: bad escape \\q"},
        {"k\tlone backslash\\\n", "line 1: bad escape"},
        {"k\t\\c in the middle\n", "line 1: bad escape \\c"},
        {"\tempty key\n", "line 1: empty, too long or holding a NUL"},
        {"a\\0b\tNUL in the key\n", "line 1: empty, too long or holding a NUL"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        Outcome run = Do("import", {"-"}, c.input);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("nothing stored"), std::string::npos);
        EXPECT_EQ(ReadFile(store_), before);
    }
}

TEST_F(Udb, MissingKeyIsStatusOne) {
    Ok("put", {"k", "--text", "v"});
    Outcome get = Do("get", {"other"});
    EXPECT_EQ(get.status, 1);
    EXPECT_EQ(get.out, "");
    EXPECT_EQ(get.err, "udb: " + store_ + ": no key other\n");
    EXPECT_EQ(Do("del", {"other"}).status, 1);
}

TEST_F(Udb, UsageErrorsAreStatusTwo) {
    Outcome help = Call({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: udb COMMAND STORE", 0), 0u);
    EXPECT_NE(help.out.find("udb export STORE"), std::string::npos);
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{},
                                               {"list"},
                                               {"frobnicate", "x"},
                                               {"get", "x"},
                                               {"list", "x", "extra"},
                                               {"put", "x", "k", "--text"},
                                               {"list", ""}}) {
        Outcome run = Call(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(run.err.find("Try 'udb --help'"), std::string::npos) << run.err;
    }
    EXPECT_NE(Call({"frobnicate", "x"}).err.find("unknown command 'frobnicate'"),
              std::string::npos);
}

TEST_F(Udb, BadStoresAreStatusTwoWithTheFileNamed) {
    Outcome missing = Do("list");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "udb: " + store_ + ": No such file or directory\n");
    EXPECT_EQ(Do("del", {"k"}).status, 2);
    EXPECT_FALSE(Exists(store_));
    mkdir(store_.c_str(), 0755);
    Outcome directory = Do("get", {"k"});
    EXPECT_EQ(directory.status, 2);
    EXPECT_EQ(directory.err, "udb: " + store_ + ": is a directory\n");
    EXPECT_EQ(Do("put", {"k", "--text", "v"}).status, 2);
}

TEST_F(Udb, DamagedStoreIsReportedAndNeverChanged) {
    std::string damaged = TypedHeader(2) + TypedRecord("a", "1") + Word16(900, true) + "xx";
    WriteFile(store_, damaged);
    Outcome list = Do("list");
    EXPECT_EQ(list.status, 2);
    EXPECT_EQ(list.out, "a\n");
    EXPECT_NE(list.err.find(store_ + ": damaged: the record at offset 23"), std::string::npos)
        << list.err;
    EXPECT_EQ(Do("get", {"a"}).out, "1");
    EXPECT_EQ(Do("get", {"a"}).status, 2);
    Outcome put = Do("put", {"b", "--text", "2"});
    EXPECT_EQ(put.status, 2);
    EXPECT_NE(put.err.find("nothing changed"), std::string::npos);
    EXPECT_EQ(Do("info").status, 2);
    EXPECT_EQ(ReadFile(store_), damaged);
}

TEST_F(Udb, DataBeyondTheRecordLimitIsRefused) {
    EXPECT_EQ(Do("put", {"k"}, std::string(65531, 'd')).status, 0); // L = 65535
    Outcome over = Do("put", {"k"}, std::string(65532, 'd'));
    EXPECT_EQ(over.status, 2);
    EXPECT_NE(over.err.find("too large"), std::string::npos);
    EXPECT_EQ(Ok("get", {"k"}).size(), 65531u);
    Outcome empty = Do("put", {"e"}, "");
    EXPECT_EQ(empty.status, 2);
    EXPECT_NE(empty.err.find("empty"), std::string::npos);
    Outcome longKey = Do("put", {std::string(4096, 'k'), "--text", "v"});
    EXPECT_EQ(longKey.status, 2);
    EXPECT_EQ(Do("put", {std::string(4095, 'k'), "--text", "v"}).status, 0);
}

TEST_F(Udb, LegacyStoreStaysLegacy) {
    WriteFile(store_, LegacyRecord("old", "1"));
    Ok("put", {"new", "--text", "2"});
    EXPECT_EQ(ReadFile(store_), LegacyRecord("old", "1") + LegacyRecord("new", "2\0"s));
}

TEST_F(Udb, RelativeAndUndottedPathsAreUsedAsGiven) {
    Outcome run = Call({"put", "plain", "k", "--text", "v"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Exists(Dir() + "/plain"));
    EXPECT_FALSE(Exists(Dir() + "/plain.udb"));
    EXPECT_EQ(Call({"get", Dir() + "/plain", "k"}).out, "v\0"s);
    if (Dir().find('.') != std::string::npos) GTEST_SKIP() << "the test directory has a dot";
    Outcome absolute = Call({"put", Dir() + "/undotted", "k", "--text", "v"});
    EXPECT_EQ(absolute.status, 0) << absolute.err;
    EXPECT_TRUE(Exists(Dir() + "/undotted"));
    EXPECT_FALSE(Exists(Dir() + "/undotted.udb"));
}

TEST_F(Udb, StoresPassBetweenToolAndLibrary) {
    Ok("put", {"from tool", "--text", "t"});
    DbT *db = DbTOpen(store_.c_str(), 0);
    EXPECT_EQ(Get(db, "from tool"), "t\0"s);
    ASSERT_EQ(DbmTPutRecord(db, "from library", "l", 1), 1);
    DbTClose(db);
    EXPECT_EQ(Ok("get", {"from library"}), "l");
    EXPECT_EQ(Ok("list"), "from tool\nfrom library\n");
}

} // namespace
