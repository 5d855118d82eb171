// Files and directories: existence tests, opening, the input-file reader,
// whole-file reads, creating, deleting, renaming, listings, identity.
#include "utils.h"

#include "DbmTest.h"
#include "MemMgr.h"
#include "SysCmd.h"
#include "SysLayerTest.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace corla_test;

namespace {

constexpr uid_t Nobody = 65534;

std::string Take(char *text) {
    std::string copy = text != nullptr ? text : "(none)";
    PutMem(text);
    return copy;
}

std::set<std::string> Words(const std::string &text) {
    std::istringstream in(text);
    std::set<std::string> words;
    for (std::string w; in >> w;)
        words.insert(w);
    return words;
}

class Files : public SysLayerTest {
  protected:
    std::string P(const std::string &rel) const { return Dir() + "/" + rel; }
    // Run body as an unprivileged user (root reads any directory); yields its
    // exit status.
    int AsNobody(const std::function<int()> &body) {
        chmod(Dir().c_str(), 0711);
        ChildResult child = RunInChild([&] {
            if (setgid(Nobody) != 0 || setuid(Nobody) != 0) _exit(97);
            _exit(body());
        });
        return child.status;
    }
};

TEST_F(Files, FindFileArgumentForms) {
    WriteFile(P("f"), "");
    mkdir(P("d").c_str(), 0755);
    WriteFile(P("d/g"), "");
    const std::string dir = Dir();
    EXPECT_EQ(FindFile(dir.c_str(), "f"), 1);
    EXPECT_EQ(FindFile(dir.c_str(), "nope"), 0);
    EXPECT_EQ(FindFile(nullptr, P("f").c_str()), 1); // name as a full path
    EXPECT_EQ(FindFile(P("f").c_str(), nullptr), 1); // directory split into its parts
    EXPECT_EQ(FindFile(P("f").c_str(), ""), 1);
    EXPECT_EQ(FindFile(dir.c_str(), "d/g"), 1); // joined and split again
    EXPECT_EQ(FindFile(dir.c_str(), "d/h"), 0);
    EXPECT_EQ(FindFile(nullptr, ""), 0);
    EXPECT_EQ(FindFile(nullptr, nullptr), 0);
    EXPECT_EQ(FindFile("/", nullptr), 1); // an empty last piece: the readable root
    EXPECT_EQ(FindFile((dir + "/missing/x").c_str(), nullptr), 0);
}

TEST_F(Files, FindFileComparesWholeEntryNames) {
    WriteFile(P("x cp y"), "");
    WriteFile(P("cpio"), "");
    EXPECT_EQ(FindFile(Dir().c_str(), "cp"), 0);
    EXPECT_EQ(FindFile(Dir().c_str(), "x cp y"), 1);
}

TEST_F(Files, FindFileNeedsAReadableDirectoryFindFile_DoesNot) {
    mkdir(P("locked").c_str(), 0755);
    WriteFile(P("locked/f"), "");
    chmod(P("locked").c_str(), 0311);
    std::string locked = P("locked");
    int status = AsNobody([&] {
        return (FindFile(locked.c_str(), "f") == 0 ? 0 : 1) |
               (FindFile_(locked.c_str(), "f") == 1 ? 0 : 2);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(FindFile_(locked.c_str(), nullptr), 1);
    EXPECT_EQ(FindFile_(nullptr, P("nope").c_str()), 0);
}

TEST_F(Files, FileTypesLookAtTheLinkItself) {
    mkdir(P("d").c_str(), 0755);
    WriteFile(P("f"), "12345");
    symlink(P("d").c_str(), P("l").c_str());
    EXPECT_EQ(GetFileType(P("d").c_str()), FileDirectory);
    EXPECT_EQ(GetFileType(P("l").c_str()), FileLink);
    EXPECT_EQ(GetFileType(P("f").c_str()), FileOther);
    EXPECT_EQ(GetFileType(P("nope").c_str()), FileMissing);
    EXPECT_EQ(GetFileSize(P("f").c_str()), 5);
    EXPECT_EQ(GetFileSize(P("nope").c_str()), 0);
    EXPECT_GT(GetFileTime(P("f").c_str()), 0);
    EXPECT_EQ(GetFileTime(P("nope").c_str()), 0);
}

TEST_F(Files, FindExistingPathClimbsToTheNearestExistingParent) {
    int exists = 0;
    EXPECT_EQ(Take(FindExistingPath(P("a/b").c_str(), &exists)), Dir());
    EXPECT_EQ(exists, 0);
    EXPECT_EQ(Take(FindExistingPath(Dir().c_str(), &exists)), Dir());
    EXPECT_EQ(exists, 1);
    EXPECT_EQ(Take(FindExistingPath(nullptr, &exists)), "(none)");
}

TEST_F(Files, FindExistingPathEndsInAnUnreadableDirectory) {
    mkdir(P("locked").c_str(), 0311);
    std::string locked = P("locked");
    int status = AsNobody([&] {
        if (chdir(locked.c_str()) != 0) return 3;
        int exists = 0;
        std::string found = Take(FindExistingPath("a/b", &exists));
        return found == "." && exists == 0 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(Files, OpenFileReportsByLevel) {
    std::string missing = P("missing");
    EXPECT_EQ(OpenFile(nullptr, missing.c_str(), "rt", ErrSilent), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenFile(nullptr, missing.c_str(), "rt", ErrReport), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: can't open file, " + missing + "\n");
    // A death test runs the fixture again: its directory has another name.
    EXPECT_EXIT(OpenFile(nullptr, missing.c_str(), "rt", ErrFatal), testing::ExitedWithCode(1),
                "can't open file, .*/missing : No such file or directory");

    WriteFile(P("f"), "x");
    FILE *first = OpenFile(nullptr, P("f").c_str(), "rt", ErrFatal);
    ASSERT_NE(first, nullptr);
    FILE *second = OpenFile(first, P("f").c_str(), "rt", ErrFatal); // the first is closed
    ASSERT_NE(second, nullptr);
    fclose(second);
}

// A path of exactly len characters naming Dir()/f (extra slashes are harmless).
std::string PathOfLength(const std::string &dir, size_t len) {
    std::string tail = dir + "/f";
    return std::string(len - tail.size(), '/') + tail;
}

TEST_F(Files, FormattedPathsThatDoNotFitAreNeverOpened) {
    WriteFile(P("f"), "content\n");
    std::string fits = PathOfLength(Dir(), FormatPathSize - 1);
    FILE *file = OpenFileF(nullptr, "rt", ErrSilent, "%s", fits.c_str());
    ASSERT_NE(file, nullptr);
    fclose(file);
    // One character more: cut, it would name the existing f.
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenFileF(nullptr, "rt", ErrReport, "%sx", fits.c_str()), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("ERROR: can't open file, "),
              std::string::npos);

    EXPECT_EQ(OpenInputFileF(ErrSilent, "%s", fits.c_str()), 1);
    EXPECT_EQ(OpenInputFileF(ErrSilent, "%sx", fits.c_str()), 0);
    EXPECT_EQ(FileStatus, InputFailed);
    EXPECT_EQ(pIn, nullptr);
}

TEST_F(Files, OpenRawFile) {
    testing::internal::CaptureStdout();
    EXPECT_LT(OpenRawFile(P("missing").c_str(), O_RDONLY), 0);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: can't open file, " + P("missing"));
    int fd = OpenRawFile(P("new").c_str(), O_WRONLY | O_CREAT);
    EXPECT_GE(fd, 0);
    close(fd);
}

TEST_F(Files, FileSearchFindsTheFirstMatchingLine) {
    WriteFile(P("f"), "alpha\nbeta gamma\ngamma\n");
    EXPECT_STREQ(FileSearch(P("f").c_str(), "gamma", ErrSilent), "beta gamma\n");
    EXPECT_STREQ(FileSearch(P("f").c_str(), nullptr, ErrSilent), "alpha\n");
    EXPECT_EQ(FileSearch(P("f").c_str(), "delta", ErrSilent), nullptr);
    EXPECT_EQ(FileSearch(P("missing").c_str(), "x", ErrSilent), nullptr);
}

class Reader : public Files {
  protected:
    std::vector<std::string> ReadAll(const std::string &content) {
        WriteFile(P("in"), content);
        EXPECT_EQ(OpenInputFile(P("in").c_str(), ErrFatal), 1);
        EXPECT_EQ(FileStatus, InputOpen);
        std::vector<std::string> lines;
        while (GetFileLine())
            lines.push_back(LineBuf);
        EXPECT_EQ(FileStatus, InputClosed);
        EXPECT_EQ(pIn, nullptr);
        return lines;
    }
};

TEST_F(Reader, ContinuationLinesAreJoined) {
    WriteFile(P("in"), "a \\\nb\\\nc\nd\n");
    ASSERT_EQ(OpenInputFile(P("in").c_str(), ErrFatal), 1);
    ASSERT_EQ(GetFileLine(), 1);
    EXPECT_STREQ(LineBuf, "a \\\nb\\\nc\n");
    EXPECT_EQ(LineLen, 7); // "a \\\n" and "b\\\n"
    ASSERT_EQ(GetFileLine(), 1);
    EXPECT_STREQ(LineBuf, "d\n");
    EXPECT_EQ(LineLen, 0);
    EXPECT_EQ(GetFileLine(), 0);
    EXPECT_EQ(GetFileLine(), 0); // no file open
}

TEST_F(Reader, TheTailOfAnOverlongLineIsNoLineOfItsOwn) {
    for (size_t len : {size_t(FileLineChars) - 1, size_t(FileLineChars), size_t(FileLineChars) + 1,
                       size_t(FileLineChars) + 90}) {
        std::string longLine(len, 'x');
        auto lines = ReadAll(longLine + "\nnext\n");
        ASSERT_EQ(lines.size(), 2u) << len;
        std::string kept = longLine.substr(0, FileLineChars);
        EXPECT_EQ(lines[0], len < size_t(FileLineChars) ? kept + "\n" : kept) << len;
        EXPECT_EQ(lines[1], "next\n");
    }
}

TEST_F(Reader, ContinuationsStopAtTheBuffer) {
    std::string content;
    for (int k = 0; k < 12; ++k)
        content += std::string(400, char('a' + k)) + "\\\n";
    content += "end\nafter\n";
    auto lines = ReadAll(content);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), LineBufSize - 1);
    EXPECT_EQ(lines[1], "after\n");
}

TEST_F(Reader, AFailedOpenIsReportedAtItsLevel) {
    std::string missing = P("missing");
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenInputFile(missing.c_str(), ErrReport), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: can't open file, " + missing + "\n");
    EXPECT_EQ(FileStatus, InputFailed);
    EXPECT_STREQ(LineBuf, "");
    EXPECT_EQ(std::string(InputFileName), missing);
    EXPECT_EXIT(OpenInputFile(missing.c_str(), ErrFatal), testing::ExitedWithCode(0),
                "ERROR: can't open file, .*/missing");
}

TEST_F(Reader, InputFileNameIsCutToFit) {
    std::string name = std::string(300, '/') + "missing";
    OpenInputFile(name.c_str(), ErrSilent);
    EXPECT_EQ(strlen(InputFileName), InputFileNameSize - 1);
}

TEST_F(Reader, TextLinesSkipCommentsAndBlankLines) {
    WriteFile(P("in"), "# note\n\n   \t\n   first rest\nsecond\n");
    ASSERT_EQ(OpenInputFile(P("in").c_str(), ErrFatal), 1);
    EXPECT_EQ(GetFileTextLine(nullptr), 0);
    ASSERT_EQ(GetFileTextLine(" \t\n"), 1);
    EXPECT_STREQ(LineBuf, "first");
    ASSERT_EQ(GetFileTextLine(" \t\n"), 1);
    EXPECT_STREQ(LineBuf, "second");
    EXPECT_EQ(GetFileTextLine(" \t\n"), 0);
    CloseInputFile();
    EXPECT_EQ(FileStatus, InputClosed);
}

TEST_F(Files, WholeFileReads) {
    WriteFile(P("f"), "abcdef");
    ASSERT_EQ(GetFileContent(Dir().c_str(), "f"), 1);
    EXPECT_STREQ(LineBuf, "abcdef");
    ASSERT_EQ(GetFileContent(P("f").c_str(), nullptr), 1);
    EXPECT_STREQ(LineBuf, "abcdef");
    EXPECT_EQ(GetFileContent(Dir().c_str(), "missing"), 0);
    EXPECT_EQ(GetFileContent(nullptr, nullptr), 0);

    WriteFile(P("big"), std::string(LineBufSize + 10, 'b'));
    ASSERT_EQ(GetFileContent(Dir().c_str(), "big"), 1);
    EXPECT_EQ(strlen(LineBuf), LineBufSize - 1);

    char buffer[4] = {'?', '?', '?', '?'};
    ASSERT_EQ(GetFileContentR(Dir().c_str(), "f", buffer, 3), 1);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(GetFileContentR(Dir().c_str(), "missing", buffer, 3), 0);
}

TEST_F(Files, SavedFileContent) {
    WriteFile(P("f"), "abc\ndef\n");
    EXPECT_EQ(Take(GetSavedFileContent(Dir().c_str(), "f")), "abc\ndef\n");
    EXPECT_EQ(SavedFileSize, 8u);
    EXPECT_EQ(Take(GetSavedFileContent(P("f").c_str(), nullptr)), "abc\ndef\n");
    WriteFile(P("one"), "x");
    EXPECT_EQ(Take(GetSavedFileContent(Dir().c_str(), "one")), "x");
    EXPECT_EQ(SavedFileSize, 1u);
    WriteFile(P("empty"), "");
    EXPECT_EQ(Take(GetSavedFileContent(Dir().c_str(), "empty")), "(none)");
    EXPECT_EQ(Take(GetSavedFileContent(Dir().c_str(), "missing")), "(none)");
    EXPECT_EQ(SavedFileSize, 0u);
}

// Creating, deleting and renaming: the exact commands the runner gets.
class FileCommands : public Files {
  protected:
    void SetUp() override {
        Files::SetUp();
        LocateAllIn("/bin");
        UseFakeOs();
    }
    std::string Run(const std::string &command) const {
        return "/bin/sh -c \"" + command + " 1>>/dev/null 2>>/dev/null\"";
    }
};

TEST_F(FileCommands, CreateFileMakesTheDirectoryThenSetsEverythingGiven) {
    std::string dir = P("new dir");
    CreateFile(dir.c_str(), "f", "755", "lp", "lp");
    std::string target = "'" + dir + "/f'";
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{
                                 Run("/bin/mkdir -p '" + dir + "'"),
                                 Run("/bin/touch  " + target),
                                 Run("/bin/chmod  755 " + target),
                                 Run("/bin/chown  lp " + target),
                                 Run("/bin/chgrp  lp " + target),
                             }));
    FakeOs::lines.clear();
    CreateFile(Dir().c_str(), nullptr, "775", nullptr, "");
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{Run("/bin/chmod  775 " + Dir())}));
}

