// The space check: the arithmetic on the figures, and the whole check with
// df and du answers served from memory.
#include "Space.h"

#include "SetupStepTest.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using corla_test::ChildResult;
using corla_test::FakeOs;
using corla_test::RunInChild;

DiskSpace Disk(const char *device, double avail) {
    DiskSpace space{};
    snprintf(space.line, sizeof space.line, "%-20s %8.0f\n", device, avail);
    space.avail = avail;
    return space;
}

// isize 1000, tsize 500: needs 1040 and 540.
SpaceFigures Figures(DiskSpace work, DiskSpace install) {
    SpaceFigures f{};
    f.installNeed = 1040;
    f.workNeed = 540;
    f.work = work;
    f.install = install;
    return f;
}

TEST(JudgeSpace, TwoFileSystemsWithRoomPass) {
    SpaceFigures f = Figures(Disk("/dev/dsk/c0t0d0s5", 2000), Disk("/dev/dsk/c0t1d0s0", 1100));
    EXPECT_EQ(JudgeSpace(f, nullptr), SpaceEnough);
    f.work.avail = 540; // exactly the need is enough
    f.install.avail = 1040;
    EXPECT_EQ(JudgeSpace(f, nullptr), SpaceEnough);
}

TEST(JudgeSpace, TwoFileSystemsShortWorkArea) {
    SpaceFigures f = Figures(Disk("/dev/dsk/c0t0d0s5", 539), Disk("/dev/dsk/c0t1d0s0", 1100));
    EXPECT_EQ(JudgeSpace(f, nullptr), SpaceWorkShort);
}

TEST(JudgeSpace, TwoFileSystemsShortInstallation) {
    SpaceFigures f = Figures(Disk("/dev/dsk/c0t0d0s5", 2000), Disk("/dev/dsk/c0t1d0s0", 1039));
    EXPECT_EQ(JudgeSpace(f, nullptr), SpaceInstallShort);
}

TEST(JudgeSpace, OneFileSystemCountsItsFreeSpaceOnce) {
    // 1500 free for both, nothing existing yet: 1500 < 1580.
    SpaceFigures f = Figures(Disk("/dev/dsk/c0t0d0s5", 1500), Disk("/dev/dsk/c0t0d0s5", 1500));
    f.remeasured = 1500;
    double room = 0;
    EXPECT_EQ(JudgeSpace(f, &room), SpaceSharedShort);
    EXPECT_EQ(room, 1500);
    f.work.avail = f.install.avail = f.remeasured = 1580;
    EXPECT_EQ(JudgeSpace(f, &room), SpaceEnough);
}

TEST(JudgeSpace, AnEarlierApplicationDirectoryCountsAsFree) {
    // 1500 free; the existing application directory holds 200 more.
    SpaceFigures f = Figures(Disk("/dev/dsk/c0t0d0s5", 1500), Disk("/dev/dsk/c0t0d0s5", 1700));
    f.remeasured = 1500;
    double room = 0;
    EXPECT_EQ(JudgeSpace(f, &room), SpaceEnough);
    EXPECT_EQ(room, 1700);
    // An existing work area of 100 counts as well.
    f.work.avail = 1600;
    EXPECT_EQ(JudgeSpace(f, &room), SpaceEnough);
    EXPECT_EQ(room, 1800);
}

TEST(JudgeSpace, SameFileSystemEvenWhenItsFreeSpaceChangedBetweenQueries) {
    SpaceFigures f = Figures(Disk("swap", 1500), Disk("swap", 1498));
    f.remeasured = 1490;
    double room = 0;
    // Taken as two file systems, each need alone would pass.
    EXPECT_EQ(JudgeSpace(f, &room), SpaceSharedShort);
}

TEST(JudgeSpace, ANewDirectoryNeedsMoreThanSeventeenFree) {
    SpaceFigures f = Figures(Disk("/dev/a", 5000), Disk("/dev/b", 5000));
    f.creates = true;
    f.parentAvail = 17;
    EXPECT_EQ(JudgeSpace(f, nullptr), SpaceParentFull);
    f.parentAvail = 18;
    EXPECT_EQ(JudgeSpace(f, nullptr), SpaceEnough);
    f.creates = false;
    f.parentAvail = 0;
    EXPECT_EQ(JudgeSpace(f, nullptr), SpaceEnough);
}

TEST(SameFileSystem, ComparesTheFileSystemNameOnly) {
    EXPECT_TRUE(SameFileSystem("/dev/dsk/c0t3d0s5      381552\n", "/dev/dsk/c0t3d0s5 12\n"));
    EXPECT_FALSE(SameFileSystem("/dev/dsk/c0t3d0s5 1\n", "/dev/dsk/c0t3d0s50 1\n"));
    EXPECT_FALSE(SameFileSystem("/dev/a 1\n", "/dev/b 1\n"));
    EXPECT_TRUE(SameFileSystem("", ""));
}

// The whole check, with df and du answering from memory.
class SpaceCheckTest : public corla_test::SetupStepTest {
  protected:
    void SetUp() override {
        SetupStepTest::SetUp();
        UseFakeOs();
        WriteFile(Dist() + "/isize", "1000\n");
        WriteFile(Dist() + "/tsize", "500\n");
    }
    static void WriteFile(const std::string &path, const std::string &text) {
        corla_test::WriteFile(path, text);
    }
    // df -b answers with device and avail for every query whose line ends in
    // path; du with size.
    static void Df(const std::string &path, const char *device, int avail) {
        char text[256];
        snprintf(text, sizeof text, "Filesystem              avail\n%-20s %8d\n", device, avail);
        FakeOs::popenByPrefix.emplace_back(DfPrefix() + path, text);
    }
    static void Du(const std::string &path, int size) {
        FakeOs::popenByPrefix.emplace_back(DuPrefix() + path, std::to_string(size) + "\t" + path);
    }
    static std::string DfPrefix() {
        char *cmd = GetCmd(CmdDf);
        std::string prefix = cmd != nullptr ? std::string(cmd) + " " : "df -b  ";
        PutMem(cmd);
        return prefix;
    }
    static std::string DuPrefix() {
        char *cmd = GetCmd(CmdDu);
        std::string prefix = cmd != nullptr ? std::string(cmd) + " " : "du -s  ";
        PutMem(cmd);
        return prefix;
    }
    ChildResult Check() {
        return RunInChild(
            [&] { FreeSpaceForInstall(pCorlaInstallDir, pTargetInstallDir, "Corla"); });
    }
};

