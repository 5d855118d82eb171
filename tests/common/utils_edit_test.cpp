// In-place text-file edits and the comment-filtering line reader.
#include "utils.h"

#include "SysCmd.h"
#include "SysLayerTest.h"

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace corla_test;

namespace {

// Edits run for real: the shell's rm and mv put the output in place.
class Edits : public SysLayerTest {
  protected:
    void SetUp() override {
        SysLayerTest::SetUp();
        ASSERT_EQ(chdir(Dir().c_str()), 0);
    }
    // Write cfg.txt, run the edit, read cfg.txt back.
    template <typename Edit>
    std::string After(const std::string &content, Edit edit) {
        WriteFile("cfg.txt", content);
        edit("cfg", "txt");
        EXPECT_FALSE(Exists("cfg.txtout"));
        return ReadFile("cfg.txt");
    }
};

TEST_F(Edits, ChangeReplacesTheFirstOccurrenceInEachLine) {
    EXPECT_EQ(
        After("a=a\nb\n=\n", [](const char *n, const char *e) { FileChange(n, e, "=", " := "); }),
        "a := a\nb\n := \n");
    EXPECT_EQ(After("abc\n", [](const char *n, const char *e) { FileChange(n, e, "b", nullptr); }),
              "ac\n");
    EXPECT_EQ(After("abc\n", [](const char *n, const char *e) { FileChange(n, e, "", "x"); }),
              "abc\n");
}

TEST_F(Edits, AChangeMayMakeALineLongerThanItWasRead) {
    std::string line = std::string(250, 'a') + "X" + std::string(250, 'b') + "\n";
    std::string with(300, 'r');
    EXPECT_EQ(
        After(line, [&](const char *n, const char *e) { FileChange(n, e, "X", with.c_str()); }),
        std::string(250, 'a') + with + std::string(250, 'b') + "\n");
}

TEST_F(Edits, ChangeCharTakesCodesAsCReadsThem) {
    for (const char *code : {"13", "015", "0xd"}) {
        EXPECT_EQ(After("a\rb\r\n",
                        [&](const char *n, const char *e) { FileChangeChar(n, e, code, "13,10"); }),
                  "a\r\nb\r\n\n")
            << code;
    }
    EXPECT_EQ(
        After("a\rb\n", [](const char *n, const char *e) { FileChangeChar(n, e, "13", nullptr); }),
        "ab\n");
    // The line's character is compared as a signed byte: 200 never matches.
    EXPECT_EQ(
        After("a\xc8z\n", [](const char *n, const char *e) { FileChangeChar(n, e, "200", "65"); }),
        "a\xc8z\n");
    EXPECT_EQ(After("a\n", [](const char *n, const char *e) { FileChangeChar(n, e, "x", "65"); }),
              "a\n");
}

TEST_F(Edits, DelSkipsTheFirstLinesHoldingTheText) {
    EXPECT_EQ(
        After("ax\nbx\nc\ndxx\n", [](const char *n, const char *e) { FileDel(n, e, 1, "x"); }),
        "ax\nb\nc\ndx\n");
}

TEST_F(Edits, DelFormatCommands) {
    const std::string in = "key=value=1\nplain\n";
    auto run = [&](const char *command, const char *target) {
        return After(in, [&](const char *n, const char *e) {
            EXPECT_EQ(FileDelFormat(n, e, command, target), 0);
        });
    };
    EXPECT_EQ(run("", "="), "keyvalue=1\nplain\n");
    EXPECT_EQ(run(nullptr, "="), "keyvalue=1\nplain\n");
    EXPECT_EQ(run("a", "="), "key=\nplain\n");
    EXPECT_EQ(run("b", "="), "=value=1\nplain\n");
    EXPECT_EQ(run("c", "61"), "keyvalue1\nplain\n");
    EXPECT_EQ(run("l", "="), "plain\n");
    EXPECT_EQ(run("lines", "="), "plain\n"); // only the first letter counts
}

TEST_F(Edits, AnUnknownDelFormatCommandChangesNothing) {
    WriteFile("cfg.txt", "a=b\n");
    EXPECT_EQ(FileDelFormat("cfg", "txt", "z", "="), 1);
    EXPECT_EQ(ReadFile("cfg.txt"), "a=b\n");
    EXPECT_FALSE(Exists("cfg.txtout"));
}

TEST_F(Edits, InsertNumbersFromTheThreshold) {
    EXPECT_EQ(After("a\nb\n", [](const char *n, const char *e) { FileInsert(n, e, "%#0 "); }),
              "00000 a\n00001 b\n");
    EXPECT_EQ(
        After("1\n2\n3\n4\n", [](const char *n, const char *e) { FileInsert(n, e, "%s5%#7-"); }),
        "1\n2\n00000-3\n00001-4\n");
    EXPECT_EQ(After("a\nb\n", [](const char *n, const char *e) { FileInsert(n, e, "# "); }),
              "# a\n# b\n");
    EXPECT_EQ(After("a\n", [](const char *n, const char *e) { FileInsert(n, e, "x%sy "); }),
              "xy a\n");
    // The text is never a format.
    EXPECT_EQ(After("a\n", [](const char *n, const char *e) { FileInsert(n, e, "%n%d%x "); }),
              "%n%d%x a\n");
}

TEST_F(Edits, SearchInsertCountsOnlyMatchingLines) {
    EXPECT_EQ(After("a\nb1\nc\nb2\n",
                    [](const char *n, const char *e) { FileSearchInsert(n, e, "%#0:", "b"); }),
              "a\n00000:b1\nc\n00001:b2\n");
}

TEST_F(Edits, DelLineKeepsTheFirstMatches) {
    EXPECT_EQ(
        After("x1\ny\nx2\nx3\n", [](const char *n, const char *e) { FileDelLine(n, e, 1, "x"); }),
        "x1\ny\n");
}

TEST_F(Edits, DelLinePairRemovesTheMarkersOnly) {
    auto pair = [](int keep) {
        return
            [keep](const char *n, const char *e) { FileDelLinePair(n, e, keep, "BEGIN", "END"); };
    };
    EXPECT_EQ(After("BEGIN\na\nEND\nb\n", pair(0)), "a\nb\n");
    EXPECT_EQ(After("BEGIN\na\nEND\nBEGIN\nb\nEND\n", pair(1)), "BEGIN\na\nEND\nb\n");
    EXPECT_EQ(After("END\nBEGIN\nBEGIN\nx\nEND\nEND\nEND\n", pair(0)), "END\nx\nEND\n");
}

TEST_F(Edits, AnEditedScriptKeepsItsMode) {
    WriteFile("run.sh", "#!/bin/sh\necho old\n", 0751);
    FileChange("run", "sh", "old", "new");
    EXPECT_EQ(ReadFile("run.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(ModeOf("run.sh"), 0751u);
}

TEST_F(Edits, TheOutputIsNeverWrittenThroughALink) {
    WriteFile("victim", "keep\n", 0600);
    ASSERT_EQ(symlink("victim", "cfg.txtout"), 0);
    EXPECT_EQ(After("a\n", [](const char *n, const char *e) { FileChange(n, e, "a", "b"); }),
              "b\n");
    EXPECT_EQ(ReadFile("victim"), "keep\n");
}

TEST_F(Edits, NamesThatDoNotFitEndTheRunBeforeAnythingIsTouched) {
    // Without extension the output is Fn + ".out": Fn may have 123 characters.
    std::string fits(EditNameSize - 5, 'n');
    WriteFile(fits, "a\n");
    FileChange(fits.c_str(), "", "a", "b");
    EXPECT_EQ(ReadFile(fits), "b\n");

    std::string longer(EditNameSize - 4, 'n');
    WriteFile(longer, "a\n");
    EXPECT_EXIT(FileChange(longer.c_str(), "", "a", "b"), testing::ExitedWithCode(1),
                "can't open file");
    EXPECT_EQ(ReadFile(longer), "a\n");
}

TEST_F(Edits, AMissingInputEndsTheRun) {
    EXPECT_EXIT(FileChange("missing", "txt", "a", "b"), testing::ExitedWithCode(1),
                "can't open file, missing.txt");
}

// The file names of an edit and the commands that replace the input.
class EditCommands : public Edits {
  protected:
    void SetUp() override {
        Edits::SetUp();
        UseFakeOs();
    }
};

TEST_F(EditCommands, OutputNamesAndReplacementCommands) {
    WriteFile("cfg.txt", "a\n");
    FileChange("cfg", "txt", "a", "b");
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{"rm -f cfg.txt", "mv cfg.txtout cfg.txt"}));
    EXPECT_EQ(ReadFile("cfg.txtout"), "b\n");

    FakeOs::lines.clear();
    WriteFile("cfg", "a\n");
    FileChange("cfg", "", "a", "b");
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{"rm -f cfg", "mv cfg.out cfg"}));

    FakeOs::lines.clear();
    WriteFile("my cfg", "a\n");
    FileChange("my cfg", nullptr, "a", "b");
    EXPECT_EQ(FakeOs::lines,
              (std::vector<std::string>{"rm -f 'my cfg'", "mv 'my cfg.out' 'my cfg'"}));
}