TEST_F(FileCommands, CreateFileEndsTheRunOnAFailure) {
    FakeOs::systemStatus = 1 << 8;
    ChildResult child =
        RunInChild([&] { CreateFile(P("x").c_str(), "f", nullptr, nullptr, nullptr); });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.out, "ERROR: command mkdir exited with status 1\n");
}

TEST_F(FileCommands, DeleteFileRemovesOnlyWhatExists) {
    EXPECT_EQ(DeleteFile(Dir().c_str(), "missing"), 1);
    EXPECT_TRUE(FakeOs::lines.empty());
    WriteFile(P("f"), "");
    EXPECT_EQ(DeleteFile(Dir().c_str(), "f"), 1);
    EXPECT_EQ(FakeOs::lines.back(), Run("/bin/rm -rf " + P("f")));
    EXPECT_EQ(DeleteFile(nullptr, P("f").c_str()), 1);
    EXPECT_EQ(FakeOs::lines.back(), Run("/bin/rm -rf " + P("f")));
    EXPECT_EQ(DeleteFile(P("f").c_str(), nullptr), 1);
    EXPECT_EQ(FakeOs::lines.back(), Run("/bin/rm -rf " + P("f")));
    EXPECT_EQ(DeleteFile_(Dir().c_str(), "f"), 1);
    EXPECT_EQ(FakeOs::lines.back(), Run("/bin/rm -rf " + P("f")));
    EXPECT_EQ(DeleteFile_(P("f").c_str(), nullptr), 1);
    EXPECT_EQ(FakeOs::lines.size(), 5u);
    FakeOs::systemStatus = 1 << 8;
    EXPECT_EQ(DeleteFile(Dir().c_str(), "f"), 0);
}

