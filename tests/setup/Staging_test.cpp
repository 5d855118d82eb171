// Staging: the list file, the fresh work area, the copies and the joined
// archive. Copies run for real inside the fixture's directory; the
// operator check after staging is answered by a whoami served from memory
// ("jdoe"), so the installation itself stops right there.
#include "Staging.h"

#include "ListFile.h"
#include "PathChecks.h"
#include "Unpack.h"

#include "SetupStepTest.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using corla_test::ChildResult;
using corla_test::Exists;
using corla_test::FakeOs;
using corla_test::ModeOf;
using corla_test::ReadFile;
using corla_test::RunInChild;
using corla_test::WriteFile;

const std::string ListFileMissing = "ERROR: can't open file, CorlaInstall/disks\n";

class StagingTest : public corla_test::SetupStepTest {
  protected:
    void SetUp() override {
        SetupStepTest::SetUp();
        UseFakeOs();
        SysCmdOs.xSystem = system; // copies and removals run; pipes are served
        FakeOs::popenOutput = "jdoe\n";
    }
    void Dist(const std::string &name, const std::string &text) {
        WriteFile(SetupStepTest::Dist() + "/" + name, text);
    }
    ChildResult Stage() {
        return RunInChild([] { installFromSite(pCorlaInstallDir); });
    }
};

TEST_F(StagingTest, ReadsTheListFile) {
    Dist("disks", "disks pkg_tar.aa\nend_of_list\n");
    GetDisksData(SetupStepTest::Dist().c_str());
    EXPECT_STREQ(LineBuf, "disks pkg_tar.aa\nend_of_list\n");
}

TEST_F(StagingTest, CapitalListNamesAreUpperCasedBeforeTheTerminator) {
    Dist("DISKS", "disks pkg_tar.aa\nend_of_list\nafter\n");
    GetDisksData(SetupStepTest::Dist().c_str());
    EXPECT_STREQ(LineBuf, "DISKS PKG_TAR.AA\nend_of_list\nafter\n");
    Dist("DISKS", "disks pkg_tar.aa\n");
    GetDisksData(SetupStepTest::Dist().c_str());
    EXPECT_STREQ(LineBuf, "DISKS PKG_TAR.AA\n");
}

TEST_F(StagingTest, MissingListFileEndsWithStatusOne) {
    ChildResult child = RunInChild([this] { GetDisksData(SetupStepTest::Dist().c_str()); });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.err, ListFileMissing);
}

TEST_F(StagingTest, AListThatDoesNotFitIsRefusedBeforeAnythingIsCopied) {
    std::string list = "disks\n" + std::string(4089, ' ') + "\n"; // 4096 bytes
    Dist("disks", list);
    ChildResult child = Stage();
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.err, ListFileMissing);
    EXPECT_FALSE(Exists(Work() + "/disks"));
    // One byte less fits.
    Dist("disks", "disks\n" + std::string(4088, ' ') + "\n");
    child = Stage();
    EXPECT_EQ(child.status, corla_test::ChildReturned);
    EXPECT_TRUE(Exists(Work() + "/disks"));
}

TEST_F(StagingTest, CopiesEveryListedFileIntoANewWorkAreaOfMode755) {
    Dist("disks", "disks pkg_tar.aa\n\r\npkg_tar.ab\nend_of_list\nnever\n");
    Dist("pkg_tar.aa", "A");
    Dist("pkg_tar.ab", "B");
    ChildResult child = RunInChild([] {
        umask(0);
        installFromSite(pCorlaInstallDir);
    });
    EXPECT_EQ(child.status, corla_test::ChildReturned);
    EXPECT_EQ(child.out,
              "jdoe is logged in\nYou must become root to run " + std::string(my_name) + "\n");
    EXPECT_EQ(ModeOf(Work()), 0755u);
    EXPECT_EQ(ReadFile(Work() + "/pkg_tar.aa"), "A");
    EXPECT_EQ(ReadFile(Work() + "/pkg_tar.ab"), "B");
    EXPECT_TRUE(Exists(Work() + "/disks"));
}

