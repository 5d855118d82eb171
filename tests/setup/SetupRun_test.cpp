// End to end: the built setup in the stand-in Solaris sandbox, from the
// command line to the clean-up. Fresh installations, upgrades, moves of an
// earlier installation, the prompts, and what each run leaves behind.
#include "SetupSandbox.h"
#include "TextLines.h"
#include "utils.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using corla_test::Lines;
using corla_test::SetupSandboxTest;

bool Has(const std::vector<std::string> &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t Count(const std::vector<std::string> &lines, const std::string &prefix) {
    return size_t(std::count_if(lines.begin(), lines.end(), [&](const std::string &line) {
        return line.compare(0, prefix.size(), prefix) == 0;
    }));
}

const std::string PkgaddStart =
    "\nProcessing package instance <QDRNvqmm> from </tmp/CorlaInstall>\n";
const std::string PkgaddEnd = "\nInstallation of <QDRNvqmm> was successful.\n";

class SetupRunTest : public SetupSandboxTest {
  protected:
    // A fresh installation to installDir ("" for the default) of a
    // distribution made with options; asserts it succeeded.
    void FreshInstall(const std::string &installDir = "", std::vector<std::string> options = {}) {
        MakeDist(options);
        std::vector<std::string> args;
        if (!installDir.empty()) args = {"install", installDir};
        SimResult r = RunSetup(args, "y\n");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        ASSERT_NE(r.out.find(PkgaddEnd), std::string::npos) << r.out;
        Host("rm -rf '" + DistDir() + "'");
    }
    // What pkgadd installed from the default distribution, below appDir.
    void ExpectPackageFiles(const std::string &appDir) {
        for (const char *prog :
             {"pmqadmin", "pmadmin", "plimto", "pmrvqmmtty", "PMQ", "PMRM", "csf", "AixInterface"})
            EXPECT_EQ(Mode(appDir + "/" + prog), 0755u) << prog;
        EXPECT_EQ(Box().Read(appDir + "/db/que.udb").size(), 2048u);
        EXPECT_EQ(LinkTarget(appDir + "/qadmin"), "pmqadmin");
    }
    // The two interface scripts and the flag file of an application directory.
    void ExpectInterfaceFiles(const std::string &appDir, const std::string &flags = " V5 ") {
        EXPECT_EQ(Box().Read(appDir + "/.pm_cfg"), flags);
        EXPECT_EQ(Mode(appDir + "/.pm_cfg"), 0644u);
        std::string print = Box().Read(appDir + "/CorlaPrintvqmm");
        std::string filter = Box().Read(appDir + "/CorlaCSF");
        EXPECT_EQ(print.substr(0, 10), "#!/bin/sh\n");
        EXPECT_NE(print.find("\nToolPath=\"" + appDir + "\"\n"), std::string::npos);
        EXPECT_NE(filter.find("\nSpoolDir=\"/var/spool/Corla/vqmm\"\n"), std::string::npos);
        EXPECT_EQ(Mode(appDir + "/CorlaPrintvqmm"), 0755u);
        EXPECT_EQ(Mode(appDir + "/CorlaCSF"), 0755u);
    }
    // The end of every run: the work area gone, pmqadmin started twice from "/".
    void ExpectCleanUp() {
        EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
        std::vector<SimCall> calls = CallsOf("pmqadmin");
        ASSERT_GE(calls.size(), 2u);
        const SimCall &upgrade = calls[calls.size() - 2];
        const SimCall &clean = calls.back();
        EXPECT_EQ(upgrade.argv, std::vector<std::string>{"-upgrade"});
        EXPECT_EQ(clean.argv, std::vector<std::string>{"-clean"});
        EXPECT_EQ(upgrade.cwd, "/");
    }
};

TEST_F(SetupRunTest, FreshInstallationToOpt) {
    MakeDist();
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // Seven logged commands before pkgadd talks, eleven after it, then the
    // two starts of pmqadmin.
    ASSERT_GT(r.out.size(), 30u);
    EXPECT_EQ(r.out.substr(0, 7 + PkgaddStart.size()), std::string(7, '.') + PkgaddStart);
    EXPECT_EQ(r.out.substr(r.out.size() - PkgaddEnd.size() - 14),
              PkgaddEnd + std::string(11, '.') + "..\n");

    EXPECT_EQ(Mode("/opt/Corla"), 0755u);
    EXPECT_TRUE(IsDir("/opt/Corla/vqmm"));
    ExpectPackageFiles("/opt/Corla/vqmm");
    ExpectInterfaceFiles("/opt/Corla/vqmm");
    // The sample package command file: a copy, a wrapper, a new directory.
    EXPECT_EQ(Mode("/opt/Corla/vqmm/README.vqmm"), 0644u);
    EXPECT_EQ(Mode("/opt/Corla/vqmm/log"), 0777u);
    EXPECT_EQ(Mode("/usr/bin/pmqadmin"), 0755u);
    EXPECT_NE(Box()
                  .Read("/usr/bin/pmqadmin")
                  .find("\ncd /opt/Corla/vqmm\nexec /opt/Corla/vqmm/pmqadmin $*\n"),
              std::string::npos);
    EXPECT_EQ(Mode("/var/spool/Corla"), 0775u);
    EXPECT_EQ(Mode("/var/spool/Corla/vqmm/__pma_download__"), 0777u);
    EXPECT_NE(Box().Read("/var/sadm/pkg/QDRNvqmm/pkginfo").find("\nVERSION=3.01.67\n"),
              std::string::npos);

    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_TRUE(Has(log, "pkgadd -d /tmp/CorlaInstall QDRNvqmm"));
    EXPECT_TRUE(Has(log, "whoami"));
    EXPECT_TRUE(Has(log, "uname -r"));
    EXPECT_EQ(Count(log, "installf"), 0u);
    ExpectCleanUp();

    // The run's own log: every shown command, created for everybody.
    std::string runLog = Box().Read("/tmp/setup.log");
    EXPECT_EQ(runLog.substr(0, 20), "initializing system\n");
    EXPECT_NE(runLog.find("/tar xvfp /tmp/CorlaInstall/Solaris2.5Vqmm.tar\n"), std::string::npos);
    EXPECT_EQ(runLog.find("pkgadd"), std::string::npos); // unshown: it talks to the operator
    EXPECT_EQ(Mode("/tmp/setup.log"), 0666u);
}

TEST_F(SetupRunTest, FreshInstallationElsewhereLinksItIntoOpt) {
    MakeDist();
    SimResult r = RunSetup({"install", "/usr/local/Corla/vqmm/"}, "y\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Mode("/usr/local/Corla/vqmm"), 0775u);
    EXPECT_EQ(Mode("/usr/local/Corla"), 0755u); // the final chmod of the company directory
    EXPECT_EQ(Mode("/opt/Corla"), 0775u);
    EXPECT_EQ(LinkTarget("/opt/Corla/vqmm"), "/usr/local/Corla/vqmm");
    ExpectPackageFiles("/usr/local/Corla/vqmm");
    ExpectInterfaceFiles("/usr/local/Corla/vqmm");
    EXPECT_NE(Box().Read("/usr/bin/pmqadmin").find("\ncd /usr/local/Corla/vqmm\n"),
              std::string::npos);
    ExpectCleanUp();
}

TEST_F(SetupRunTest, RelativeInstallationDirectoryIsMadeAbsolute) {
    MakeDist();
    SimResult r = RunSetup({"install", "../../../../usr/local"}, "y\n");
    EXPECT_EQ(r.status, 0) << r.err;
    // The link names the directory absolutely, so it resolves from anywhere.
    std::string target = LinkTarget("/opt/Corla/vqmm");
    ASSERT_FALSE(target.empty());
    EXPECT_EQ(target.front(), '/');
    EXPECT_EQ(target.substr(target.size() - 11), "/Corla/vqmm");
}

TEST_F(SetupRunTest, WorkAreaInACreatedParent) {
    MakeDist();
    SimResult r = RunSetup({"/var/big/disk/"}, "y\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_TRUE(Has(log, "pkgadd -d /var/big/disk/CorlaInstall QDRNvqmm"));
    // The parents this run made are gone again with the work area.
    EXPECT_FALSE(Box().Exists("/var/big"));
    ExpectPackageFiles("/opt/Corla/vqmm");
}

TEST_F(SetupRunTest, WorkAreaInAnExistingParentStays) {
    MakeDist();
    ASSERT_EQ(Sh("mkdir -p /var/work").status, 0);
    SimResult r = RunSetup({"/var/work"}, "y\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(IsDir("/var/work"));
    EXPECT_FALSE(Box().Exists("/var/work/CorlaInstall"));
}

TEST_F(SetupRunTest, VersionOnly) {
    MakeDist();
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-v", "install", "/x"}, {"install", "/x", "-v"}}) {
        SimResult r = RunSetup(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "setup 3.01.67\n");
    }
    EXPECT_FALSE(Box().Exists("/opt/Corla"));
    EXPECT_TRUE(Box().Calls().empty());
}

TEST_F(SetupRunTest, CapitalDistributionAndTabsInTheList) {
    MakeDist({"--upper", "--piece-size", "2k"});
    // The names of the list separated by tabs.
    Host("cd '" + DistDir() +
         "' && tr '\\n' '\\t' < DISKS | sed 's/end_of_list\\t$/\\nend_of_list\\n/' > L && mv L "
         "DISKS");
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    ExpectPackageFiles("/opt/Corla/vqmm");
}

TEST_F(SetupRunTest, UpgradeInPlace) {
    FreshInstall("", {"--version", "3.01.50"});
    EXPECT_NE(Box().Read("/var/sadm/pkg/QDRNvqmm/pkginfo").find("\nVERSION=3.01.50\n"),
              std::string::npos);
    // Things an upgrade must not touch or make again.
    Host("rm -rf '" + Box().HostPath("/var/spool/Corla") + "' '" +
         Box().HostPath("/opt/Corla/vqmm/README.vqmm") + "'");
    Box().Write("/opt/Corla/vqmm/.pm_cfg", " AIX ");
    Box().Write("/opt/Corla/vqmm/data/file0001", "old contents");
    MakeDist({"--files", "3"});
    size_t logged = Box().CommandLog().size();
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    // One dot per logged command and per upgraded file (16), one for the
    // version, two for pmqadmin.
    EXPECT_EQ(r.out.find_first_not_of('.'), r.out.size() - 1);

    std::vector<std::string> log = Lines(Box().CommandLog().substr(logged));
    EXPECT_FALSE(Has(log, "pkgadd -d /tmp/CorlaInstall QDRNvqmm"));
    EXPECT_TRUE(
        Has(log, "installf -c none QDRNvqmm /opt/Corla/vqmm/data/file0001 f 0644 root bin"));
    EXPECT_TRUE(Has(log, "installf -c none QDRNvqmm /etc/rc2.d/S99CorlaVqmm f 0744 root sys"));
    EXPECT_TRUE(Has(log, "installf -f QDRNvqmm"));
    EXPECT_EQ(Count(log, "installf -c none QDRNvqmm "), 13u);
    EXPECT_NE(Box().Read("/opt/Corla/vqmm/data/file0001"), "old contents");
    EXPECT_NE(Box().Read("/var/sadm/pkg/QDRNvqmm/pkginfo").find("\nVERSION=3.01.67\n"),
              std::string::npos);
    EXPECT_FALSE(Box().Exists("/var/sadm/pkg/QDRNvqmm/pkginfo.tmp"));
    // Every registered path is complete in the package database.
    EXPECT_EQ(Box().Read("/var/sadm/install/contents").find('!'), std::string::npos);
    ExpectInterfaceFiles("/opt/Corla/vqmm");
    EXPECT_FALSE(Box().Exists("/var/spool/Corla"));
    EXPECT_FALSE(Box().Exists("/opt/Corla/vqmm/README.vqmm"));
    ExpectCleanUp();
}

TEST_F(SetupRunTest, UpgradeKeepsTheRecordWhenTheVersionEditFails) {
    FreshInstall("", {"--version", "3.01.50"});
    MakeDist();
    // Records without a VERSION line the edit could raise: none at all, and
    // one only in the middle of a line longer than the reader's buffer.
    const std::string records[] = {"PKG=QDRNvqmm\nNAME=Corla\n",
                                   "PKG=QDRNvqmm\nDESC=" + std::string(LineBufSize - 6, 'x') +
                                       "VERSION=1\n"};
    for (const std::string &record : records) {
        Box().Write("/var/sadm/pkg/QDRNvqmm/pkginfo", record);
        Host("rm -f '" + Box().HostPath("/tmp/setup.log") + "'");
        SimResult r = RunSetup({});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(Box().Read("/var/sadm/pkg/QDRNvqmm/pkginfo"), record);
        EXPECT_NE(Box()
                      .Read("/tmp/setup.log")
                      .find("WARNING_MSG: /var/sadm/pkg/QDRNvqmm/pkginfo not "
                            "updated"),
                  std::string::npos);
    }
}

TEST_F(SetupRunTest, UpgradeThroughALinkKeepsTheDirectory) {
    FreshInstall("/usr/local");
    MakeDist();
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinkTarget("/opt/Corla/vqmm"), "/usr/local/Corla/vqmm");
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_TRUE(
        Has(log, "installf -c none QDRNvqmm /usr/local/Corla/vqmm/pmqadmin f 0755 root bin"));
    ExpectInterfaceFiles("/usr/local/Corla/vqmm");
}

TEST_F(SetupRunTest, MoveOfADirectoryInstallationLinksIt) {
    FreshInstall();
    Box().Write("/opt/Corla/vqmm/queue.cfg", "mine");
    MakeDist();
    SimResult r = RunSetup({"install", "/usr/local"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinkTarget("/opt/Corla/vqmm"), "/usr/local/Corla/vqmm");
    EXPECT_EQ(Box().Read("/usr/local/Corla/vqmm/queue.cfg"), "mine");
    EXPECT_EQ(Mode("/usr/local/Corla"), 0755u);
    ExpectPackageFiles("/usr/local/Corla/vqmm");
    ExpectInterfaceFiles("/usr/local/Corla/vqmm");
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_TRUE(Has(log, "installf -c none QDRNvqmm /usr/local/Corla/vqmm/csf f 0755 root bin"));
}

TEST_F(SetupRunTest, MoveOfALinkedInstallationBackToOpt) {
    FreshInstall("/usr/local");
    Box().Write("/usr/local/Corla/vqmm/queue.cfg", "mine");
    MakeDist();
    SimResult r = RunSetup({"install", "/opt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(IsDir("/opt/Corla/vqmm"));
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/queue.cfg"), "mine");
    EXPECT_FALSE(Box().Exists("/usr/local/Corla/vqmm"));
    ExpectPackageFiles("/opt/Corla/vqmm");
}

TEST_F(SetupRunTest, AnotherSpellingOfTheSameDirectoryIsNotAMove) {
    FreshInstall();
    Box().Write("/opt/Corla/vqmm/queue.cfg", "mine");
    ASSERT_EQ(Sh("ln -s /opt /var/optlink").status, 0);
    MakeDist();
    SimResult r = RunSetup({"install", "/var/optlink"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/queue.cfg"), "mine");
    ExpectPackageFiles("/opt/Corla/vqmm");
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_EQ(Count(log, "installf -c none"), 14u);
}

TEST_F(SetupRunTest, ALinkWhoseInstallationIsGoneIsAFreshInstallation) {
    ASSERT_EQ(Sh("mkdir -p /opt/Corla && ln -s /export/gone/Corla/vqmm /opt/Corla/vqmm").status, 0);
    MakeDist();
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(IsDir("/opt/Corla/vqmm"));
    ExpectPackageFiles("/opt/Corla/vqmm");
}

TEST_F(SetupRunTest, ARelativeLinkIsResolvedFromItsOwnDirectory) {
    FreshInstall("/usr/local");
    ASSERT_EQ(Sh("rm /opt/Corla/vqmm && ln -s ../../usr/local/Corla/vqmm /opt/Corla/vqmm").status,
              0);
    MakeDist();
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_TRUE(Has(log, "installf -c none QDRNvqmm /usr/local/Corla/vqmm/csf f 0755 root bin"));
    ExpectInterfaceFiles("/usr/local/Corla/vqmm");
}

TEST_F(SetupRunTest, ALongLinkTargetIsReadWhole) {
    // A target of more than 255 characters names the installation whole.
    std::string dir = "/var";
    for (int i = 0; i < 4; ++i)
        dir += "/" + std::string(70, char('a' + i));
    FreshInstall(dir);
    ASSERT_EQ(LinkTarget("/opt/Corla/vqmm"), dir + "/Corla/vqmm");
    MakeDist();
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_TRUE(Has(log, "installf -c none QDRNvqmm " + dir + "/Corla/vqmm/csf f 0755 root bin"));
}

TEST_F(SetupRunTest, AnEarlierInstallationWhosePathCannotTravelIsRefused) {
    ASSERT_EQ(Sh("mkdir -p '/var/my dir/Corla/vqmm' /opt/Corla && "
                 "ln -s '/var/my dir/Corla/vqmm' /opt/Corla/vqmm")
                  .status,
              0);
    MakeDist();
    SimResult r = RunSetup({"install", "/usr/local"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "ERROR: couldn't open /var/my dir\n\n");
    EXPECT_TRUE(IsDir("/var/my dir/Corla/vqmm"));
    EXPECT_FALSE(Box().Exists("/usr/local/Corla"));
}

// --- the running-program check ---------------------------------------------

const std::string RunningMenuHead = "\nThe following processes are running.\nThe installer can not "
                                    "continue until these terminate:\ncsf ( ";
const std::string RunningMenuTail = " )\n\nWould you like to:\n1.  Wait 30 seconds for these "
                                    "processes to terminate\n2.  Quit the installation\n\nEnter a "
                                    "selection:  ";

TEST_F(SetupRunTest, RunningProgramsAndTheOperatorQuits) {
    FreshInstall();
    MakeDist();
    SimResult r = RunSetup({}, "2\n", {"--spawn", "csf"});
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.out.substr(0, RunningMenuHead.size()), RunningMenuHead);
    // The clean-up: the removal of the (absent) work area and pmqadmin twice.
    EXPECT_EQ(r.out.substr(r.out.size() - RunningMenuTail.size() - 4), RunningMenuTail + "...\n");
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_EQ(Count(log, "installf"), 0u); // nothing staged or installed
    ExpectCleanUp();
}

TEST_F(SetupRunTest, RunningProgramsEndWhileTheOperatorWaits) {
    FreshInstall();
    MakeDist();
    SimResult r = RunSetup({}, "1\n", {"--spawn", "csf:3"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.substr(0, RunningMenuHead.size()), RunningMenuHead);
    // The menu once; then the upgrade.
    EXPECT_EQ(r.out.find(RunningMenuHead, 1), std::string::npos);
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_TRUE(Has(log, "installf -f QDRNvqmm"));
}

TEST_F(SetupRunTest, EndOfInputAtTheRunningProgramMenuQuits) {
    FreshInstall();
    MakeDist();
    SimResult r = RunSetup({}, "", {"--spawn", "pmqadmin"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nEnter a selection:  "), std::string::npos);
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_EQ(Count(log, "installf"), 0u);
}

// --- the old print daemon --------------------------------------------------

const std::string DaemonNotice =
    "\nIf you currently have Corla printer software installed that uses PlimtoD\nprint daemon, "
    "you must delete all your Corla print queues prior to installing\nthis package.\n\nNOTE: "
    "PlimtoD is located in <install directory>/Corla/vqmm\n";
const std::string ContinuePrompt = "\nDo You want to continue with the installation? [yn] ";

class OldDaemonTest : public SetupRunTest {
  protected:
    void SetUp() override {
        SetupRunTest::SetUp();
        FreshInstall();
        ASSERT_TRUE(Box().PlantSuiteProgram("/opt/Corla/vqmm/PlimtoDStop"));
        ASSERT_TRUE(Box().Write("/etc/rc2.d/KCorlaPrintD", "#!/bin/sh\n", 0744));
        ASSERT_TRUE(Box().Write("/etc/rc2.d/SCorlaPrintD", "#!/bin/sh\n", 0744));
        MakeDist();
    }
};

TEST_F(OldDaemonTest, UnknownAnswersAskAgainAndYesGoesOn) {
    SimResult r = RunSetup({}, "maybe\n\nyes\n");
    EXPECT_EQ(r.status, 0) << r.err;
    size_t notice = r.out.find(DaemonNotice);
    ASSERT_NE(notice, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(notice, DaemonNotice.size() + 3 * ContinuePrompt.size()),
              DaemonNotice + ContinuePrompt + ContinuePrompt + ContinuePrompt);
    EXPECT_FALSE(Box().Exists("/etc/rc2.d/KCorlaPrintD"));
    EXPECT_FALSE(Box().Exists("/etc/rc2.d/SCorlaPrintD"));
    std::vector<std::string> log = Lines(Box().CommandLog());
    EXPECT_TRUE(Has(log, "installf -f QDRNvqmm"));
}

TEST_F(OldDaemonTest, YAlsoRemovesTheRunControlLinks) {
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Box().Exists("/etc/rc2.d/KCorlaPrintD"));
    EXPECT_FALSE(Box().Exists("/etc/rc2.d/SCorlaPrintD"));
    EXPECT_TRUE(Box().Exists("/etc/rc2.d/S99CorlaVqmm")); // the package's own stays
}

TEST_F(OldDaemonTest, NoEndsTheRunAndLeavesTheWorkArea) {
    for (const char *answer : {"n\n", "no\n", ""}) {
        size_t before = CallsOf("pmqadmin").size();
        SimResult r = RunSetup({}, answer);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(r.out.size() - DaemonNotice.size() - ContinuePrompt.size()),
                  DaemonNotice + ContinuePrompt)
            << answer;
        EXPECT_TRUE(Box().Exists("/tmp/CorlaInstall/disks")) << answer;
        EXPECT_TRUE(Box().Exists("/etc/rc2.d/KCorlaPrintD"));
        EXPECT_EQ(CallsOf("pmqadmin").size(), before) << "no clean-up after " << answer;
    }
}

TEST_F(OldDaemonTest, OnlyTheEnglishAnswersCount) {
    SimResult r = RunSetup({}, "s\nj\no\ny\n", {"--env", "LANG=es_ES"});
    EXPECT_EQ(r.status, 0) << r.err;
    size_t prompts = 0;
    for (size_t at = r.out.find("[sn] "); at != std::string::npos; at = r.out.find("[sn] ", at + 1))
        ++prompts;
    EXPECT_EQ(prompts, 4u);
}

} // namespace