TEST_F(FileCommands, DeletedPathsAreQuoted) {
    WriteFile(P("a b;$(id)"), "");
    DeleteFile(Dir().c_str(), "a b;$(id)");
    EXPECT_EQ(FakeOs::lines.back(), Run("/bin/rm -rf '" + Dir() + "/a b;\\$(id)'"));
}

TEST_F(FileCommands, RenameFileMovesUnshown) {
    EXPECT_EQ(RenameFile(Dir().c_str(), "old", "new"), 0);
    EXPECT_TRUE(FakeOs::lines.empty());
    WriteFile(P("old"), "");
    EXPECT_EQ(RenameFile(Dir().c_str(), "old", "new"), 1);
    EXPECT_EQ(FakeOs::lines.back(), "/bin/sh -c \"/bin/mv -f " + P("old") + " " + P("new") + "\"");
    EXPECT_EQ(RenameFile(nullptr, P("old").c_str(), P("other").c_str()), 1);
    EXPECT_EQ(FakeOs::lines.back(),
              "/bin/sh -c \"/bin/mv -f " + P("old") + " " + P("other") + "\"");
    FakeOs::systemStatus = 1 << 8;
    EXPECT_EQ(RenameFile(Dir().c_str(), "old", "new"), 0);
}

// The same operations run for real through stand-ins of the commands.
class FileCommandsRun : public Files {
  protected:
    void SetUp() override {
        Files::SetUp();
        flInitSysCmd = 0;
        StandInShell();
        for (const char *name : {"mkdir", "touch", "chmod", "rm", "mv"})
            StandIn(name, std::string("exec /bin/") + name + " \"$@\"");
    }
};