TEST_F(StagingTest, AnEndOfListWordEndsOnlyItsLine) {
    Dist("disks", "a b end_of_list c\nd\nend_of_list\n");
    for (const char *name : {"a", "b", "c", "d"})
        Dist(name, name);
    EXPECT_EQ(Stage().status, corla_test::ChildReturned);
    EXPECT_TRUE(Exists(Work() + "/a"));
    EXPECT_TRUE(Exists(Work() + "/b"));
    EXPECT_FALSE(Exists(Work() + "/c"));
    EXPECT_TRUE(Exists(Work() + "/d"));
}

TEST_F(StagingTest, LongNamesAreStagedWhole) {
    const std::string name(200, 'n');
    Dist("disks", "disks " + name + "\nend_of_list\n");
    Dist(name, "long");
    EXPECT_EQ(Stage().status, corla_test::ChildReturned);
    EXPECT_EQ(ReadFile(Work() + "/" + name), "long");
}

TEST_F(StagingTest, CapitalListFromDisksOnly) {
    Dist("DISKS", "disks pkg_tar.aa\nend_of_list\n");
    Dist("PKG_TAR.AA", "A");
    EXPECT_EQ(Stage().status, corla_test::ChildReturned);
    EXPECT_TRUE(Exists(Work() + "/DISKS"));
    EXPECT_TRUE(Exists(Work() + "/PKG_TAR.AA"));
}

TEST_F(StagingTest, AStaleWorkAreaIsRemovedFirst) {
    ASSERT_EQ(mkdir(Work().c_str(), 0777), 0);
    WriteFile(Work() + "/Solaris2.5Vqmm.tar.Z", "stale");
    Dist("disks", "disks\nend_of_list\n");
    EXPECT_EQ(Stage().status, corla_test::ChildReturned);
    EXPECT_FALSE(Exists(Work() + "/Solaris2.5Vqmm.tar.Z"));
    EXPECT_EQ(ModeOf(Work()), 0755u);
}

