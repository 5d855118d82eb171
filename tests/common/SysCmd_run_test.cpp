// Running commands: exact command lines, logging, failures, waits, captured
// output, and the raw command form.
#include "SysCmd.h"

#include "MemMgr.h"
#include "SysLayerTest.h"
#include "utils.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

using namespace corla_test;

namespace {

// The table as the runner sees it after a search that found everything in
// /usr/bin; nothing runs (FakeOs records).
class RunnerLines : public SysLayerTest {
  protected:
    void SetUp() override {
        SysLayerTest::SetUp();
        LocateAllIn("/usr/bin");
        UseFakeOs();
    }
    std::string Log() const { return "/tmp/" + std::string(my_name) + ".log"; }
    std::string Redirect() const { return " 1>>" + Log() + " 2>>" + Log(); }
    void LogOn() {
        flUseLog = 1;
        flSysCmdLog = 1;
    }
};

TEST_F(RunnerLines, QuietModeDiscardsOutputAndLogsNothing) {
    LogOn();
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmd(CmdChmod, CmdQuiet, "755 %s", "/opt/x"), 0);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ""); // no progress dot
    ASSERT_EQ(FakeOs::lines.size(), 1u);
    EXPECT_EQ(FakeOs::lines[0],
              "/usr/bin/sh -c \"/usr/bin/chmod  755 /opt/x 1>/dev/null 2>/dev/null\"");
    EXPECT_FALSE(Exists(Log()));
}

TEST_F(RunnerLines, LoggedModesShowADotAndLogTheLineWithoutRedirection) {
    LogOn();
    for (int mode : {CmdLogged, CmdFatal}) {
        FakeOs::lines.clear();
        testing::internal::CaptureStdout();
        EXPECT_EQ(SysCmd(CmdChmod, mode, "755 %s", "/opt/x"), 0);
        fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), ".");
        ASSERT_EQ(FakeOs::lines.size(), 1u);
        EXPECT_EQ(FakeOs::lines[0],
                  "/usr/bin/sh -c \"/usr/bin/chmod  755 /opt/x" + Redirect() + "\"");
    }
    EXPECT_EQ(ReadLog(), "/usr/bin/sh -c \"/usr/bin/chmod  755 /opt/x\n"
                         "/usr/bin/sh -c \"/usr/bin/chmod  755 /opt/x\n");
}

TEST_F(RunnerLines, WithoutTheLogOutputGoesToDevNull) {
    EXPECT_EQ(SysCmd(CmdRmR, CmdLogged, "%s", "/w"), 0);
    EXPECT_EQ(FakeOs::lines.back(),
              "/usr/bin/sh -c \"/usr/bin/rm -rf /w 1>>/dev/null 2>>/dev/null\"");
    EXPECT_FALSE(Exists(Log()));
}

TEST_F(RunnerLines, ALogThatCannotBeUsedSendsTheOutputNowhereAndFailsNothing) {
    LogOn();
    ASSERT_EQ(mkdir(Log().c_str(), 0755), 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(SysCmd(CmdRmR, CmdFatal, "%s", "/w"), 0);
    EXPECT_EQ(SysCmd(CmdCp, CmdLogged, "%s", "a b"), 0);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "..");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: couldn't open " + Log() + "\n");
    ASSERT_EQ(FakeOs::lines.size(), 2u);
    EXPECT_EQ(FakeOs::lines[0], "/usr/bin/sh -c \"/usr/bin/rm -rf /w 1>>/dev/null 2>>/dev/null\"");
    EXPECT_EQ(FakeOs::lines[1], "/usr/bin/sh -c \"/usr/bin/cp -p a b 1>>/dev/null 2>>/dev/null\"");
    rmdir(Log().c_str());
}

TEST_F(RunnerLines, CommandLinesAreNotLoggedBeforeTheSearch) {
    flUseLog = 1; // flSysCmdLog still clear
    testing::internal::CaptureStdout();
    SysCmd(CmdChmod, CmdLogged, "755 %s", "/x");
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/sh -c \"/usr/bin/chmod  755 /x" + Redirect() + "\"");
    EXPECT_EQ(ReadLog(), ""); // prepared for the output, nothing written
}

