// The package command file and the upgrade by package map: the command
// lines they run (recorded, not run), and the sed edit run for real.
#include "PkgList.h"
#include "Upgrade.h"

#include "SetupStepTest.h"
#include "TextLines.h"

#include <cerrno>
#include <cstring>
#include <glob.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace {

using corla_test::ChildResult;
using corla_test::Exists;
using corla_test::FakeOs;
using corla_test::ModeOf;
using corla_test::ReadFile;
using corla_test::RunInChild;
using corla_test::ShortCommandLine;
using corla_test::WriteFile;

std::string Release() {
    struct utsname name;
    return uname(&name) == 0 ? name.release : "";
}

class PkgListTest : public corla_test::SetupStepTest {
  protected:
    void SetUp() override {
        SetupStepTest::SetUp();
        ASSERT_EQ(mkdir(Work().c_str(), 0755), 0);
        MakeAppDir();
        UseFakeOs();
    }
    void List(const std::string &text) { WriteFile(Work() + "/pkg.list", text); }
    // The lines the file ran, shortened; "$W" stands for the work area and
    // "$A" for the application directory.
    std::vector<std::string> Ran() {
        std::vector<std::string> out;
        for (const std::string &line : FakeOs::lines) {
            std::string s = ShortCommandLine(line);
            for (auto [from, to] : {std::pair{Work(), std::string("$W")}, {App(), "$A"}})
                for (size_t at = s.find(from); at != std::string::npos; at = s.find(from))
                    s.replace(at, from.size(), to);
            out.push_back(s);
        }
        return out;
    }
    std::vector<std::string> Run(const std::string &text) {
        List(text);
        FakeOs::lines.clear();
        EXPECT_EQ(ProcessPkgList("."), 0);
        return Ran();
    }
};

using Lines = std::vector<std::string>;

TEST_F(PkgListTest, CopyWithModeOwnerAndGroup) {
    EXPECT_EQ(Run("c libx.so mode 755 owner root group bin\n"),
              (Lines{"cp -p $W/./libx.so $A", "chmod  755 $A/libx.so", "chown  -R root $A/libx.so",
                     "chgrp  -R bin $A/libx.so"}));
}

TEST_F(PkgListTest, DirectoryCopies) {
    EXPECT_EQ(Run("dir fonts mode 755\n"), (Lines{"cp -pr $W/./fonts $A", "chmod  755 $A/fonts"}));
    // The attributes of dirto still address the application directory.
    EXPECT_EQ(Run("dirto fonts /usr/lib/fonts mode 755\n"),
              (Lines{"cp -pr $W/./fonts /usr/lib/fonts", "chmod  755 $A/fonts"}));
}

TEST_F(PkgListTest, TouchRenameAndLink) {
    EXPECT_EQ(Run("t stamp mode 600\n"), (Lines{"touch  $A/stamp", "chmod  600 $A/stamp"}));
    EXPECT_EQ(Run("c prog name prog.new\n"),
              (Lines{"cp -p $W/./prog $A", "mv -f $A/prog $A/prog.new"}));
    std::string link = Dir() + "/libx.so";
    EXPECT_EQ(Run("c lib link " + link + "\n"),
              (Lines{"cp -p $W/./lib $A", "ln  -s $A/lib " + link}));
}

TEST_F(PkgListTest, AStaleLinkIsRemovedBeforeLinking) {
    std::string link = Dir() + "/old";
    ASSERT_EQ(symlink("/nowhere", link.c_str()), 0);
    EXPECT_EQ(Run("c lib link " + link + "\n"),
              (Lines{"cp -p $W/./lib $A", "rm -f " + link, "ln  -s $A/lib " + link}));
}

TEST_F(PkgListTest, ANameDoesNotMoveLaterPairs) {
    // The mode still addresses the old name (and would fail): "name" goes last.
    EXPECT_EQ(Run("c prog name prog.new mode 755\n"),
              (Lines{"cp -p $W/./prog $A", "mv -f $A/prog $A/prog.new", "chmod  755 $A/prog"}));
}