TEST_F(EditCommands, OpenIOFilesAndReplaceInputFile) {
    WriteFile("cfg.txt", "line\n");
    EXPECT_EQ(OpenIOFiles("cfg", "txt", 0), 1);
    EXPECT_STREQ(Fn, "cfg.txt");
    EXPECT_STREQ(FnOut, "cfg.txtout");
    ASSERT_NE(pIn, nullptr);
    ASSERT_NE(pOut, nullptr);
    fputs("out\n", pOut);
    ReplaceInputFile();
    EXPECT_EQ(pIn, nullptr);
    EXPECT_EQ(pOut, nullptr);
    EXPECT_EQ(ReadFile("cfg.txtout"), "out\n");
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{"rm -f cfg.txt", "mv cfg.txtout cfg.txt"}));

    WriteFile("cfg", "line\n");
    OpenIOFiles("cfg", "", 0);
    EXPECT_STREQ(FnOut, "cfgout");
    ReplaceInputFile();
}

// A replacement whose mv fails is no success: the program ends and says
// where the edited text is.
TEST_F(EditCommands, AFailedMoveEndsTheRunNamingTheEditedText) {
    WriteFile("cfg.txt", "a\n");
    FakeOs::systemStatus = 1 << 8;
    EXPECT_EXIT(FileChange("cfg", "txt", "a", "b"), testing::ExitedWithCode(1),
                ": can't replace cfg.txt : the edited text is in cfg.txtout\n");
}