TEST_F(RunnerLines, NegativeIndexRunsUnshown) {
    LogOn();
    testing::internal::CaptureStdout();
    SysCmd(-CmdPkgadd, CmdFatal, "-d %s %s", "/tmp/w", "QDRNvqmm");
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/sh -c \"/usr/bin/pkgadd  -d /tmp/w QDRNvqmm\"");
    EXPECT_FALSE(Exists(Log()));
}

TEST_F(RunnerLines, WholeLineIndices) {
    LogOn();
    SysCmd(CmdText, CmdLogged, "echo %s", "hi");
    EXPECT_EQ(FakeOs::lines.back(), "echo hi" + Redirect());
    SysCmd(CmdTextUnshown, CmdLogged, "echo %s", "hi");
    EXPECT_EQ(FakeOs::lines.back(), "echo hi");
    SysCmd(CmdTextUnshown, CmdQuiet, "echo %s", "hi");
    EXPECT_EQ(FakeOs::lines.back(), "echo hi 1>/dev/null 2>/dev/null");
    SysCmd(CmdText, 7, "echo %s", "hi"); // any other mode: terminal, not logged
    EXPECT_EQ(FakeOs::lines.back(), "echo hi");
    EXPECT_EQ(ReadLog(), "echo hi\n");
}

TEST_F(RunnerLines, PathsWithShellCharactersAreQuotedForBothShells) {
    const char *path = "/opt/a b/$x\"`y`\\z'q";
    QuotedArg table(CmdRmR, path);
    SysCmd(CmdRmR, CmdQuiet, "%s", table.text);
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/sh -c \"/usr/bin/rm -rf "
                                    "'/opt/a b/\\$x\\\"\\`y\\`\\\\z'\\\\''q'"
                                    " 1>/dev/null 2>/dev/null\"");
    QuotedArg whole(CmdText, path);
    SysCmd(CmdText, CmdQuiet, "rm -rf %s", whole.text);
    EXPECT_EQ(FakeOs::lines.back(), "rm -rf '/opt/a b/$x\"`y`\\z'\\''q' 1>/dev/null 2>/dev/null");
    QuotedArg plain(CmdRmR, "/opt/Corla-1.2/v_q+m,m:@%=");
    EXPECT_STREQ(plain.text, "/opt/Corla-1.2/v_q+m,m:@%=");
}

TEST_F(RunnerLines, AnUnusualProgramNameIsQuotedInTheRedirection) {
    static char name[64];
    snprintf(name, sizeof name, "corla t%d", int(getpid()));
    my_name = name;
    LogOn();
    SysCmd(CmdChmod, CmdLogged, "%s", "x");
    std::string log = "'/tmp/" + std::string(name) + ".log'";
    EXPECT_EQ(FakeOs::lines.back(),
              "/usr/bin/sh -c \"/usr/bin/chmod  x 1>>" + log + " 2>>" + log + "\"");
    unlink(Log().c_str());
}

TEST_F(RunnerLines, TheLogIsNeverATargetThroughALink) {
    LogOn();
    std::string victim = Dir() + "/victim";
    WriteFile(victim, "precious\n");
    ASSERT_EQ(symlink(victim.c_str(), Log().c_str()), 0);
    SysCmd(CmdChmod, CmdLogged, "%s", "x");
    EXPECT_EQ(ReadFile(victim), "precious\n");
    EXPECT_EQ(GetFileType(Log().c_str()), FileOther);
}

TEST_F(RunnerLines, WaitsAfterTheCommandAsTheTableSays) {
    SysCmd(CmdCancel, CmdQuiet, "%s", "lp-1");
    SysCmd(CmdLpadmin, CmdQuiet, "%s", "-x q");
    SysCmd(CmdChmod, CmdQuiet, "%s", "x");
    SysCmd(CmdText, CmdQuiet, "%s", "true");
    EXPECT_EQ(FakeOs::sleeps, (std::vector<unsigned>{2, 1}));
}

// A scope in which lpsched waits for its process to show up.
struct WaitForProcess {
    WaitForProcess() { ComList[CmdLpsched].wait = CmdWaitProcess; }
    ~WaitForProcess() { ComList[CmdLpsched].wait = 1; }
};