TEST_F(PkgListTest, MustAndShouldActOnlyOnWhatExists) {
    WriteFile(App() + "/present", "x");
    EXPECT_EQ(Run("m missing mode 700\ns missing owner lp\n"), Lines{});
    EXPECT_EQ(Run("m present mode 700\ns present owner lp\n"),
              (Lines{"chmod  700 $A/present", "chown  -R lp $A/present"}));
}

TEST_F(PkgListTest, CommentsNeedAWordOfTheirOwn) {
    EXPECT_EQ(Run("# c x mode 755\n"), Lines{});
    EXPECT_EQ(Run("#copy x\n"), (Lines{"cp -p $W/./x $A"}));
    EXPECT_EQ(Run("anything y mode 644\n"), (Lines{"cp -p $W/./y $A", "chmod  644 $A/y"}));
    // A word made of two commands is neither of them.
    EXPECT_EQ(Run("t,c z\n"), (Lines{"cp -p $W/./z $A"}));
}

TEST_F(PkgListTest, NewDirectoryOnlyWhenMissing) {
    SysCmdOs.xSystem = [](const char *line) {
        FakeOs::lines.emplace_back(line);
        return system(line);
    };
    EXPECT_EQ(Run("newdir spool mode 777\n"),
              (Lines{"mkdir -p $A/spool", "chmod  775 $A/spool", "chmod  777 $A/spool"}));
    EXPECT_EQ(ModeOf(App() + "/spool"), 0777u);
    // The second time the whole line is passed over; the mode is not set again.
    chmod((App() + "/spool").c_str(), 0700);
    EXPECT_EQ(Run("newdir spool mode 777\n"), Lines{});
    EXPECT_EQ(ModeOf(App() + "/spool"), 0700u);
}

TEST_F(PkgListTest, UnknownKeysAreIgnoredAndPairsStopWhereOneIsIncomplete) {
    EXPECT_EQ(Run("c a color red mode 644\n"), (Lines{"cp -p $W/./a $A", "chmod  644 $A/a"}));
    EXPECT_EQ(Run("c a mode 644 owner\n"), (Lines{"cp -p $W/./a $A", "chmod  644 $A/a"}));
}

TEST_F(PkgListTest, CommandsWithoutTheirWordsArePassedOver) {
    EXPECT_EQ(Run("c\nt\ndirto fonts\nv <\nv < 1\nnewdir\n\n   \n"), Lines{});
}

TEST_F(PkgListTest, VersionConditions) {
    const std::string r = Release();
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(Run("v < ~ c a\n"), (Lines{"cp -p $W/./a $A"})); // "~" sorts after digits
    EXPECT_EQ(Run("v > ~ c b\n"), Lines{});
    EXPECT_EQ(Run("v = " + r + " c c\n"), (Lines{"cp -p $W/./c $A"}));
    EXPECT_EQ(Run("v <= " + r + " c d\nv >= " + r + " c e\n"),
              (Lines{"cp -p $W/./d $A", "cp -p $W/./e $A"}));
    EXPECT_EQ(Run("v != " + r + " c f\n"), Lines{}); // not an operator: never holds
    // Chained: both must hold.
    EXPECT_EQ(Run("v >= 0 v < ~ c g mode 600\n"), (Lines{"cp -p $W/./g $A", "chmod  600 $A/g"}));
    EXPECT_EQ(Run("v >= 0 v > ~ c h\n"), Lines{});
    EXPECT_EQ(Run("v < ~\n"), Lines{});
}

TEST_F(PkgListTest, AnUnreadableReleaseMeetsNoCondition) {
    List("v < ~ c a\nc b\n");
    ChildResult child = RunInChild([] {
        PkgListUname = [](struct utsname *) {
            errno = EFAULT;
            return -1;
        };
        ProcessPkgList(".");
        for (const std::string &line : FakeOs::lines)
            printf("%s\n", ShortCommandLine(line).c_str());
    });
    EXPECT_EQ(child.err, "failed ts get version: Bad address\n");
    EXPECT_EQ(child.out.substr(0, 3), "cp ");
    EXPECT_NE(child.out.find("/./b "), std::string::npos);
    EXPECT_EQ(child.out.find("/./a "), std::string::npos);
}

