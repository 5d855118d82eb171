#include "utils.h"

#include "MemMgr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Caps the address space at its current size plus a little, so that the
// next large mapping fails.
void CapAddressSpace() {
    long pages = 0;
    if (FILE *f = fopen("/proc/self/statm", "r")) {
        if (fscanf(f, "%ld", &pages) != 1) pages = 0;
        fclose(f);
    }
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (64 << 10);
    setrlimit(RLIMIT_AS, &limit);
}

// --- SaveStr family -------------------------------------------------------

TEST(SaveStr, FormatsIntoAnExactlySizedBlock) {
    char *text = SaveStr("%s/%s", "a", "b");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "a/b");
    MemBlock *b = FindBlock(text);
    ASSERT_NE(b, nullptr);
    // 3 characters + terminator: one unit.
    EXPECT_EQ(b->Nodes[(text - b->pMemory) / MemUnitSize].nCount, 1);
    PutMem(text);
}

TEST(SaveStr, LongArgumentsComeOutWhole) {
    for (size_t len : {8191u, 8192u, 8193u, 65535u, 65536u, 300000u}) {
        std::string arg(len, 'q');
        char *text = SaveStr("<%s>", arg.c_str());
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(strlen(text), len + 2) << len;
        EXPECT_EQ(text[0], '<');
        EXPECT_EQ(text[len + 1], '>');
        PutMem(text);
    }
}

TEST(SaveStr, EmptyResultIsAnEmptyTextNotAFailure) {
    char *text = SaveStr("%s", "");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    PutMem(text);
}

TEST(SaveStr, DoubleUnderscoreFormsLikeSaveStrAndRefusesAnAbsentFormat) {
    EXPECT_EQ(SaveStr__(nullptr), nullptr);
    std::string arg(70000, 'z');
    char *text = SaveStr__("%d:%s", 7, arg.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(strlen(text), 70002u);
    PutMem(text);
}

TEST(SaveStr, PlainCopyNeverReadsItsTextAsAFormat) {
    char *text = SaveStr_("100% sure: %s %n %d");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "100% sure: %s %n %d");
    PutMem(text);
    EXPECT_EQ(SaveStr_(nullptr), nullptr);
    char *empty = SaveStr_("");
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    PutMem(empty);
}

TEST(SaveStrDeathTest, AllocationFailureEndsTheProgram) {
    // With the address space capped just above what the process uses, a
    // text that needs a new dedicated block cannot be had.
    EXPECT_EXIT(
        {
            my_name = "savestrtest";
            CapAddressSpace();
            SaveStr("%*s", 200000, "");
        },
        testing::ExitedWithCode(1), "savestrtest: Unable to allocate memory : ");
}

// --- Searches -------------------------------------------------------------

TEST(Search, StrStrRefusesAbsentAndEmptyInputs) {
    EXPECT_EQ(StrStr(nullptr, "a"), nullptr);
    EXPECT_EQ(StrStr("", "a"), nullptr);
    EXPECT_EQ(StrStr("abc", nullptr), nullptr);
    EXPECT_EQ(StrStr("abc", ""), nullptr);
    const char *text = "abcbc";
    EXPECT_EQ(StrStr(text, "bc"), text + 1);
    EXPECT_EQ(StrStr(text, "cd"), nullptr);
}

TEST(Search, StrCaseStrIgnoresCaseAndLeavesInputsAlone) {
    char text[] = "Print Queue";
    char pattern[] = "qUeUe";
    EXPECT_EQ(StrCaseStr(text, pattern), text + 6);
    EXPECT_STREQ(text, "Print Queue");
    EXPECT_STREQ(pattern, "qUeUe");
    EXPECT_EQ(StrCaseStr(text, "queues"), nullptr);
    EXPECT_EQ(StrCaseStr(text, ""), nullptr);
    EXPECT_EQ(StrCaseStr("", "a"), nullptr);
    const char *partial = "aaB";
    EXPECT_EQ(StrCaseStr(partial, "AB"), partial + 1); // a partial match is retried
}

TEST(Search, StrChrSkipsEscapedCharacters) {
    const char *text = R"(a\,b,c)";
    EXPECT_EQ(StrChr(text, ','), text + 4);
    EXPECT_EQ(StrChr(text, 'x'), nullptr);
    EXPECT_EQ(StrChr("", ','), nullptr);
    EXPECT_EQ(StrChr("ab\\", 'z'), nullptr); // a final backslash ends the scan
    const char *backslash = R"(a\b)";
    EXPECT_EQ(StrChr(backslash, '\\'), backslash + 1);
}

