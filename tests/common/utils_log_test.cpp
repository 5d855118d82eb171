// The log in /tmp and the error reports.
#include "utils.h"

#include "SysLayerTest.h"

#include "MemMgr.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corla_test;

namespace {

class Log : public SysLayerTest {
  protected:
    void SetUp() override {
        SysLayerTest::SetUp();
        flUseLog = 1;
    }
};

TEST_F(Log, NothingIsWrittenWhileLoggingIsOff) {
    flUseLog = 0;
    PutLogMsg("%s\n", "x");
    EXPECT_FALSE(Exists(LogPath()));
    EXPECT_EQ(flLogFirstWrite, 1);
}

TEST_F(Log, ANewLogIsCreatedWithMode666WhateverTheUmask) {
    mode_t old = umask(077);
    PutLogMsg("%s %d\n", "first", 1);
    umask(old);
    EXPECT_EQ(ModeOf(LogPath()), 0666u);
    EXPECT_EQ(ReadLog(), "first 1\n");
    EXPECT_STREQ(pLogPath, "/tmp");
    EXPECT_EQ(pLog, nullptr); // closed after every message
}

TEST_F(Log, TheFirstMessageTruncatesLaterOnesAppend) {
    WriteFile(LogPath(), "an earlier run\n", 0640);
    PutLogMsg("one\n");
    PutLogMsg("two\n");
    EXPECT_EQ(ReadLog(), "one\ntwo\n");
    EXPECT_EQ(ModeOf(LogPath()), 0640u); // an existing log keeps its mode
}

TEST_F(Log, ALinkAtTheLogPathIsNeverFollowed) {
    std::string victim = Dir() + "/shadow";
    WriteFile(victim, "root:x:0:0\n", 0600);
    ASSERT_EQ(symlink(victim.c_str(), LogPath().c_str()), 0);
    PutLogMsg("logged\n");
    EXPECT_EQ(ReadFile(victim), "root:x:0:0\n");
    EXPECT_EQ(ModeOf(victim), 0600u);
    EXPECT_EQ(GetFileType(LogPath().c_str()), FileOther);
    EXPECT_EQ(ReadLog(), "logged\n");
}

TEST_F(Log, ADanglingLinkCreatesNothingAtItsTarget) {
    std::string target = Dir() + "/created-by-root";
    ASSERT_EQ(symlink(target.c_str(), LogPath().c_str()), 0);
    EXPECT_EQ(PrepareLogFile(), 1);
    EXPECT_FALSE(Exists(target));
    EXPECT_EQ(ModeOf(LogPath()), 0666u);
}

TEST_F(Log, AFifoAtTheLogPathIsReplaced) {
    ASSERT_EQ(mkfifo(LogPath().c_str(), 0666), 0);
    PutLogMsg("not blocked\n");
    EXPECT_EQ(ReadLog(), "not blocked\n");
}

TEST_F(Log, AFileOfAnotherUserIsReplaced) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    WriteFile(LogPath(), "theirs\n", 0666);
    ASSERT_EQ(chown(LogPath().c_str(), 4321, 4321), 0);
    PutLogMsg("mine\n");
    struct stat st;
    ASSERT_EQ(stat(LogPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(ReadLog(), "mine\n");
}

TEST_F(Log, ALogThatCannotBeOpenedCostsOnlyThatMessage) {
    ASSERT_EQ(mkdir(LogPath().c_str(), 0755), 0);
    testing::internal::CaptureStderr();
    PutLogMsg("lost\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: couldn't open " + LogPath() + "\n");
    EXPECT_EQ(flLogFirstWrite, 0);
    EXPECT_EQ(PrepareLogFile(), 0);
    ASSERT_EQ(rmdir(LogPath().c_str()), 0);
    WriteFile(LogPath(), "output of a command\n", 0666);
    PutLogMsg("kept\n"); // not the first write any more: appends
    EXPECT_EQ(ReadLog(), "output of a command\nkept\n");
}

TEST_F(Log, AnUnusableLogIsSaidOnceAndItsOutputGoesNowhere) {
    ASSERT_EQ(mkdir(LogPath().c_str(), 0755), 0);
    testing::internal::CaptureStderr();
    PutLogMsg("one\n");
    EXPECT_EQ(PrepareLogFile(), 0);
    char *target = LogRedirectPath();
    PutLogMsg("two\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: couldn't open " + LogPath() + "\n");
    EXPECT_STREQ(target, "/dev/null");
    PutMem(target);
    // Usable again: the log takes the output.
    ASSERT_EQ(rmdir(LogPath().c_str()), 0);
    target = LogRedirectPath();
    EXPECT_EQ(target, LogPath());
    PutMem(target);
    flUseLog = 0;
    target = LogRedirectPath();
    EXPECT_STREQ(target, "/dev/null");
    PutMem(target);
}

TEST_F(Log, ANameTooLongForTheDirectoryIsSaidOnce) {
    static const std::string name(252, 'n'); // "<name>.log": one byte more than a name may hold
    my_name = name.c_str();
    testing::internal::CaptureStderr();
    PutLogMsg("one\n");
    PutLogMsg("two\n");
    EXPECT_EQ(PrepareLogFile(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: couldn't open /tmp/" + name + ".log\n");
}

TEST_F(Log, AWriteOrCloseThatFailsIsSaidOnceAndEndsNothing) {
    // A file-size limit (above what the child's own stderr receives): the
    // buffered message fails when it is flushed.
    const std::string message(100, 'm');
    ChildResult child = RunInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {64, 64};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(97);
        PutLogMsg("%s\n", message.c_str());
        PutLogMsg("%s\n", "another one");
        if (flLogFailed != 1) _exit(96);
    });
    EXPECT_EQ(child.status, ChildReturned);
    EXPECT_EQ(child.err, "ERROR: couldn't write " + LogPath() + "\n");
    EXPECT_EQ(ReadLog(), message.substr(0, 64));
}

TEST_F(Log, PrepareLogFileDoesNotWrite) {
    WriteFile(LogPath(), "so far\n", 0644);
    EXPECT_EQ(PrepareLogFile(), 1);
    EXPECT_EQ(ReadLog(), "so far\n");
    EXPECT_EQ(flLogFirstWrite, 1);
    unlink(LogPath().c_str());
    EXPECT_EQ(PrepareLogFile(), 1);
    EXPECT_EQ(ModeOf(LogPath()), 0666u);
    EXPECT_EQ(ReadLog(), "");
}

using Reports = SysLayerTest;

TEST_F(Reports, ErrorMsgByLevel) {
    testing::internal::CaptureStderr();
    ErrorMsg(ErrReport, 0, "can't open file, %s", "x");
    ErrorMsg(ErrSilent, 0, "%s", "silent");
    ErrorMsg(3, 0, "%s", "other levels say nothing");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING: can't open file, x\n");
    EXPECT_STREQ(Line, "other levels say nothing"); // formatted at every level
    EXPECT_EXIT(ErrorMsg(ErrFatal, 7, "%s", "boom"), testing::ExitedWithCode(7), "^ERROR: boom\n$");
    EXPECT_EXIT(ErrorMsg(ErrFatal, 0, "%s", "zero"), testing::ExitedWithCode(0), "ERROR: zero");
}

TEST_F(Reports, ErrorMsgFormatsIntoLineEvenFromLine) {
    snprintf(Line, LineSize, "%s", "abc");
    testing::internal::CaptureStderr();
    ErrorMsg(ErrReport, 0, "%s-%s", Line, Line);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING: abc-abc\n");
    EXPECT_STREQ(Line, "abc-abc");
}

TEST_F(Reports, ErrorMsgIsBoundedByLine) {
    std::string huge(LineSize + 10, 'h');
    testing::internal::CaptureStderr();
    ErrorMsg(ErrReport, 0, "%s", huge.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(strlen(Line), LineSize - 1);
    EXPECT_EQ(err.size(), strlen("WARNING: \n") + LineSize - 1);
}

// Short of memory the message is still said, formatted straight into Line.
TEST_F(Reports, ErrorMsgReportsWhenMemoryHasRunOut) {
    if (!MemFaultInjection()) GTEST_SKIP() << "built without CORLA_FAULT_INJECTION";
    std::string big(100000, 'm'); // a dedicated block: a mapping that fails
    MemFailMapping(1, 0);
    testing::internal::CaptureStderr();
    ErrorMsg(ErrReport, 0, "%s!", big.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    MemFailMapping(0, 0);
    EXPECT_EQ(err, "ERROR: Unable to allocate memory\nWARNING: " + big + "!\n");
    EXPECT_EQ(Line, big + "!");
}

TEST_F(Reports, ErrormsgPrefixesTheProgramName) {
    my_name = "setup";
    testing::internal::CaptureStderr();
    errormsg("%s went %s", "it", "wrong");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "setup: it went wrong\n");
}

TEST_F(Reports, SysErrorAddsTheSystemTextAndEndsWithOne) {
    my_name = "setup";
    EXPECT_EXIT(
        {
            errno = ENOENT;
            SysError("can't open file, %s", "/x");
        },
        testing::ExitedWithCode(1), "^\nsetup: can't open file, /x : No such file or directory\n$");
}

TEST_F(Reports, ExitAppEndsWithTheGivenStatus) {
    EXPECT_EXIT(exit_app(3), testing::ExitedWithCode(3), "");
}

} // namespace