TEST_F(RunnerLines, WaitingForAProcessLooksAtTheProcessList) {
    WaitForProcess waiting;
    LogOn();
    FakeOs::popenQueue = {"  PID TTY TIME CMD\n", "",
                          "  PID TTY TIME CMD\n  812 ?  0:00 lpsched\n"};
    SysCmd(CmdLpsched, CmdQuiet, "%s", "");
    EXPECT_EQ(FakeOs::sleeps, (std::vector<unsigned>{1, 1}));
    EXPECT_EQ(FakeOs::lines[1], "/usr/bin/ps -e ");
    EXPECT_EQ(ReadLog(), "");
}

TEST_F(RunnerLines, WaitingForAProcessTimesOutAfterTenSeconds) {
    WaitForProcess waiting;
    LogOn();
    FakeOs::popenOutput = "  PID TTY TIME CMD\n  813 ?  0:00 lpschedx\n";
    SysCmd(CmdLpsched, CmdQuiet, "%s", "");
    EXPECT_EQ(FakeOs::sleeps, std::vector<unsigned>(10, 1));
    EXPECT_EQ(ReadLog(), "ERROR: Time out for command lpsched\n");
}

TEST_F(RunnerLines, ALineThatWouldNotFitIsRefusedNotCut) {
    // Index 1 in mode 0: the text and " 1>/dev/null 2>/dev/null" (24 characters).
    const size_t most = CmdLineSize - 1 - 24;
    for (size_t len : {most - 1, most}) {
        std::string text(len, 'e');
        EXPECT_EQ(SysCmd(CmdText, CmdQuiet, "%s", text.c_str()), 0);
        EXPECT_EQ(FakeOs::lines.back().size(), len + 24);
    }
    FakeOs::lines.clear();
    std::string text(most + 1, 'e');
    testing::internal::CaptureStderr();
    EXPECT_EQ(SysCmd(CmdText, CmdQuiet, "%s", text.c_str()), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(FakeOs::lines.empty());
    EXPECT_NE(err.find("WARNING: command line for eeee"), std::string::npos) << err;
    EXPECT_NE(err.find("longer than 4095 characters refused"), std::string::npos) << err;
}

TEST_F(RunnerLines, ARefusedLineInModeOneIsLoggedAsAWarning) {
    LogOn();
    std::string text(CmdLineSize, 'f');
    testing::internal::CaptureStderr();
    EXPECT_EQ(SysCmd(CmdRmR, CmdLogged, "%s", text.c_str()), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(FakeOs::lines.empty());
    EXPECT_EQ(ReadLog(), "WARNING_MSG: command line for rm longer than 4095 characters refused\n");
}

TEST_F(RunnerLines, ARefusedLineInModeTwoEndsTheRun) {
    LogOn();
    std::string text(CmdLineSize, 'f');
    ChildResult child = RunInChild([&] { SysCmd(CmdRmR, CmdFatal, "%s", text.c_str()); });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.out, "ERROR: command line for rm longer than 4095 characters refused\n");
    EXPECT_EQ(ReadLog(), "ERROR: command line for rm longer than 4095 characters refused\n");
}

TEST_F(RunnerLines, ASignalIsNamed) {
    LogOn();
    FakeOs::systemStatus = SIGKILL; // wait status of a process killed by signal 9
    EXPECT_EQ(SysCmd(CmdChmod, CmdLogged, "%s", "x"), 128 + SIGKILL);
    EXPECT_NE(ReadLog().find("WARNING_MSG: command chmod killed by signal 9 (Killed)\n"),
              std::string::npos)
        << ReadLog();
}

TEST_F(RunnerLines, ATableCommandWithoutAPathEndsTheRunWithStatusZero) {
    ComList[CmdChmod].path = nullptr;
    ChildResult child = RunInChild([] { SysCmd(CmdChmod, CmdLogged, "%s", "x"); });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.err, "ERROR: unable to locate system command 'chmod'\n");
    child = RunInChild([] { GetCmdResponse(CmdChmod, nullptr, "%s", "x"); });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.err, "ERROR: unable to locate system command 'chmod'\n");
    child = RunInChild([] { SysCmd(CmdEnd, CmdLogged, "%s", "x"); });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.err, "ERROR: unable to locate system command '82'\n");
}

