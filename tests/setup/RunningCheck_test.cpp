// The running-program check: the process list served from memory, the
// operator's answers from a file, the waits recorded instead of slept.
#include "RunningCheck.h"

#include "SetupStepTest.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using corla_test::ChildResult;
using corla_test::FakeOs;
using corla_test::RunInChild;

constexpr const char *NoneRuns = "  PID TTY         TIME CMD\n    1 ?           0:00 sh\n";
constexpr const char *CsfRuns = "  PID TTY         TIME CMD\n    1 ?           0:00 sh\n"
                                "   42 ?           0:01 csf\n   43 ?           0:00 csf\n";

const std::string Menu = "\nThe following processes are running.\nThe installer can not continue "
                         "until these terminate:\n"
                         "csf ( 42 43 )\n\n"
                         "Would you like to:\n"
                         "1.  Wait 30 seconds for these processes to terminate\n"
                         "2.  Quit the installation\n"
                         "\nEnter a selection:  ";

class RunningCheckTest : public corla_test::SetupStepTest {
  protected:
    void SetUp() override {
        SetupStepTest::SetUp();
        UseFakeOs();
    }
    // One ps listing per look at the process table, in order (a look runs
    // ps once for each of the suite's seven programs).
    static void Listings(std::initializer_list<const char *> listings) {
        for (const char *text : listings)
            for (int program = 0; program < 7; ++program)
                FakeOs::popenQueue.emplace_back(text);
    }
    // Run the check in a child with input on standard input; the child
    // prints the result and the recorded sleeps after the menu output.
    ChildResult Check(const std::string &input, const char *list = pBinaryInstanceCheckList) {
        corla_test::WriteFile(Dir() + "/in", input);
        std::string in = Dir() + "/in";
        return RunInChild([&] {
            if (freopen(in.c_str(), "r", stdin) == nullptr) exit(3);
            int result = QuitForRunningProcesses(list);
            printf("|result=%d sleeps=%zu", result, FakeOs::sleeps.size());
        });
    }
};

TEST_F(RunningCheckTest, NothingRunningReturnsAtOnceAndPrintsNothing) {
    Listings({NoneRuns});
    ChildResult child = Check("");
    EXPECT_EQ(child.out, "|result=0 sleeps=0");
}

TEST_F(RunningCheckTest, EmptyListsNeverRun) {
    ChildResult child = Check("", ",,");
    EXPECT_EQ(child.out, "|result=0 sleeps=0");
    child = Check("", "");
    EXPECT_EQ(child.out, "|result=0 sleeps=0");
}

TEST_F(RunningCheckTest, QuitAnswer) {
    Listings({CsfRuns});
    ChildResult child = Check("2\n");
    EXPECT_EQ(child.out, Menu + "|result=1 sleeps=0");
}

TEST_F(RunningCheckTest, WaitingUntilTheProgramsEnd) {
    // csf still runs after the first pass of five seconds, not after the
    // second: no second menu.
    Listings({CsfRuns, CsfRuns, NoneRuns});
    ChildResult child = Check("1\n");
    EXPECT_EQ(child.out, Menu + "|result=0 sleeps=2");
}

TEST_F(RunningCheckTest, StillRunningAfterThirtySecondsShowsTheMenuAgain) {
    Listings({CsfRuns, CsfRuns, CsfRuns, CsfRuns, CsfRuns, CsfRuns, CsfRuns, CsfRuns});
    ChildResult child = Check("1\n2\n");
    EXPECT_EQ(child.out, Menu + Menu + "|result=1 sleeps=6");
}

TEST_F(RunningCheckTest, AnyOtherAnswerAsksAgainAfterAFreshLook) {
    Listings({CsfRuns, CsfRuns, NoneRuns});
    ChildResult child = Check("x\n\n");
    EXPECT_EQ(child.out, Menu + Menu + "|result=0 sleeps=0");
}

TEST_F(RunningCheckTest, TheRestOfAnAnswerLineIsNotASecondAnswer) {
    // "12": the choice is "1"; the "2" is not taken as quitting afterwards.
    Listings({CsfRuns, NoneRuns});
    ChildResult child = Check("12\n2\n");
    EXPECT_EQ(child.out, Menu + "|result=0 sleeps=1");
}

TEST_F(RunningCheckTest, EndOfInputQuits) {
    Listings({CsfRuns, CsfRuns});
    ChildResult child = Check("");
    EXPECT_EQ(child.out, Menu + "|result=1 sleeps=0");
}

TEST_F(RunningCheckTest, TheSuitesList) {
    EXPECT_STREQ(pBinaryInstanceCheckList, ",pmadmin,pmqadmin,plimto,pmrvqmmtty,PMQ,PMRM,csf,");
}

} // namespace
