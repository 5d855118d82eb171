// Words of the list and command files, answer lines from the operator, and
// the installer's direct shell commands.
#include "SetupIo.h"
#include "Words.h"

#include "SetupStepTest.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using corla_test::ChildResult;
using corla_test::FakeOs;
using corla_test::RunInChild;

std::vector<std::string> Words(const char *text, const char *delimiters = " \t\r\n") {
    std::vector<std::string> words;
    const char *cursor = text;
    char word[64];
    bool cut = false;
    while (NextWord(&cursor, delimiters, word, sizeof word, &cut) != nullptr)
        words.emplace_back(word);
    return words;
}

TEST(NextWord, SplitsAtAnyDelimiterAndSkipsLeadingOnes) {
    EXPECT_EQ(Words("  disks\tpkg_tar.aa \r\n pkg_tar.ab\n"),
              (std::vector<std::string>{"disks", "pkg_tar.aa", "pkg_tar.ab"}));
    EXPECT_TRUE(Words("").empty());
    EXPECT_TRUE(Words(" \t\n").empty());
}

TEST(NextWord, BackslashMakesTheNextCharacterPartOfTheWord) {
    EXPECT_EQ(Words("a\\ b c"), (std::vector<std::string>{"a b", "c"}));
    EXPECT_EQ(Words("x\\ty\\nz\\rw"), (std::vector<std::string>{"x\ty\nz\rw"}));
    EXPECT_EQ(Words("s/a\\/b/ end\\"), (std::vector<std::string>{"s/a/b/", "end\\"}));
}

TEST(NextWord, RestOfLineKeepsItsBlanks) {
    const char *line = "c cfg sed -e s/a/b/ -e s/c/d/\n";
    const char *cursor = line;
    char word[64];
    bool cut = false;
    NextWord(&cursor, " \n\r", word, sizeof word, &cut);
    NextWord(&cursor, " \n\r", word, sizeof word, &cut);
    NextWord(&cursor, " \n\r", word, sizeof word, &cut);
    EXPECT_STREQ(word, "sed");
    ASSERT_NE(NextWord(&cursor, "\n\r", word, sizeof word, &cut), nullptr);
    EXPECT_STREQ(word, "-e s/a/b/ -e s/c/d/");
    EXPECT_EQ(NextWord(&cursor, "\n\r", word, sizeof word, &cut), nullptr);
}

TEST(NextWord, AWordThatDoesNotFitIsCutAndSaysSo) {
    const char *cursor = "abcdefgh next";
    char word[5];
    bool cut = false;
    ASSERT_NE(NextWord(&cursor, " ", word, sizeof word, &cut), nullptr);
    EXPECT_STREQ(word, "abcd");
    EXPECT_TRUE(cut);
    ASSERT_NE(NextWord(&cursor, " ", word, sizeof word, &cut), nullptr);
    EXPECT_STREQ(word, "next"); // the cursor went past the whole long word
    EXPECT_FALSE(cut);
}

TEST(FindWord, WholeEntriesOnly) {
    EXPECT_EQ(FindWord("y", ",y,yes,n,no,"), 1);
    EXPECT_EQ(FindWord("no", ",y,yes,n,no,"), 4);
    EXPECT_EQ(FindWord("ye", ",y,yes,n,no,"), 0);
    EXPECT_EQ(FindWord("", ",y,yes,n,no,"), 0);
    // A word holding the separator would match two entries at once.
    EXPECT_EQ(FindWord("n,no", ",y,yes,n,no,"), 0);
    EXPECT_EQ(FindWord("t,c", ",dir,dirto,t,c,m,#,v,s,newdir,checkps"), 0);
    EXPECT_EQ(FindWord("checkps", ",dir,dirto,t,c,m,#,v,s,newdir,checkps"), 10);
    EXPECT_EQ(FindWord(nullptr, ",a,"), 0);
    EXPECT_EQ(FindWord("a", ""), 0);
}

class SetupIoTest : public corla_test::SetupStepTest {
  protected:
    // Lines read by ReadAnswerLine from input (buffer of size bytes), one
    // per line of the child's output, "EOF" when it reports the end.
    std::string Answers(const std::string &input, size_t size, int count) {
        corla_test::WriteFile(Dir() + "/in", input);
        std::string in = Dir() + "/in";
        ChildResult child = RunInChild([&] {
            if (freopen(in.c_str(), "r", stdin) == nullptr) exit(3);
            std::vector<char> buf(size);
            for (int i = 0; i < count; ++i) {
                if (ReadAnswerLine(buf.data(), size))
                    printf("[%s]\n", buf.data());
                else
                    printf("EOF\n");
            }
        });
        return child.out;
    }
};

TEST_F(SetupIoTest, AnswerLinesAreWholeLines) {
    EXPECT_EQ(Answers("y\n\nno\n", 16, 4), "[y]\n[]\n[no]\nEOF\n");
    EXPECT_EQ(Answers("last", 16, 2), "[last]\nEOF\n");
    EXPECT_EQ(Answers("", 16, 1), "EOF\n");
}

TEST_F(SetupIoTest, ALongAnswerLineIsCutAndItsRestDropped) {
    EXPECT_EQ(Answers("123456789\nn\n", 5, 2), "[1234]\n[n]\n");
    EXPECT_EQ(Answers("12\nn\n", 5, 2), "[12]\n[n]\n");
}

TEST_F(SetupIoTest, RunShellGoesThroughTheRunnersSystemCall) {
    UseFakeOs();
    FakeOs::systemStatus = 3 << 8;
    EXPECT_EQ(RunShell("installf -f %s", "QDRNvqmm"), 3);
    ASSERT_EQ(FakeOs::lines.size(), 1u);
    EXPECT_EQ(FakeOs::lines[0], "installf -f QDRNvqmm");
}

TEST_F(SetupIoTest, RunShellReportsTheCommandsOwnStatus) {
    EXPECT_EQ(RunShell("exit %d", 0), 0);
    EXPECT_EQ(RunShell("exit %d", 7), 7);
    EXPECT_EQ(RunShell("kill -%d $$", 9), 128 + 9);
}

} // namespace