TEST(VersionConditionHolds, ComparesByteByByte) {
    EXPECT_TRUE(VersionConditionHolds("5.5.1", "<", "5.6"));
    EXPECT_FALSE(VersionConditionHolds("5.6", "<", "5.6"));
    EXPECT_TRUE(VersionConditionHolds("5.6", "<=", "5.6"));
    EXPECT_TRUE(VersionConditionHolds("5.5.1", "=", "5.5.1"));
    EXPECT_FALSE(VersionConditionHolds("5.5.1", "=", "5.5"));
    EXPECT_TRUE(VersionConditionHolds("5.6", ">", "5.5.1"));
    EXPECT_TRUE(VersionConditionHolds("5.10", "<", "5.5.9")); // bytes, not numbers
    EXPECT_TRUE(VersionConditionHolds("5.5", ">=", "5.5"));
    EXPECT_FALSE(VersionConditionHolds("5.5", "=>", "5.5"));
    EXPECT_FALSE(VersionConditionHolds("5.5", "", "5.5"));
}

TEST_F(PkgListTest, SedInTheFirstPairTakesTheRestOfTheLine) {
    std::vector<std::string> ran = Run("c cfg sed -e s/a/b/ -e s/c/d/\n");
    ASSERT_EQ(ran.size(), 3u);
    EXPECT_EQ(ran[0], "cp -p $W/./cfg $A");
    std::string sed =
        "sed  -e s/a/b/ -e s/c/d/ $A/cfg 2>>/dev/null >/tmp/" + std::string(my_name) + ".";
    EXPECT_EQ(ran[1].substr(0, sed.size()), sed);
    EXPECT_EQ(ran[1].substr(ran[1].size() - 5), " && :");
    EXPECT_EQ(ran[2].substr(0, 11 + strlen(my_name)), "rm -f /tmp/" + std::string(my_name));
}

TEST_F(PkgListTest, SedInALaterPairIsOneWord) {
    std::vector<std::string> ran = Run("c cfg mode 644 sed s/x/y/ owner lp\n");
    ASSERT_EQ(ran.size(), 5u);
    EXPECT_EQ(ran[2].substr(0, 22), "sed  s/x/y/ $A/cfg 2>>");
    EXPECT_EQ(ran[4], "chown  -R lp $A/cfg");
}

// The sed edit for real: the file keeps its own mode, and no temporary file
// is left in /tmp.
class PkgListRealTest : public PkgListTest {
  protected:
    void SetUp() override {
        PkgListTest::SetUp();
        SysCmdOs = SysCmdOsDefault;
    }
    size_t TempFiles() {
        glob_t found{};
        std::string pattern = "/tmp/" + std::string(my_name) + ".*";
        glob(pattern.c_str(), 0, nullptr, &found);
        size_t n = found.gl_pathc;
        globfree(&found);
        return n;
    }
};

TEST_F(PkgListRealTest, SedEditsInPlaceAndKeepsTheFilesMode) {
    WriteFile(Work() + "/run.sh", "old text\nold two\n", 0755);
    List("c run.sh mode 750 sed s/old/new/\n");
    EXPECT_EQ(ProcessPkgList("."), 0);
    EXPECT_EQ(ReadFile(App() + "/run.sh"), "new text\nnew two\n");
    EXPECT_EQ(ModeOf(App() + "/run.sh"), 0750u);
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(PkgListRealTest, AFailingSedEndsTheRunAndLeavesNoTemporaryFile) {
    WriteFile(Work() + "/cfg", "text\n", 0644);
    List("c cfg sed s/unterminated\nc never\n");
    ChildResult child = RunInChild([] { ProcessPkgList("."); });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.out.substr(0, 27), "ERROR: command sed exited w");
    EXPECT_EQ(ReadFile(App() + "/cfg"), "text\n");
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(PkgListRealTest, TheTailOfAnOverlongLineIsNotACommand) {
    WriteFile(Work() + "/a", "a");
    WriteFile(Work() + "/b", "b");
    List("c a" + std::string(600, ' ') + "c b\n");
    EXPECT_EQ(ProcessPkgList("."), 0);
    EXPECT_TRUE(Exists(App() + "/a"));
    EXPECT_FALSE(Exists(App() + "/b"));
}

TEST_F(PkgListTest, MissingCommandFileEndsTheRunWithStatusZero) {
    ChildResult child = RunInChild([] { ProcessPkgList("."); });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.err, "ERROR: can't open file, " + Work() + "/./pkg.list\n");
}