TEST(Search, StrNChrCountsOccurrences) {
    const char *text = "a:b:c";
    EXPECT_EQ(StrNChr(text, ':', 1), text + 1);
    EXPECT_EQ(StrNChr(text, ':', 2), text + 3);
    EXPECT_EQ(StrNChr(text, ':', 3), nullptr);
    EXPECT_EQ(StrNChr(text, ':', 0), nullptr);
    EXPECT_EQ(StrNChr(nullptr, ':', 1), nullptr);
}

TEST(Search, StrNStrOverlapsAndStopsAtTheLastCharacter) {
    const char *text = "aaaa";
    EXPECT_EQ(StrNStr(text, "aa", 1), text);
    EXPECT_EQ(StrNStr(text, "aa", 2), text + 1);
    EXPECT_EQ(StrNStr(text, "aa", 3), text + 2);
    EXPECT_EQ(StrNStr(text, "aa", 4), nullptr);
    const char *tail = "xa";
    EXPECT_EQ(StrNStr(tail, "a", 2), nullptr); // the hit is the last character
}

TEST(Search, StrLenAndSkipSpace) {
    EXPECT_EQ(StrLen("abc"), 3);
    EXPECT_EQ(StrLen(""), 0);
    EXPECT_EQ(StrLen(nullptr), 0);
    const char *text = " \t\n\v\f\rword ";
    EXPECT_EQ(SkipSpace(text), text + 6);
    EXPECT_STREQ(SkipSpace("   "), "");
}

// --- Path functions -----------------------------------------------------

struct PathCase {
    const char *path;
    const char *fn, *name, *nameExt, *ext;
};

class PathFunctions : public testing::TestWithParam<PathCase> {};

TEST_P(PathFunctions, SplitAsDocumented) {
    const PathCase &c = GetParam();
    EXPECT_STREQ(StripFn(c.path), c.fn);
    EXPECT_STREQ(StripPath(c.path), c.name);
    EXPECT_STREQ(StripPathExt(c.path), c.nameExt);
    EXPECT_STREQ(StripExt(c.path), c.ext);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathFunctions,
    testing::Values(PathCase{"/opt/a/b.tar.Z", "/opt/a", "b.tar.Z", "b", "/opt/a/b"},
                    PathCase{"/x", "/", "x", "x", "/x"}, PathCase{"x", ".", "x", "x", "x"},
                    PathCase{"", ".", "", "", ""},
                    PathCase{"/usr/bin/", "/usr/bin", "bin", "bin", "/usr/bin/"},
                    PathCase{"a/b/", "a/b", "b", "b", "a/b/"},
                    PathCase{"./setup", ".", "setup", "setup", "./setup"},
                    PathCase{".profile", ".", ".profile", "", ".profile"},
                    PathCase{"/", "/", "", "", "/"}));

TEST(PathFunctionsAbsent, AbsentPathsGiveTheDocumentedDefaults) {
    EXPECT_STREQ(StripFn(nullptr), ".");
    EXPECT_STREQ(StripPath(nullptr), "");
    EXPECT_STREQ(StripPathExt(nullptr), "");
    EXPECT_STREQ(StripExt(nullptr), "");
}

TEST(PathFunctionsBuffers, EachFunctionKeepsItsOwnResult) {
    char *fn = StripFn("/a/b");
    char *name = StripPath("/c/d");
    EXPECT_STREQ(fn, "/a");
    EXPECT_STREQ(name, "d");
    StripFn("/e/f");
    EXPECT_STREQ(name, "d");
    EXPECT_STREQ(fn, "/e");
}

TEST(PathFunctionsBuffers, LongPathsAreCutAtTheBuffer) {
    std::string atLimit = "/" + std::string(PathBufSize - 2, 'p'); // 4095 characters
    EXPECT_EQ(strlen(StripExt(atLimit.c_str())), PathBufSize - 1);
    std::string over = atLimit + "qq/tail";
    EXPECT_EQ(strlen(StripFn(over.c_str())), PathBufSize - 1);
    EXPECT_STREQ(StripPath(over.c_str()), "tail");
}

TEST(PathFunctionsName, DotsYieldTheEmptyText) {
    EXPECT_STREQ(StripPathName("."), "");
    EXPECT_STREQ(StripPathName(".."), "");
    EXPECT_STREQ(StripPathName("/opt/a/b.tar.Z"), "b");
}