TEST_F(RunnerLines, GetCmdResponseRunsThePlainLine) {
    FakeOs::popenOutput = "5.5.1\n";
    CmdResponse *response = GetCmdResponse(CmdUname, nullptr, "%s", "-r");
    ASSERT_NE(response, nullptr);
    EXPECT_STREQ(response->text, "5.5.1\n");
    EXPECT_EQ(response->next, nullptr);
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/uname  -r");
    FreeResponseList(response);
    FreeResponseList(nullptr);

    GetCmdResponse(CmdText, nullptr, "%s", "echo x");
    EXPECT_EQ(FakeOs::lines.back(), "echo x");
}

TEST_F(RunnerLines, GetCmdResponseRefusesALineThatWouldNotFit) {
    std::string fits(CmdLineSize - 1 - strlen("/usr/bin/ls  "), 'a');
    GetCmdResponse(CmdLs, nullptr, "%s", fits.c_str());
    ASSERT_EQ(FakeOs::lines.size(), 1u);
    EXPECT_EQ(FakeOs::lines[0].size(), CmdLineSize - 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetCmdResponse(CmdLs, nullptr, "%s", (fits + "a").c_str()), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("refused"), std::string::npos);
    EXPECT_EQ(FakeOs::lines.size(), 1u);
}

TEST_F(RunnerLines, RawCommandsPrintRunAndPause) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmdP(CmdLogged, "lpstat -p %s", "q1"), 0);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "lpstat -p q1\n");
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{"lpstat -p q1", "/usr/bin/sleep 1"}));

    FakeOs::lines.clear();
    testing::internal::CaptureStdout();
    SysCmdP(CmdQuiet, "%s", "a%sb"); // a text holding "%s" is printed and run as it is
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(FakeOs::lines[0], "a%sb");
}

TEST_F(RunnerLines, RawCommandFailureInModeTwoEndsTheRun) {
    LogOn();
    // Exit status 2: its wait status shifted by 7 is 4, which once counted as
    // an interrupted call and went unreported.
    FakeOs::systemStatus = 2 << 8;
    ChildResult child = RunInChild([] { SysCmdP(CmdFatal, "%s", "lpadmin -x q"); });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.err, "ERROR: unable to locate system command '%s'\n");
    EXPECT_EQ(child.out, "lpadmin -x q\nERROR: command exited with status 2\n");
    EXPECT_EQ(ReadLog(), "ERROR: command exited with status 2\n");
}

TEST_F(RunnerLines, RawCommandFailureInModeOneIsReportedAndTheRunGoesOn) {
    LogOn();
    FakeOs::systemStatus = 1 << 8;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmdP(CmdLogged, "%s", "false"), 1);
    fflush(stdout);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: command exited with status 1\n");
    EXPECT_EQ(ReadLog(), "WARNING_MSG: command exited with status 1\n");
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/sleep 1");
}

TEST_F(RunnerLines, RawCommandLinesAreBoundedAt511) {
    std::string fits(RawCmdLineSize - 1, 'r');
    SysCmdP(CmdQuiet, "%s", fits.c_str());
    EXPECT_EQ(FakeOs::lines[0], fits);
    FakeOs::lines.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(SysCmdP(CmdQuiet, "%s", (fits + "r").c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: command line longer than 511 characters refused\n");
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{"/usr/bin/sleep 1"}));
}

