// Where the run works and installs: the installation directory reduced from
// a path, paths made absolute, paths refused before they reach a command
// line, the command line itself, the move of an earlier installation and
// the clean-up.
#include "Locations.h"

#include "Catalogue.h"
#include "CleanUp.h"
#include "CommandLine.h"
#include "Move.h"
#include "PathChecks.h"
#include "SetupStepTest.h"
#include "TextLines.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using corla_test::ChildResult;
using corla_test::FakeOs;
using corla_test::RunInChild;

std::string Stripped(const char *path) {
    char buf[PATH_MAX];
    snprintf(buf, sizeof buf, "%s", path);
    return StripToBaseName(buf);
}

TEST(StripToBaseName, ReducesTheApplicationDirectoryToItsInstallationDirectory) {
    EXPECT_EQ(Stripped("/usr/local/Corla/vqmm"), "/usr/local");
    EXPECT_EQ(Stripped("/usr/local/Corla/vqmm/"), "/usr/local");
    EXPECT_EQ(Stripped("/usr/local/Corla/"), "/usr/local");
    EXPECT_EQ(Stripped("/usr/local/Corla"), "/usr/local");
    EXPECT_EQ(Stripped("/usr/local/"), "/usr/local");
    EXPECT_EQ(Stripped("/usr/local"), "/usr/local");
    EXPECT_EQ(Stripped("/opt/Corla/vqmm/bin/pmqadmin"), "/opt");
    EXPECT_EQ(Stripped("/"), "/");
}

TEST(StripToBaseName, CutsOnlyAtWholeComponents) {
    EXPECT_EQ(Stripped("/data/vqmm_old"), "/data/vqmm_old");
    EXPECT_EQ(Stripped("/data/old_vqmm"), "/data/old_vqmm");
    EXPECT_EQ(Stripped("/CorlaApps/Corla/vqmm"), "/CorlaApps");
    EXPECT_EQ(Stripped("/x/MyCorla"), "/x/MyCorla");
    EXPECT_EQ(Stripped("/x/vqmm/y/Corla"), "/x");
}

TEST(StripToBaseName, NothingLeftIsTheRoot) {
    EXPECT_EQ(Stripped("/Corla/vqmm"), "/");
    EXPECT_EQ(Stripped("Corla"), "/");
    EXPECT_EQ(Stripped("vqmm"), "/");
    EXPECT_EQ(StripToBaseName(nullptr), nullptr);
}

TEST(StripToBaseName, WorksInPlace) {
    char path[] = "/usr/local/Corla/vqmm";
    EXPECT_EQ(StripToBaseName(path), path);
    EXPECT_STREQ(path, "/usr/local");
}

class LocationsTest : public corla_test::SetupStepTest {};