// --- Gets ---------------------------------------------------------------

// Feeds standard input from a pipe for the duration of a test.
class GetsTest : public testing::Test {
  protected:
    void Feed(const std::string &input) {
        FILE *f = tmpfile();
        ASSERT_NE(f, nullptr);
        fwrite(input.data(), 1, input.size(), f);
        rewind(f);
        savedStdin_ = dup(STDIN_FILENO);
        dup2(fileno(f), STDIN_FILENO);
        fclose(f);
        clearerr(stdin);
    }
    void TearDown() override {
        if (savedStdin_ >= 0) {
            dup2(savedStdin_, STDIN_FILENO);
            close(savedStdin_);
        }
        clearerr(stdin);
    }
    int savedStdin_ = -1;
};

TEST_F(GetsTest, ReadsLinesAndLeavesTheRestOfALongLine) {
    Feed("one\nabcdefgh\n\nlast");
    char buf[6];
    ASSERT_EQ(Gets(buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "one");
    ASSERT_EQ(Gets(buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "abcde"); // size - 1 characters
    ASSERT_EQ(Gets(buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "fgh");
    ASSERT_EQ(Gets(buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "");
    ASSERT_EQ(Gets(buf, sizeof buf), buf); // a last line without line feed
    EXPECT_STREQ(buf, "last");
    EXPECT_EQ(Gets(buf, sizeof buf), nullptr);
}

TEST_F(GetsTest, ALineThatFillsTheBufferLeavesItsLineFeedForTheNextCall) {
    Feed("12345\nnext\n");
    char buf[6];
    ASSERT_EQ(Gets(buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "12345");
    ASSERT_EQ(Gets(buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "");
    ASSERT_EQ(Gets(buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "next");
}

TEST_F(GetsTest, ByteFFCountsAsEndOfInput) {
    Feed("ab\xFF"
         "cd\n");
    char buf[16];
    ASSERT_EQ(Gets(buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "ab");
}

// --- Small conversions ----------------------------------------------------

TEST(Conversions, SetVarContentCopiesForwardOrReversed) {
    const unsigned char source[4] = {1, 2, 3, 4};
    unsigned char out[4] = {};
    SetVarContent(out, source, 4, 0);
    EXPECT_EQ(memcmp(out, source, 4), 0);
    SetVarContent(out, source, 4, 1);
    const unsigned char reversed[4] = {4, 3, 2, 1};
    EXPECT_EQ(memcmp(out, reversed, 4), 0);
}

TEST(Conversions, MaxDPrefersTheSecondWhenEqual) {
    EXPECT_EQ(MaxD(1.5, 2.5), 2.5);
    EXPECT_EQ(MaxD(3.5, 2.5), 3.5);
    double zero = 0.0, negativeZero = -0.0;
    EXPECT_TRUE(std::signbit(MaxD(zero, negativeZero)));
}

struct UnitCase {
    float value;
    int from, to;
    float expected;
};

class CvtFloat : public testing::TestWithParam<UnitCase> {};

TEST_P(CvtFloat, ConvertsBetweenUnits) {
    const UnitCase &c = GetParam();
    EXPECT_FLOAT_EQ(CvtFloatFormat(c.value, c.from, c.to), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Units, CvtFloat,
                         testing::Values(UnitCase{2.54f, UnitCentimetre, UnitInch, 1.0f},
                                         UnitCase{72.0f, UnitPoint, UnitInch, 1.0f},
                                         UnitCase{1.0f, UnitInch, UnitCentimetre, 2.54f},
                                         UnitCase{72.0f, UnitPoint, UnitCentimetre, 2.54f},
                                         UnitCase{1.0f, UnitInch, UnitPoint, 72.0f},
                                         UnitCase{2.54f, UnitCentimetre, UnitPoint, 72.0f},
                                         UnitCase{5.0f, UnitInch, UnitInch, 5.0f},
                                         UnitCase{5.0f, 7, UnitInch, 5.0f}));

TEST(Conversions, StripAllBackslashesRemovesEveryBackslash) {
    char text[] = R"(a\\b\c\)";
    EXPECT_STREQ(StripAllBackslashes(text), "abc");
}

TEST(Conversions, StripNonPrintKeepsLettersDigitsPunctuationAndBlanks) {
    char text[] = "a b\t1\n!\r\x01z";
    EXPECT_STREQ(StripNonPrint(text, 1), "a b1!z");
}

} // namespace