TEST_F(FileCommandsRun, CreateDeleteRename) {
    std::string dir = P("a b/c");
    CreateFile(dir.c_str(), "f", "640", nullptr, nullptr);
    EXPECT_EQ(GetFileType(dir.c_str()), FileDirectory);
    EXPECT_EQ(ModeOf(dir + "/f"), 0640u);
    EXPECT_EQ(RenameFile(dir.c_str(), "f", "g'h"), 1);
    EXPECT_TRUE(Exists(dir + "/g'h"));
    EXPECT_EQ(DeleteFile(P("a b").c_str(), nullptr), 1);
    EXPECT_FALSE(Exists(P("a b")));
}

TEST_F(Files, CreateTextFileWritesWithoutFollowingALink) {
    std::string victim = P("victim");
    WriteFile(victim, "keep\n", 0600);
    symlink(victim.c_str(), P("cfg").c_str());
    ASSERT_EQ(CreateTextFile(P("cfg").c_str(), "wt", 0644, "%s=%d\n", "CUPS", 1), 1);
    EXPECT_EQ(ReadFile(victim), "keep\n");
    EXPECT_EQ(GetFileType(P("cfg").c_str()), FileOther);
    EXPECT_EQ(ReadFile(P("cfg")), "CUPS=1\n");
    EXPECT_EQ(ModeOf(P("cfg")), 0644u);

    ASSERT_EQ(CreateTextFile(P("cfg").c_str(), "w+", 0755, "%s", "#!/bin/sh\n"), 1);
    EXPECT_EQ(ModeOf(P("cfg")), 0755u);
    ASSERT_EQ(CreateTextFile(P("cfg").c_str(), "a", 0, "%s", "exit 0\n"), 1);
    EXPECT_EQ(ReadFile(P("cfg")), "#!/bin/sh\nexit 0\n");
}