// The wait statuses system() yields, as the runner judges them.
TEST(JudgeStatus, StatusesAndTheirTexts) {
    struct Case {
        int status, error;
        const char *name;
        int judged;
        const char *message;
    } cases[] = {
        {0, 0, "cp", 0, ""},
        {2 << 8, 0, "cp", 2, "command cp exited with status 2"},
        {127 << 8, 0, "cp", 127, "command cp exited with status 127"},
        {SIGKILL, 0, "cp", 128 + 9, "command cp killed by signal 9 (Killed)"},
        {-1, EAGAIN, "cp", -1, "command cp could not be run: Resource temporarily unavailable"},
        {-1, 0, "cp", -1, "command cp could not be run: unknown error"},
        {0x137f, 0, "cp", -1, "command cp ended with wait status 4991"}, // stopped by 19
        {2 << 8, 0, nullptr, 2, "command exited with status 2"},
        {SIGKILL, 0, nullptr, 128 + 9, "command killed by signal 9 (Killed)"},
        {-1, 0, nullptr, -1, "command could not be run: unknown error"},
    };
    for (const Case &c : cases) {
        char message[512] = "left over";
        EXPECT_EQ(JudgeStatus(c.status, c.error, c.name, message, sizeof message), c.judged)
            << c.status;
        EXPECT_STREQ(message, c.message) << c.status;
        EXPECT_EQ(JudgeStatus(c.status, c.error, c.name, nullptr, 0), c.judged) << c.status;
    }
    char small[12];
    JudgeStatus(2 << 8, 0, "cp", small, sizeof small);
    EXPECT_STREQ(small, "command cp "); // bounded by its size
}

// Commands that really run: stand-ins in the test directory, the shell
// linked there too.
class RunnerRuns : public SysLayerTest {
  protected:
    void SetUp() override {
        SysLayerTest::SetUp();
        flInitSysCmd = 0;
        StandInShell();
        UseRecordedSleep();
    }
};

TEST_F(RunnerRuns, AFailingCommandIsJudgedByItsOwnStatus) {
    StandIn("chmod", "exit 3");
    flUseLog = 1;
    flSysCmdLog = 1;
    errno = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmd(CmdChmod, CmdLogged, "%s", "x"), 3);
    fflush(stdout);
    testing::internal::GetCapturedStdout();
    std::string log = ReadLog();
    EXPECT_NE(log.find("WARNING_MSG: command chmod exited with status 3\n"), std::string::npos)
        << log;
}

TEST_F(RunnerRuns, AFailureInFatalModeEndsTheRunWithStatusOne) {
    StandIn("chmod", "echo chmod says no >&2; exit 1");
    flUseLog = 1;
    flSysCmdLog = 1;
    ChildResult child = RunInChild([] { SysCmd(CmdChmod, CmdFatal, "%s", "x"); });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.out, ".ERROR: command chmod exited with status 1\n");
    std::string line = Dir() + "/sh -c \"" + Dir() + "/chmod  x\n";
    EXPECT_EQ(ReadLog(), line + "chmod says no\nERROR: command chmod exited with status 1\n");
}

TEST_F(RunnerRuns, AnUnshownFailureInFatalModeStillEndsTheRun) {
    StandIn("pkgadd", "exit 5");
    ChildResult child = RunInChild([] { SysCmd(-CmdPkgadd, CmdFatal, "%s", "-d x"); });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.out, "ERROR: command pkgadd exited with status 5\n");
}

TEST_F(RunnerRuns, QuietModeDoesNotReportButReturnsTheStatus) {
    StandIn("chmod", "exit 4");
    flUseLog = 1;
    flSysCmdLog = 1;
    EXPECT_EQ(SysCmd(CmdChmod, CmdQuiet, "%s", "x"), 4);
    EXPECT_FALSE(Exists(LogPath()));
}

TEST_F(RunnerRuns, OutputOfLoggedCommandsLandsInTheLogInOrder) {
    StandIn("echo", "printf '%s\\n' \"$*\"; printf 'oops\\n' >&2");
    flUseLog = 1;
    flSysCmdLog = 1;
    testing::internal::CaptureStdout();
    SysCmd(CmdEcho, CmdLogged, "%s", "one");
    SysCmd(CmdEcho, CmdFatal, "%s", "two");
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "..");
    std::string prefix = Dir() + "/sh -c \"" + Dir() + "/echo  ";
    EXPECT_EQ(ReadLog(), prefix + "one\none\noops\n" + prefix + "two\ntwo\noops\n");
}