class LineReader : public SysLayerTest {
  protected:
    void Open(const std::string &content) {
        path_ = Dir() + "/in";
        WriteFile(path_, content);
        if (pIn != nullptr) fclose(pIn);
        pIn = fopen(path_.c_str(), "r");
        ASSERT_NE(pIn, nullptr);
    }
    std::string path_;
};

TEST_F(LineReader, CommentsAndLeadingWhiteSpaceAreRemoved) {
    Open("   x = 1// note\n\ty = 2 /* inline */ + 3\r\n\n// only a comment\nlast");
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "x = 1");
    EXPECT_EQ(pLine, Line);
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "y = 2  + 3");
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, ""); // an empty line stays a line
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "");
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "last");
    EXPECT_EQ(GetLine(), 0);
}

TEST_F(LineReader, CommentsOverSeveralLinesAreConsumedWhole) {
    Open("a /* one\ntwo\nthree */ b\nnext\n  /* x */ /* y\n */ z\n");
    EXPECT_EQ(GetLine(), 3);
    EXPECT_EQ(LineCnt, 3);
    EXPECT_STREQ(Line, "a  b");
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "next");
    EXPECT_EQ(GetLine(), 2);
    EXPECT_STREQ(Line, "z");
}

TEST_F(LineReader, InputEndingInsideAComment) {
    Open("/* never\nclosed\n");
    EXPECT_EQ(GetLine(), 0);
    Open("kept /* never\nclosed\n");
    EXPECT_EQ(GetLine(), 2);
    EXPECT_STREQ(Line, "kept ");
}

TEST_F(LineReader, WithoutTheFilterLinesComeAsRead) {
    flInputFilterState = 0;
    Open("  raw // x\nnext\n");
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, "  raw // x\n");
}

TEST_F(LineReader, TheStartOfLineIsCleanAfterTheText) {
    Open(std::string(300, 'w') + "\nab\n");
    GetLine();
    GetLine();
    EXPECT_STREQ(Line, "ab");
    for (size_t k = 2; k < 512; ++k)
        ASSERT_EQ(Line[k], '\0') << k;
}

TEST_F(LineReader, PositionsAndRepeatedReads) {
    Open("first\nsecond\nthird\n");
    EXPECT_EQ(GetLine(), 1);
    EXPECT_EQ(GetLine(), 1);
    long second = InPos;
    EXPECT_EQ(second, 6);
    EXPECT_EQ(GetLinePos(second), 1);
    EXPECT_STREQ(Line, "second");
    EXPECT_EQ(GetLinePos(0), 1);
    EXPECT_EQ(GetLineN(2), 1);
    EXPECT_STREQ(Line, "third");
    EXPECT_EQ(GetLineN(0), 0);
    EXPECT_EQ(GetLineN(3), 0);

    char buffer[16];
    EXPECT_STREQ(fgetsp(buffer, sizeof buffer, pIn, second), "second\n");
    EXPECT_EQ(fgetsp(buffer, sizeof buffer, nullptr, 0), nullptr);
}

TEST(GenName, MixedCaseFromTheWords) {
    EXPECT_STREQ(GenName("hello world-2x"), "HelloWorld2x");
    EXPECT_STREQ(GenName("  42 abc DEF"), "AbcDef");
    EXPECT_STREQ(GenName("!!!"), "");
    EXPECT_STREQ(GenName(nullptr), "");
    std::string many(300, 'q');
    EXPECT_EQ(strlen(GenName(many.c_str())), GenNameSize - 1);
}

} // namespace