TEST_F(SpaceCheckTest, EnoughRoomOnTwoFileSystemsReturns) {
    Df(Dir(), "/dev/dsk/c0t0d0s5", 2000);  // the work area's nearest existing path
    Df(Inst(), "/dev/dsk/c0t1d0s0", 1100); // the installation directory exists
    ASSERT_EQ(mkdir(Inst().c_str(), 0755), 0);
    ChildResult child = Check();
    EXPECT_EQ(child.status, corla_test::ChildReturned);
    EXPECT_EQ(child.out, "");
}

TEST_F(SpaceCheckTest, ShortWorkAreaNamesItAndItsNeed) {
    Df(Dir(), "/dev/dsk/c0t0d0s5", 539);
    Df(Inst(), "/dev/dsk/c0t1d0s0", 1100);
    ASSERT_EQ(mkdir(Inst().c_str(), 0755), 0);
    ChildResult child = Check();
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.out, "There isn't enough space in " + Work() +
                             " to perform the installation activities. The temporary work area "
                             "should be at least 5.400000e+02 bytes. Restart the installation "
                             "procedure using a work area that has enough space. \nie: 1. Use "
                             "/new_work_area_path in place of /tmp\n    2. Run `setup "
                             "/new_work_area_path`\n");
}

TEST_F(SpaceCheckTest, ShortInstallationNamesItAndItsNeed) {
    Df(Dir(), "/dev/dsk/c0t0d0s5", 2000);
    Df(Inst(), "/dev/dsk/c0t1d0s0", 1000);
    ASSERT_EQ(mkdir(Inst().c_str(), 0755), 0);
    ChildResult child = Check();
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.out.substr(0, child.out.find(" to perform")),
              "There isn't enough space in " + Inst());
    EXPECT_NE(child.out.find("at least 1.040000e+03 bytes"), std::string::npos);
}

TEST_F(SpaceCheckTest, OneFileSystemTooSmallForBoth) {
    Df(Dir(), "/dev/dsk/c0t0d0s5", 1500);
    Df(Inst(), "/dev/dsk/c0t0d0s5", 1500);
    ASSERT_EQ(mkdir(Inst().c_str(), 0755), 0);
    ChildResult child = Check();
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.out, "There isn't enough space to perform the installation activities. As "
                         "you are using a working directory, " +
                             Work() +
                             " on the same partition as the install directory you have "
                             "selected, " +
                             Inst() +
                             " this install requires 1.580000e+03 bytes free. Please re-run the "
                             "install specifing a different location for a working directory "
                             "or install directory. Please see the readme if you need help with "
                             "the syntax.");
}

TEST_F(SpaceCheckTest, ExistingApplicationDirectoryAndWorkAreaCountAsFree) {
    MakeAppDir();
    ASSERT_EQ(mkdir(Work().c_str(), 0755), 0);
    Df(Work(), "/dev/dsk/c0t0d0s5", 1400);
    Df(App(), "/dev/dsk/c0t0d0s5", 1400);
    Du(Work(), 100);
    Du(App(), 200);
    ChildResult child = Check();
    // 1400 free + 100 + 200 = 1700 >= 1580.
    EXPECT_EQ(child.status, corla_test::ChildReturned) << child.out;
}

TEST_F(SpaceCheckTest, FullParentOfANewDirectoryEndsBeforeTheNeedsAreCompared) {
    Df(Dir(), "/dev/dsk/c0t0d0s5", 90000);
    Df(Inst(), "/dev/dsk/c0t1d0s0", 17);
    ASSERT_EQ(mkdir(Inst().c_str(), 0755), 0);
    ChildResult child = Check();
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.out.substr(0, child.out.find(" to perform")),
              "There isn't enough space in " + Inst());
    EXPECT_NE(child.out.find("The install area should be at least 1.040000e+03 bytes"),
              std::string::npos);
}

TEST_F(SpaceCheckTest, NoAnswerFromDfSkipsTheCheck) {
    ChildResult child = Check();
    EXPECT_EQ(child.status, corla_test::ChildReturned);
    EXPECT_EQ(child.out, "");
}

TEST_F(SpaceCheckTest, MissingSizeFileEndsWithEntrySixtyFive) {
    unlink((Dist() + "/tsize").c_str());
    ChildResult child = Check();
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.out, "Could not determine how much space needed for install, missing isize.\n");
}

TEST_F(SpaceCheckTest, SizeThatIsNotANumberNeedsForty) {
    WriteFile(Dist() + "/isize", "lots\n");
    WriteFile(Dist() + "/tsize", "lots\n");
    Df(Dir(), "/dev/dsk/c0t0d0s5", 40);
    Df(Inst(), "/dev/dsk/c0t1d0s0", 40);
    ASSERT_EQ(mkdir(Inst().c_str(), 0755), 0);
    ChildResult child = Check();
    EXPECT_EQ(child.status, corla_test::ChildReturned) << child.out;
}

} // namespace