TEST_F(StagingTest, AWorkAreaLinkIsReplacedByARealDirectory) {
    std::string elsewhere = Dir() + "/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0777), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), Work().c_str()), 0);
    Dist("disks", "disks\nend_of_list\n");
    EXPECT_EQ(Stage().status, corla_test::ChildReturned);
    struct stat st;
    ASSERT_EQ(lstat(Work().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_FALSE(Exists(elsewhere + "/disks"));
}

TEST_F(StagingTest, AMissingListedFileEndsTheRunWithStatusOne) {
    Dist("disks", "disks missing\nend_of_list\n");
    ChildResult child = Stage();
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.out, "ERROR: command cp exited with status 1\n");
}

TEST_F(StagingTest, AWorkAreaThatHoldsTheDistributionIsRefusedBeforeAnythingIsRemoved) {
    std::string dist = Work() + "/dist";
    ASSERT_EQ(system(("mkdir -p '" + dist + "'").c_str()), 0);
    WriteFile(dist + "/disks", "disks\nend_of_list\n");
    Set(pPathToSetup, dist);
    ChildResult child = Stage();
    EXPECT_EQ(child.status, 2);
    EXPECT_EQ(child.out, "ERROR: couldn't open " + Work() + "\n\n");
    EXPECT_TRUE(Exists(dist + "/disks"));
    // The distribution directory itself as the work area.
    Set(pPathToSetup, Work());
    child = Stage();
    EXPECT_EQ(child.status, 2);
    EXPECT_TRUE(Exists(Work() + "/dist/disks"));
    // Through a link.
    std::string link = Dir() + "/linkwork";
    ASSERT_EQ(symlink(Work().c_str(), link.c_str()), 0);
    Set(pPathToSetup, dist);
    Set(pCorlaInstallDir, link);
    child = Stage();
    EXPECT_EQ(child.status, 2);
    EXPECT_TRUE(Exists(dist + "/disks"));
}

TEST_F(StagingTest, AWorkAreaThatCannotBeMadeIsRefused) {
    Set(pCorlaInstallDir, Dir() + "/no/such/CorlaInstall");
    Dist("disks", "disks\nend_of_list\n");
    ChildResult child = Stage();
    EXPECT_EQ(child.status, 2);
    EXPECT_EQ(child.out, "ERROR: couldn't open " + Dir() + "/no/such/CorlaInstall\n\n");
}

// The way to a work-area parent: which directory or link another user
// could change.
TEST_F(StagingTest, TheWayToTheWorkAreaIsCheckedThroughLinks) {
    auto unsafe = [](const std::string &path) {
        char *where = UnsafeDirectoryOnPath(path.c_str());
        std::string text = where != nullptr ? where : "";
        if (where != nullptr) PutMem(where);
        return text;
    };
    ASSERT_EQ(unsafe(Dir()), "") << "the test directory itself must be closed to others";
    const std::string d = Dir();
    ASSERT_EQ(system(("cd '" + d + "' && mkdir -p a/b open sticky && chmod 777 open && " +
                      "chmod 1777 sticky && chmod 755 a a/b && ln -s a/../open up && " +
                      "ln -s loop loop && ln -s /tmp/../" + d.substr(1) + "/a abs")
                         .c_str()),
              0);
    EXPECT_EQ(unsafe(d + "/a/b"), "");
    EXPECT_EQ(unsafe(d + "/a/b/not/yet"), ""); // what does not exist is made by the run
    EXPECT_EQ(unsafe(d + "/sticky/new"), "");
    EXPECT_EQ(unsafe(d + "/open"), d + "/open");
    EXPECT_EQ(unsafe(d + "/a/../open/x"), d + "/open");
    EXPECT_EQ(unsafe(d + "/up/x"), d + "/open"); // a relative link, resolved from its directory
    EXPECT_EQ(unsafe(d + "/abs/b"), "");         // an absolute one
    EXPECT_EQ(unsafe(d + "/loop/x"), d + "/loop");
    if (geteuid() == 0) {
        ASSERT_EQ(lchown((d + "/abs").c_str(), 4321, 4321), 0);
        EXPECT_EQ(unsafe(d + "/abs/b"), d + "/abs"); // another user's link
        ASSERT_EQ(chown((d + "/a").c_str(), 4321, 4321), 0);
        EXPECT_EQ(unsafe(d + "/a/b"), d + "/a");
    }
}

class JoinTest : public StagingTest {
  protected:
    void SetUp() override {
        StagingTest::SetUp();
        ASSERT_EQ(mkdir(Work().c_str(), 0755), 0);
    }
    void InWork(const std::string &name, const std::string &text) {
        WriteFile(Work() + "/" + name, text);
    }
};

TEST_F(JoinTest, PiecesAreJoinedInListOrder) {
    InWork("disks", "disks pkg_tar.ab\tpkg_tar.aa\nother pkg_tar.ac end_of_list pkg_tar.ad\n");
    InWork("pkg_tar.aa", "first-");
    InWork("pkg_tar.ab", "second-");
    InWork("pkg_tar.ad", "never");
    InWork("other", "x");
    genZFile(); // pkg_tar.ac is listed but missing: passed over
    EXPECT_EQ(ReadFile(Work() + "/Solaris2.5Vqmm.tar.Z"), "second-first-");
}

TEST_F(JoinTest, CapitalPiecesAreJoinedToo) {
    InWork("DISKS", "disks pkg_tar.aa\nend_of_list\n");
    InWork("PKG_TAR.AA", "A");
    genZFile();
    EXPECT_EQ(ReadFile(Work() + "/Solaris2.5Vqmm.tar.Z"), "A");
}

TEST_F(JoinTest, JoiningRunsCatUnshownWithTheShellsOwnRedirection) {
    UseFakeOs();
    InWork("disks", "disks pkg_tar.aa\nend_of_list\n");
    InWork("pkg_tar.aa", "A");
    genZFile();
    ASSERT_EQ(FakeOs::lines.size(), 1u);
    const std::string &line = FakeOs::lines[0];
    std::string tail = " " + Work() + "/pkg_tar.aa >> " + Work() + "/Solaris2.5Vqmm.tar.Z\"";
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    EXPECT_EQ(line.find(".log"), std::string::npos); // no log redirection
}

TEST_F(JoinTest, AListThatDoesNotNameItselfEndsTheRun) {
    unlink((Work() + "/disks").c_str());
    ChildResult child = RunInChild([] { genZFile(); });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.err, ListFileMissing);
}

} // namespace