// Written beside and renamed, yet a file its writer may not write stays.
TEST_F(Files, CreateTextFileLeavesAFileItMayNotWrite) {
    ASSERT_EQ(chmod(Dir().c_str(), 0777), 0);
    WriteFile(P("ro"), "keep\n", 0444);
    std::string path = P("ro");
    EXPECT_EQ(RunAsNobody([&] { return CreateTextFile(path.c_str(), "wt", 0, "%s", "new"); }), 0);
    EXPECT_EQ(ReadFile(path), "keep\n");
    EXPECT_EQ(Words(Take(SearchDirFileList(Dir().c_str(), nullptr))),
              (std::set<std::string>{"ro"}));
}

TEST_F(Files, CreateTextFileReportsWhatItCannotOpen) {
    std::string path = P("missing/cfg");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateTextFile(path.c_str(), "wt", 0644, "%s", "x"), 0);
    EXPECT_EQ(CreateTextFile(P("f").c_str(), "q", 0644, "%s", "x"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: couldn't open " + path + "\nERROR: couldn't open " + P("f") + "\n");
}

TEST_F(Files, DirectoryListings) {
    for (const char *name : {"a.tar.Z", "b.Z", "c.tar", "Z", "plain"})
        WriteFile(P(name), "");
    std::string all = Take(GetDirFileList(Dir().c_str()));
    EXPECT_EQ(all.front(), ' ');
    EXPECT_EQ(all.back(), ' ');
    EXPECT_EQ(Words(all),
              (std::set<std::string>{".", "..", "a.tar.Z", "b.Z", "c.tar", "Z", "plain"}));
    EXPECT_EQ(Words(Take(SearchDirFileList(Dir().c_str(), "Z"))),
              (std::set<std::string>{"a.tar.Z", "b.Z"}));
    EXPECT_EQ(Words(Take(SearchDirFileList(Dir().c_str(), nullptr))),
              (std::set<std::string>{"a.tar.Z", "b.Z", "c.tar", "Z", "plain"}));
    EXPECT_EQ(Take(SearchDirFileList(Dir().c_str(), "gz")), "(none)");
    EXPECT_EQ(Take(GetDirFileList(P("missing").c_str())), "(none)");

    DIR *handle = opendir(Dir().c_str());
    int count = 0;
    while (ReadDir(handle, 0) != nullptr)
        ++count;
    closedir(handle);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(ReadDir(nullptr, 0), nullptr);
}

TEST_F(Files, ALargeDirectoryListing) {
    std::set<std::string> expected = {".", ".."};
    for (int k = 0; k < 1500; ++k) {
        std::string name = "entry-with-a-longish-name-" + std::to_string(k);
        WriteFile(P(name), "");
        expected.insert(name);
    }
    EXPECT_EQ(Words(Take(GetDirFileList(Dir().c_str()))), expected);
}

TEST_F(Files, EnvironmentValuesAreCopiedNotFormatted) {
    setenv("CORLA_TEST_VALUE", "50%s off %n", 1);
    EXPECT_EQ(Take(GetEnv("CORLA_TEST_VALUE")), "50%s off %n");
    unsetenv("CORLA_TEST_VALUE");
    EXPECT_EQ(Take(GetEnv("CORLA_TEST_VALUE")), "(none)");
}

TEST_F(Files, UserNameFromWhoami) {
    flInitSysCmd = 0;
    UseFakeOs();
    ComList[CmdWhoami].path = "/usr/ucb";
    FakeOs::popenOutput = "alice\r\n";
    EXPECT_EQ(Take(GetUserName()), "alice");
    EXPECT_EQ(FakeOs::lines.back(), "/usr/ucb/whoami ");
}

TEST_F(Files, UserNameWithoutWhoami) {
    flInitSysCmd = 0;
    if (getuid() == 0) {
        EXPECT_EQ(Take(GetUserName()), "root");
    }
    ChildResult child = RunInChild([] {
        if (setuid(100) != 0) _exit(97);
        printf("%s", Take(GetUserName()).c_str());
    });
    if (child.status == 97) GTEST_SKIP() << "cannot change user";
    EXPECT_EQ(child.out, "User ID:  100");
}

TEST_F(Files, HostName) {
    char expected[256] = "";
    gethostname(expected, sizeof expected - 1);
    EXPECT_EQ(Take(GetHostname()), expected);
}

TEST_F(Files, ToolPathFromTheWayTheProgramWasStarted) {
    ASSERT_EQ(mkdir(P("dist").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(P("work").c_str(), 0755), 0);
    ASSERT_EQ(chdir(P("work").c_str()), 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string here = cwd;
    char real[PATH_MAX];
    ASSERT_NE(realpath(P("dist").c_str(), real), nullptr);
    struct Case {
        const char *started;
        std::string expected;
    } cases[] = {
        {"/opt/dist/setup", "/opt/dist"},
        {"/setup", "/"},
        {"setup", here},
        {"./setup", here},
        {"./sub/setup", here + "/sub"},
        {"sub/setup", here + "/sub"},
        {"../dist/setup", real},
        {"../gone/setup", here + "/../gone"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Take(GetToolPath(c.started)), c.expected) << c.started;
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(Take(GetToolPath("dist/setup")), "/dist");
    EXPECT_EQ(Take(GetToolPath("./dist/setup")), "/dist");
}

volatile sig_atomic_t WriteAllTicks = 0;

// A write that signals interrupt while the pipe is full and its reader slow
// goes on where it stopped: every byte arrives once, in order.
TEST(WriteAll, GoesOnAfterSignalsAndPartialWrites) {
    std::string data(1 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 251);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        close(fds[1]);
        usleep(200 * 1000);
        std::string got;
        char buf[65536];
        for (;;) {
            ssize_t n = read(fds[0], buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) _exit(2);
            if (n == 0) break;
            got.append(buf, size_t(n));
        }
        _exit(got == data ? 0 : 1);
    }
    close(fds[0]);
    struct sigaction tick {
    }, old{};
    tick.sa_handler = [](int) { WriteAllTicks = WriteAllTicks + 1; }; // no SA_RESTART
    sigemptyset(&tick.sa_mask);
    ASSERT_EQ(sigaction(SIGALRM, &tick, &old), 0);
    WriteAllTicks = 0;
    itimerval every{{0, 2000}, {0, 2000}};
    setitimer(ITIMER_REAL, &every, nullptr);
    int written = WriteAll(fds[1], data.data(), data.size());
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    close(fds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(reader, &status, 0), reader);
    EXPECT_EQ(written, 1);
    EXPECT_GT(WriteAllTicks, 0); // the write was interrupted
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(WriteAll, AFailureYieldsZeroWithTheSystemsReason) {
    int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    errno = 0;
    EXPECT_EQ(WriteAll(fd, "x", 1), 0);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(WriteAll(fd, "", 0), 1); // nothing to write
    close(fd);
}

} // namespace