TEST_F(LocationsTest, MakeAbsolutePathAgainstTheCurrentDirectory) {
    ASSERT_EQ(chdir(Dir().c_str()), 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    struct Case {
        const char *in;
        std::string out;
    };
    const Case cases[] = {
        {"big", std::string(cwd) + "/big"},
        {"./big/", std::string(cwd) + "/big"},
        {"a//b/./c", std::string(cwd) + "/a/b/c"},
        {"/opt/.", "/opt"},
        {"//usr///local/", "/usr/local"},
        {"/", "/"},
        {"/a/../b", "/a/../b"},
        {".", cwd},
    };
    for (const Case &c : cases) {
        char *abs = MakeAbsolutePath(c.in);
        ASSERT_NE(abs, nullptr);
        EXPECT_EQ(std::string(abs), c.out) << c.in;
        PutMem(abs);
    }
}

TEST(ShellSafePath, RefusesEveryShellSpecialCharacter) {
    EXPECT_TRUE(ShellSafePath("/usr/local"));
    EXPECT_TRUE(ShellSafePath("/data/my-dir_2.0+x,y:z@w%=v"));
    for (char c : std::string(" \t\n\r\"'`$\\;&|<>*?()")) {
        std::string path = std::string("/usr/lo") + c + "cal";
        EXPECT_FALSE(ShellSafePath(path.c_str())) << int(c);
    }
    EXPECT_FALSE(ShellSafePath(nullptr));
}

TEST_F(LocationsTest, AShellUnsafePathEndsTheRunWithEntryThreeAndStatusTwo) {
    ChildResult child = RunInChild([] { RefuseShellUnsafePath("/usr/local /x"); });
    EXPECT_EQ(child.status, 2);
    EXPECT_EQ(child.out, "ERROR: couldn't open /usr/local /x\n\n");
    child = RunInChild([] { RefuseShellUnsafePath("/usr/local"); });
    EXPECT_EQ(child.status, corla_test::ChildReturned);
    EXPECT_EQ(child.out, "");
}

TEST_F(LocationsTest, SameDirectoryResolvesLinks) {
    std::string real = Dir() + "/real";
    std::string link = Dir() + "/link";
    ASSERT_EQ(mkdir(real.c_str(), 0755), 0);
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    EXPECT_TRUE(SameDirectory(real.c_str(), link.c_str()));
    EXPECT_TRUE(SameDirectory((real + "/.").c_str(), real.c_str()));
    EXPECT_FALSE(SameDirectory(real.c_str(), Dir().c_str()));
    // Unresolvable: compared as texts.
    EXPECT_TRUE(SameDirectory("/no/such/x", "/no/such/x"));
    EXPECT_FALSE(SameDirectory("/no/such/x", "/no/such/y"));
}

TEST_F(LocationsTest, VersionWordPrintsTheVersionAndEndsAfterEarlierWords) {
    ChildResult child = RunInChild([&] {
        my_name = "setup";
        const char *argv[] = {"setup", "install", "/x", "-v", "install", "/y", nullptr};
        parseCommandLineOptions(6, const_cast<char **>(argv));
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.err, "setup 3.01.67\n");
    EXPECT_EQ(child.out, "");
}

TEST_F(LocationsTest, InstallWordTakesTheNextWordMadeAbsoluteAndStripped) {
    ASSERT_EQ(chdir(Dir().c_str()), 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const char *argv[] = {"setup",   "install",   "/usr/local/Corla/vqmm/",
                          "install", "rel/Corla", nullptr};
    parseCommandLineOptions(3, const_cast<char **>(argv));
    EXPECT_STREQ(pCmdLineInstallDir, "/usr/local");
    parseCommandLineOptions(5, const_cast<char **>(argv));
    EXPECT_EQ(std::string(pCmdLineInstallDir), std::string(cwd) + "/rel");
    // A last "install" is ignored.
    const char *last[] = {"setup", "install", nullptr};
    parseCommandLineOptions(2, const_cast<char **>(last));
    EXPECT_EQ(std::string(pCmdLineInstallDir), std::string(cwd) + "/rel");
    EXPECT_EQ(flCreatedTmpDir, 0);
}

TEST_F(LocationsTest, InstallDirectoryThatCannotTravelIsRefused) {
    ChildResult child = RunInChild([] {
        const char *argv[] = {"setup", "install", "/usr/local /Corla", nullptr};
        parseCommandLineOptions(3, const_cast<char **>(argv));
    });
    EXPECT_EQ(child.status, 2);
    EXPECT_EQ(child.out, "ERROR: couldn't open /usr/local \n\n");
    child = RunInChild([] {
        const char *argv[] = {"setup", "install", "/opt/$(reboot)", nullptr};
        parseCommandLineOptions(3, const_cast<char **>(argv));
    });
    EXPECT_EQ(child.status, 2);
    EXPECT_EQ(child.out, "ERROR: couldn't open /opt/$(reboot)\n\n");
}

TEST_F(LocationsTest, WorkAreaWordInAnExistingDirectory) {
    const char *argv[] = {"setup", nullptr, nullptr};
    std::string word = Dir() + "/";
    argv[1] = word.c_str();
    parseCommandLineOptions(2, const_cast<char **>(argv));
    EXPECT_EQ(std::string(pCorlaInstallDir), Dir() + "/CorlaInstall");
    EXPECT_EQ(flCreatedTmpDir, 0);
    EXPECT_TRUE(FakeOs::lines.empty());
}

TEST_F(LocationsTest, WorkAreaWordRootIsTheRoot) {
    const char *argv[] = {"setup", "/", nullptr};
    parseCommandLineOptions(2, const_cast<char **>(argv));
    EXPECT_STREQ(pCorlaInstallDir, "/CorlaInstall");
}

TEST_F(LocationsTest, MissingWorkAreaParentIsCreated) {
    std::string parent = Dir() + "/big/disk";
    std::string word = parent;
    const char *argv[] = {"setup", word.c_str(), nullptr};
    parseCommandLineOptions(2, const_cast<char **>(argv));
    EXPECT_EQ(flCreatedTmpDir, 1);
    EXPECT_TRUE(corla_test::Exists(parent));
    EXPECT_EQ(std::string(pCorlaInstallDir), parent + "/CorlaInstall");
}

TEST_F(LocationsTest, UncreatableWorkAreaParentEndsWithEntryThreeAndStatusTwo) {
    std::string file = Dir() + "/plain";
    corla_test::WriteFile(file, "x");
    std::string parent = file + "/sub";
    ChildResult child = RunInChild([&] {
        const char *argv[] = {"setup", parent.c_str(), nullptr};
        parseCommandLineOptions(2, const_cast<char **>(argv));
    });
    EXPECT_EQ(child.status, 2);
    EXPECT_EQ(child.out, "ERROR: couldn't open " + parent + "\n\n");
}

TEST_F(LocationsTest, WorkAreaParentThatCannotTravelIsRefusedBeforeItIsCreated) {
    std::string parent = Dir() + "/my disk";
    ChildResult child = RunInChild([&] {
        const char *argv[] = {"setup", parent.c_str(), nullptr};
        parseCommandLineOptions(2, const_cast<char **>(argv));
    });
    EXPECT_EQ(child.status, 2);
    EXPECT_EQ(child.out, "ERROR: couldn't open " + parent + "\n\n");
    EXPECT_FALSE(corla_test::Exists(parent));
}

TEST_F(LocationsTest, DistributionDirectoryThatCannotTravelIsRefusedBeforeAParentIsMade) {
    Set(pPathToSetup, Dir() + "/dist;rm");
    std::string parent = Dir() + "/newparent";
    ChildResult child = RunInChild([&] {
        const char *argv[] = {"setup", parent.c_str(), nullptr};
        parseCommandLineOptions(2, const_cast<char **>(argv));
    });
    EXPECT_EQ(child.status, 2);
    EXPECT_EQ(child.out, "ERROR: couldn't open " + Dir() + "/dist;rm\n\n");
    EXPECT_FALSE(corla_test::Exists(parent));
}

// The move of an earlier installation, as command lines.
class MoveTest : public corla_test::SetupStepTest {
  protected:
    std::vector<std::string> Commands() {
        std::vector<std::string> out;
        for (const std::string &line : FakeOs::lines)
            out.push_back(corla_test::ShortCommandLine(line));
        return out;
    }
};

TEST_F(MoveTest, NothingMovesWhenBothNameTheSameDirectory) {
    UseFakeOs();
    std::string real = Dir() + "/real";
    std::string link = Dir() + "/link";
    ASSERT_EQ(mkdir(real.c_str(), 0755), 0);
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    Set(pCurrentInstallDir, real);
    Set(pTargetInstallDir, link);
    MoveInstallation();
    Set(pTargetInstallDir, real + "/.");
    MoveInstallation();
    EXPECT_TRUE(FakeOs::lines.empty());
}

TEST_F(MoveTest, NothingMovesWhenTheTargetsApplicationDirectoryIsTheInstallation) {
    UseFakeOs();
    // <target>/Corla is a link into the current installation's Corla.
    std::string current = Dir() + "/export";
    ASSERT_EQ(system(("mkdir -p '" + current + "/Corla/vqmm'").c_str()), 0);
    std::string target = Dir() + "/usr";
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    ASSERT_EQ(symlink((current + "/Corla").c_str(), (target + "/Corla").c_str()), 0);
    Set(pCurrentInstallDir, current);
    Set(pTargetInstallDir, target);
    Set(pAppDir, target + "/Corla/vqmm");
    MoveInstallation();
    EXPECT_TRUE(FakeOs::lines.empty());
}

TEST_F(MoveTest, DifferentDirectoriesMoveAndRenewTheLink) {
    UseFakeOs();
    Set(pCurrentInstallDir, "/opt");
    Set(pTargetInstallDir, "/usr/local");
    Set(pAppDir, "/usr/local/Corla/vqmm");
    MoveInstallation();
    std::vector<std::string> expected = {
        "rm -rf /usr/local/Corla/vqmm", "mkdir -p /usr/local/Corla",
        "chmod  755 /usr/local/Corla",  "mv -f /opt/Corla/vqmm /usr/local/Corla",
        "rm -f /opt/Corla/vqmm",        "ln  -s /usr/local/Corla/vqmm /opt/Corla/vqmm",
    };
    std::vector<std::string> got = Commands();
    // mkdir only runs when /usr/local/Corla is missing on this machine.
    if (corla_test::Exists("/usr/local/Corla")) expected.erase(expected.begin() + 1);
    EXPECT_EQ(got, expected);
}

TEST_F(MoveTest, MovingIntoOptMakesNoLink) {
    UseFakeOs();
    Set(pCurrentInstallDir, "/export/apps");
    Set(pTargetInstallDir, "/opt");
    Set(pAppDir, "/opt/Corla/vqmm");
    MoveInstallation();
    std::vector<std::string> got = Commands();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), "rm -rf /opt/Corla/vqmm");
    EXPECT_EQ(got.back(), "mv -f /export/apps/Corla/vqmm /opt/Corla");
}

TEST_F(MoveTest, CleanUpRemovesTheWorkAreaAndStartsTheQueueAdministration) {
    UseFakeOs();
    ChildResult child = RunInChild([&] { CorlaClean(Work().c_str()); });
    EXPECT_EQ(child.out, "..\n");
    EXPECT_EQ(child.status, corla_test::ChildReturned);
    // The child's lines are lost with it; run it here once more.
    CorlaClean(Work().c_str());
    ASSERT_EQ(FakeOs::lines.size(), 3u);
    EXPECT_NE(FakeOs::lines[0].find("rm -rf " + Work()), std::string::npos);
    EXPECT_EQ(FakeOs::lines[1], App() + "/pmqadmin -upgrade");
    EXPECT_EQ(FakeOs::lines[2], App() + "/pmqadmin -clean");
}

TEST_F(MoveTest, CleanUpRemovesACreatedParentOnlyWhenEmpty) {
    std::string parent = Dir() + "/made/here";
    const char *argv[] = {"setup", parent.c_str(), nullptr};
    parseCommandLineOptions(2, const_cast<char **>(argv));
    ASSERT_TRUE(corla_test::Exists(parent));
    UseFakeOs(); // pmqadmin is not there to start
    SysCmdOs.xSystem = [](const char *line) {
        FakeOs::lines.emplace_back(line);
        return std::string_view(line).find("pmqadmin") != std::string_view::npos ? 0 : system(line);
    };
    std::string keep = Dir() + "/made/keep";
    ASSERT_EQ(mkdir(keep.c_str(), 0755), 0);
    CorlaClean(pCorlaInstallDir);
    EXPECT_FALSE(corla_test::Exists(parent));
    EXPECT_TRUE(corla_test::Exists(keep)); // not empty: /made stays
}

} // namespace