TEST_F(RunnerRuns, QuotedArgumentsArriveWhole) {
    StandIn("touch", "printf '%s|' \"$@\" >>" + Dir() + "/args");
    const char *names[] = {"plain", "a b",         "$HOME",          "`id`",  "q\"uote",
                           "it's",  "back\\slash", "semi;colon&amp", "star*", "new\nline"};
    std::string expected;
    for (const char *name : names) {
        QuotedArg arg(CmdTouch, name);
        EXPECT_EQ(SysCmd(CmdTouch, CmdQuiet, "%s", arg.text), 0) << name;
        QuotedArg whole(CmdText, name);
        std::string touch = Dir() + "/touch";
        EXPECT_EQ(SysCmd(CmdText, CmdQuiet, "%s %s", touch.c_str(), whole.text), 0) << name;
        expected += std::string(name) + "|" + name + "|";
    }
    EXPECT_EQ(ReadFile(Dir() + "/args"), expected);
}

TEST_F(RunnerRuns, GetCmdResponseKeepsFilteredLinesAndSplitsLongOnes) {
    StandIn("lpc", "printf 'a LPRng\\nb\\nc LPRng'");
    CmdResponse *response = GetCmdResponse(CmdLpc, "LPRng", "%s", "");
    ASSERT_NE(response, nullptr);
    EXPECT_STREQ(response->text, "a LPRng\n");
    ASSERT_NE(response->next, nullptr);
    EXPECT_STREQ(response->next->text, "c LPRng"); // as read: no line feed added
    EXPECT_EQ(response->next->next, nullptr);
    FreeResponseList(response);

    response = GetCmdResponse(CmdLpc, "", "%s", "");
    int count = 0;
    for (CmdResponse *r = response; r != nullptr; r = r->next)
        ++count;
    EXPECT_EQ(count, 3);
    FreeResponseList(response);

    StandIn("cat", "head -c 5000 /dev/zero | tr '\\0' x; echo");
    response = GetCmdResponse(CmdCat, nullptr, "%s", "");
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(strlen(response->text), CmdLineSize - 1);
    ASSERT_NE(response->next, nullptr);
    EXPECT_EQ(std::string(response->next->text), std::string(5000 - 4095, 'x') + "\n");
    FreeResponseList(response);
}

TEST_F(RunnerRuns, NoOutputYieldsNothing) {
    StandIn("lpc", "exit 0");
    EXPECT_EQ(GetCmdResponse(CmdLpc, nullptr, "%s", ""), nullptr);
    EXPECT_EQ(GetCmdResponseStr(CmdLpc, nullptr, "%s", ""), nullptr);
    StandIn("lprm", "echo nothing here");
    EXPECT_EQ(GetCmdResponse(CmdLprm, "LPRng", "%s", ""), nullptr);
}

TEST_F(RunnerRuns, GetCmdResponseStrJoinsLinesEachEndingInALineFeed) {
    StandIn("lpc", "printf 'one LPRng\\ntwo\\nthree LPRng'");
    char *text = GetCmdResponseStr(CmdLpc, nullptr, "%s", "");
    EXPECT_STREQ(text, "one LPRng\ntwo\nthree LPRng\n");
    PutMem(text);
    text = GetCmdResponseStr(CmdLpc, "LPRng", "%s", "");
    EXPECT_STREQ(text, "one LPRng\nthree LPRng\n");
    PutMem(text);
}

TEST_F(RunnerRuns, ReadResponseListSizesEachRecordForItsLine) {
    // Every length around the size of the record's two pointers: an
    // allocation that is too small is an overrun the allocator reports.
    std::string input;
    for (size_t len = 0; len < 40; ++len)
        input += std::string(len, 'r') + "\n";
    FILE *stream = fmemopen(input.data(), input.size(), "r");
    CmdResponse *response = ReadResponseList(stream, nullptr);
    fclose(stream);
    size_t len = 0;
    for (CmdResponse *r = response; r != nullptr; r = r->next, ++len) {
        EXPECT_EQ(r->text, reinterpret_cast<char *>(r + 1));
        EXPECT_EQ(std::string(r->text), std::string(len, 'r') + "\n");
    }
    EXPECT_EQ(len, 40u);
    FreeResponseList(response);
}

} // namespace
