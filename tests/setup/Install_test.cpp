// The checks before installing (operator, system release, old daemon) with
// whoami and uname answered from memory, and the print-subsystem flag file.
#include "Install.h"
#include "Readiness.h"

#include "SetupStepTest.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using corla_test::ChildResult;
using corla_test::FakeOs;
using corla_test::ModeOf;
using corla_test::ReadFile;
using corla_test::RunInChild;
using corla_test::WriteFile;

const std::string ContinuePrompt = "\nDo You want to continue with the installation? [yn] ";
const std::string OldDaemonNotice =
    "\nIf you currently have Corla printer software installed that uses PlimtoD\nprint daemon, "
    "you must delete all your Corla print queues prior to installing\nthis package.\n\nNOTE: "
    "PlimtoD is located in <install directory>/Corla/vqmm\n";

class ReadyTest : public corla_test::SetupStepTest {
  protected:
    void SetUp() override {
        SetupStepTest::SetUp();
        UseFakeOs();
    }
    // whoami and uname -r answers (an empty text: no output).
    void Answers(const std::string &user, const std::string &release) {
        FakeOs::popenByPrefix.emplace_back(Command(CmdWhoami), user);
        FakeOs::popenByPrefix.emplace_back(Command(CmdUname), release);
    }
    static std::string Command(int index) {
        char *cmd = GetCmd(index);
        std::string text = cmd != nullptr ? cmd : "?";
        PutMem(cmd);
        return text;
    }
    // readyForInstallation in a child with input on standard input; prints
    // "|<result>" when it returns.
    ChildResult Ready(const std::string &input = "") {
        WriteFile(Dir() + "/in", input);
        std::string in = Dir() + "/in";
        return RunInChild([&] {
            if (freopen(in.c_str(), "r", stdin) == nullptr) exit(3);
            int result = readyForInstallation();
            printf("|%d", result);
        });
    }
};

TEST_F(ReadyTest, OnlyRootMayInstall) {
    Answers("jdoe\n", "5.5.1\n");
    ChildResult child = Ready();
    EXPECT_EQ(child.out,
              "jdoe is logged in\nYou must become root to run " + std::string(my_name) + "\n|0");
}

TEST_F(ReadyTest, NoUserNameIsNotRoot) {
    Answers("", "5.5.1\n");
    ChildResult child = Ready();
    EXPECT_EQ(child.out.substr(0, 14), " is logged in\n");
    EXPECT_EQ(child.out.substr(child.out.size() - 2), "|0");
}

TEST_F(ReadyTest, ReleasesUpTo559Pass) {
    for (const char *release : {"5.5.1\n", "5.5.9\n", "5.10\n", "", "   \n", "5.5 extra\n"}) {
        FakeOs::popenByPrefix.clear();
        Answers("root\n", release);
        ChildResult child = Ready();
        EXPECT_EQ(child.out, "|1") << release;
        EXPECT_EQ(child.err, "") << release;
    }
}

TEST_F(ReadyTest, ALaterReleaseIsRefusedAfterTheCleanUp) {
    for (const char *release : {"5.6\n", "5.5.91\n", "6.1.0-generic\n"}) {
        FakeOs::popenByPrefix.clear();
        Answers("root\n", release);
        ChildResult child = Ready();
        EXPECT_EQ(child.status, 0) << release;
        EXPECT_EQ(child.err, "\nERROR: You are trying to load the wrong version of the Ostrana "
                             "Services for Unix Systems software to this machine.\n");
        EXPECT_EQ(child.out, "..\n"); // the clean-up's pmqadmin calls
    }
}

TEST_F(ReadyTest, AnOldDaemonAsksUntilTheAnswerIsKnown) {
    Answers("root\n", "5.5.1\n");
    MakeAppDir();
    WriteFile(App() + "/PlimtoDStop", "");
    ChildResult child = Ready("maybe\n\nY\nyes\n");
    EXPECT_EQ(child.out, OldDaemonNotice + ContinuePrompt + ContinuePrompt + ContinuePrompt +
                             ContinuePrompt + "|1");
}

TEST_F(ReadyTest, TheNegativeAnswersEndTheRun) {
    Answers("root\n", "5.5.1\n");
    MakeAppDir();
    WriteFile(App() + "/PlimtoD", "");
    for (const char *answer : {"n\n", "no\n", "no thanks\n", ""}) {
        ChildResult child = Ready(answer);
        EXPECT_EQ(child.status, 0) << answer;
        EXPECT_EQ(child.out, OldDaemonNotice + ContinuePrompt) << answer;
    }
}

TEST_F(ReadyTest, AnOverlongAnswerCountsOnce) {
    Answers("root\n", "5.5.1\n");
    MakeAppDir();
    WriteFile(App() + "/PlimtoD", "");
    ChildResult child = Ready(std::string(600, 'x') + "\ny\n");
    EXPECT_EQ(child.out, OldDaemonNotice + ContinuePrompt + ContinuePrompt + "|1");
}

class PmCfgTest : public corla_test::SetupStepTest {
  protected:
    void SetUp() override {
        SetupStepTest::SetUp();
        MakeAppDir();
        flInitSysCmd = 0; // only the stand-ins given here are found
    }
    std::string Cfg() { return ReadFile(App() + "/.pm_cfg"); }
};

TEST_F(PmCfgTest, DefaultIsV5WithMode644) {
    mode_t old = umask(077);
    createPrintingSubsystemFile(App().c_str());
    umask(old);
    EXPECT_EQ(Cfg(), " V5 ");
    EXPECT_EQ(ModeOf(App() + "/.pm_cfg"), 0644u);
}

TEST_F(PmCfgTest, LprngWhenLpdSaysSo) {
    StandIn("lpd", "echo 'LPRng-3.8.B, Kerberos5, Copyright 1988-2003 Patrick Powell' >&2");
    createPrintingSubsystemFile(App().c_str());
    EXPECT_EQ(Cfg(), " LPRng ");
}

TEST_F(PmCfgTest, AnotherLpdIsNotLprng) {
    StandIn("lpd", "echo 'lpd: BSD spooler' >&2");
    createPrintingSubsystemFile(App().c_str());
    EXPECT_EQ(Cfg(), " V5 ");
}

TEST_F(PmCfgTest, CupsWinsOverLprng) {
    StandIn("lpd", "echo LPRng-3.8.B >&2");
    StandIn("cupsd", "exit 0");
    createPrintingSubsystemFile(App().c_str());
    EXPECT_EQ(Cfg(), " CUPS ");
}

TEST_F(PmCfgTest, TheFileIsNeverWrittenThroughALink) {
    std::string victim = Dir() + "/victim";
    WriteFile(victim, "keep", 0600);
    ASSERT_EQ(symlink(victim.c_str(), (App() + "/.pm_cfg").c_str()), 0);
    createPrintingSubsystemFile(App().c_str());
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_EQ(ModeOf(victim), 0600u);
    EXPECT_EQ(Cfg(), " V5 ");
}

TEST_F(PmCfgTest, AFileThatCannotBeCreatedIsReportedAndTheRunGoesOn) {
    std::string missing = Dir() + "/nowhere";
    ChildResult child = RunInChild([&] { createPrintingSubsystemFile(missing.c_str()); });
    EXPECT_EQ(child.status, corla_test::ChildReturned);
    EXPECT_EQ(child.err, "ERROR: couldn't open " + missing + "/.pm_cfg\n");
}

} // namespace