TEST_F(PkgListTest, QuittingAtARunningProgramCheckEndsTheFile) {
    FakeOs::popenOutput = "  PID TTY         TIME CMD\n   42 ?           0:01 csf\n";
    List("c a\ncheckps pmqadmin,csf ignored words\nc b\n");
    WriteFile(Dir() + "/in", "2\n");
    std::string in = Dir() + "/in";
    ChildResult child = RunInChild([&] {
        if (freopen(in.c_str(), "r", stdin) == nullptr) exit(3);
        int result = ProcessPkgList(".");
        printf("|%d|%zu", result, FakeOs::lines.size());
    });
    // cp of a, one ps per listed program, and nothing after the check.
    EXPECT_EQ(child.out.substr(child.out.rfind('|') - 2), "|1|3");
    EXPECT_NE(child.out.find("csf ( 42 )\n"), std::string::npos);
}

class UpgradeTest : public PkgListTest {
  protected:
    void Map(const std::string &text) {
        ASSERT_EQ(system(("mkdir -p '" + Work() + "/QDRNvqmm'").c_str()), 0);
        WriteFile(Work() + "/QDRNvqmm/pkgmap", text);
    }
};

TEST_F(UpgradeTest, RegistersAndCopiesEveryRegularFile) {
    Map(": 1 1758\n"
        "1 d none vqmm 0775 root bin\n"
        "1 f none vqmm/bin/pmqadmin 0755 root bin 40 773 751310229\n"
        "1 i pkginfo 348 28411 760740163\n"
        "1 s none vqmm/x=y\n"
        "1 l none vqmm/h=vqmm/bin/pmqadmin\n"
        "1 e none vqmm/cfg 0644 root bin 1 1 1\n"
        "1 v none vqmm/log 0644 root bin 1 1 1\n"
        "1 f none vqmm/short 0644 root\n"
        "1 f none /usr/lib/libcorla.so 0644 root other 10 1 1\n");
    ChildResult child = RunInChild([] {
        upgradeSolarisPackage("QDRNvqmm", pCorlaInstallDir);
        for (const std::string &line : FakeOs::lines)
            fprintf(stderr, "%s\n", line.c_str());
    });
    EXPECT_EQ(child.out, "...");
    std::string i = Inst();
    std::string w = Work();
    std::vector<std::string> lines;
    for (size_t at = 0, next; at < child.err.size(); at = next + 1) {
        next = child.err.find('\n', at);
        lines.push_back(child.err.substr(at, next - at));
    }
    ASSERT_EQ(lines.size(), 7u) << child.err;
    EXPECT_EQ(lines[0],
              "installf -c none QDRNvqmm " + i + "/Corla/vqmm/bin/pmqadmin f 0755 root bin");
    EXPECT_EQ(lines[1],
              "cp " + w + "/QDRNvqmm/reloc/vqmm/bin/pmqadmin " + i + "/Corla/vqmm/bin/pmqadmin");
    EXPECT_EQ(lines[2], "installf -c none QDRNvqmm /usr/lib/libcorla.so f 0644 root other");
    EXPECT_EQ(lines[3], "cp " + w + "/QDRNvqmm/root/usr/lib/libcorla.so /usr/lib/libcorla.so");
    EXPECT_EQ(lines[4], "installf -f QDRNvqmm");
    EXPECT_EQ(ShortCommandLine(lines[5]), "rm -f /var/sadm/pkg/QDRNvqmm/pkginfo.tmp");
    EXPECT_EQ(lines[6], "sed -e\"s/VERSION=[0-9.].*/VERSION=3.01.67/\" "
                        "/var/sadm/pkg/QDRNvqmm/pkginfo >> /var/sadm/pkg/QDRNvqmm/pkginfo.tmp");
    // No record was made by the (recorded) sed: pkginfo is not replaced.
}

TEST_F(UpgradeTest, MissingPackageMapEndsTheRunWithStatusZero) {
    ChildResult child = RunInChild([] { upgradeSolarisPackage("QDRNvqmm", pCorlaInstallDir); });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.err, "ERROR: can't open file, " + Work() + "/QDRNvqmm/pkgmap\n");
}

} // namespace
