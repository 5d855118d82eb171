// End to end: a package command file that uses every command and every
// attribute, carried out by a fresh installation in the sandbox; and the
// installed interface scripts run the way each print system runs them, with
// the suite's recording stand-ins behind them.
#include "SetupSandbox.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using corla_test::SetupSandboxTest;

const char *const PkgList = R"(# every command and attribute of the package command file
c README.vqmm mode 640 owner daemon group bin
dir QDRNvqmm mode 750
dirto QDRNvqmm /var/corla-install mode 755
t stamp mode 600
m pmqadmin mode 755 bat pmqadmin
m missing mode 700 bat never
s pmadmin bat pmadm
newdir log mode 777
newdir data mode 700
c qcfg name qcfg.new
c editme mode 750 group bin sed s/OLD/NEW/
c editme2 sed -e s/a/b/ -e s/c/d/
c libcorla.so link /usr/lib/libcorla.so
v < 5.6 c old.so
v >= 5.6 c new.so
v = 5.5.1 v < 5.5.2 c exact.so mode 600
v ~ 5.5.1 c never.so
#copy weird
checkps pmqadmin,csf
c after
)";

class PkgListRunTest : public SetupSandboxTest {
  protected:
    void SetUp() override {
        SetupSandboxTest::SetUp();
        const std::string files = Box().Root() + "/files";
        Host("mkdir -p '" + files + "' && cd '" + files + "' && printf %s '" + PkgList +
             "' > pkg.list && echo cfg > qcfg && printf 'OLD line\\n' > editme && "
             "printf 'a c\\n' > editme2 && for f in README.vqmm libcorla.so old.so new.so exact.so "
             "never.so weird after; do echo $f > $f; done");
        std::vector<std::string> options = {"--pkg-list", files + "/pkg.list"};
        for (const char *name : {"README.vqmm", "qcfg", "editme", "editme2", "libcorla.so",
                                 "old.so", "new.so", "exact.so", "never.so", "weird", "after"})
            options.insert(options.end(), {"--extra", files + "/" + name});
        MakeDist(options);
    }
    struct stat Stat(std::string_view inside) const {
        struct stat st {};
        lstat(Box().HostPath(inside).c_str(), &st);
        return st;
    }
};

TEST_F(PkgListRunTest, EveryCommandAndAttribute) {
    // A link planted where a fixed temporary name would be.
    ASSERT_TRUE(Box().Write("/var/victim", "precious\n"));
    ASSERT_EQ(Sh("ln -s /var/victim /tmp/setup.tmp").status, 0);
    SimResult r = RunSetup({}, "y\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    const std::string app = "/opt/Corla/vqmm";

    struct passwd *daemon = getpwnam("daemon");
    struct group *bin = getgrnam("bin");
    ASSERT_NE(daemon, nullptr);
    ASSERT_NE(bin, nullptr);
    struct stat readme = Stat(app + "/README.vqmm");
    EXPECT_EQ(readme.st_mode & 07777, 0640u);
    EXPECT_EQ(readme.st_uid, daemon->pw_uid);
    EXPECT_EQ(readme.st_gid, bin->gr_gid);

    EXPECT_EQ(Mode(app + "/QDRNvqmm"), 0755u); // dir, then the mode of dirto
    EXPECT_TRUE(Box().Exists(app + "/QDRNvqmm/pkgmap"));
    EXPECT_TRUE(Box().Exists("/var/corla-install/pkgmap")); // dirto
    EXPECT_EQ(Mode(app + "/stamp"), 0600u);                 // t
    EXPECT_EQ(Box().Read(app + "/stamp"), "");
    EXPECT_TRUE(Box().Exists("/usr/bin/pmqadmin")); // m ... bat
    EXPECT_FALSE(Box().Exists("/usr/bin/never"));   // m of a missing file
    EXPECT_NE(Box().Read("/usr/bin/pmadm").find("\nexec /opt/Corla/vqmm/pmadmin $*\n"),
              std::string::npos);              // s ... bat
    EXPECT_EQ(Mode(app + "/log"), 0777u);      // newdir
    EXPECT_EQ(Mode(app + "/data"), 0755u);     // newdir of an existing one
    EXPECT_FALSE(Box().Exists(app + "/qcfg")); // name
    EXPECT_EQ(Box().Read(app + "/qcfg.new"), "cfg\n");
    EXPECT_EQ(Box().Read(app + "/editme"), "NEW line\n"); // sed in a later pair
    EXPECT_EQ(Mode(app + "/editme"), 0750u);              // keeps its mode
    EXPECT_EQ(Box().Read(app + "/editme2"), "b d\n");     // sed taking the line's rest
    EXPECT_EQ(LinkTarget("/usr/lib/libcorla.so"), app + "/libcorla.so"); // link
    EXPECT_TRUE(Box().Exists(app + "/old.so"));                          // v <
    EXPECT_FALSE(Box().Exists(app + "/new.so"));                         // v >=
    EXPECT_EQ(Mode(app + "/exact.so"), 0600u);                           // chained v
    EXPECT_FALSE(Box().Exists(app + "/never.so"));                       // unknown operator
    EXPECT_TRUE(Box().Exists(app + "/weird"));                           // "#copy" is a command
    EXPECT_TRUE(Box().Exists(app + "/after"));                           // checkps found nothing
    // No temporary file of the sed edits is left, and none was written
    // through the planted link.
    SimResult tmp = Sh("ls /tmp");
    EXPECT_EQ(tmp.out, "setup.log\nsetup.tmp\n");
    EXPECT_EQ(Box().Read("/var/victim"), "precious\n");
}

TEST_F(PkgListRunTest, QuittingAtTheCommandFilesCheck) {
    SimResult r = RunSetup({}, "y\n2\n", {"--spawn", "csf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\ncsf ( "), std::string::npos);
    EXPECT_TRUE(Box().Exists("/opt/Corla/vqmm/weird"));
    EXPECT_FALSE(Box().Exists("/opt/Corla/vqmm/after")); // nothing after the check
    EXPECT_TRUE(Box().Exists("/var/spool/Corla/vqmm/__pma_download__"));
    EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall")); // the run still cleans up
}

TEST_F(PkgListRunTest, AStaleWrapperLinkIsReplaced) {
    ASSERT_EQ(Sh("ln -s /nowhere /usr/lib/libcorla.so").status, 0);
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinkTarget("/usr/lib/libcorla.so"), "/opt/Corla/vqmm/libcorla.so");
}

// The installed scripts, run as the print systems run them.
class InterfaceScriptRunTest : public SetupSandboxTest {
  protected:
    void SetUp() override {
        SetupSandboxTest::SetUp();
        MakeDist();
        SimResult r = RunSetup({}, "y\n", {"--lprng"});
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(Box().Read("/opt/Corla/vqmm/.pm_cfg"), " LPRng ");
        first_ = Box().Calls().size();
    }
    // The calls made since the installation.
    std::vector<SimCall> NewCalls() const {
        std::vector<SimCall> calls = Box().Calls();
        return std::vector<SimCall>(calls.begin() + long(first_), calls.end());
    }
    size_t first_ = 0;
};

const char *const PrintRuns = R"(
A=/opt/Corla/vqmm
cfg() { printf ' %s ' "$1" > $A/.pm_cfg; }
mkdir -p /var/lp /var/spool/bsd1 /var/spool/lq1
ln -s $A/CorlaPrintvqmm /var/lp/lp1
cfg V5;    /var/lp/lp1 12-3 jdoe 'Report###1 x' 2 nobanner /etc/hostname /etc/issue
cfg CUPS;  PRINTER=cq1 $A/CorlaPrintvqmm 13-1 jdoe 'T###1' 1 o /etc/hostname
cfg BSD;   cd /var/spool/bsd1 && $A/CorlaPrintvqmm -w132 -l66 -n jdoe </dev/null
cfg LPRng; cd /var/spool/lq1 && PRINTER= SPOOL_DIR=/var/spool/lq1 CONTROL='Hhost1
Pjdoe
Jreport.ps
NMy Title
Zduplex,tray=2
Qlq2
UdfA001host1
UdfA002host1
' $A/CorlaPrintvqmm -Apr@host1+001 -Ff
cfg AIX;   cd / && $A/CorlaPrintvqmm -q aq1 /etc/hostname
)";

TEST_F(InterfaceScriptRunTest, PrintScriptInEveryPrintSystem) {
    SimResult r = Sh(PrintRuns);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<SimCall> calls = NewCalls();
    ASSERT_EQ(calls.size(), 5u);

    const SimCall &v5 = calls[0];
    EXPECT_EQ(v5.prog, "pmrvqmmtty");
    EXPECT_EQ(v5.argv, (std::vector<std::string>{"-dlp1", "-i", "/etc/hostname", "/etc/issue"}));
    EXPECT_EQ(v5.cwd, "/opt/Corla/vqmm");
    EXPECT_EQ(v5.env.at("PlimtoPrinter"), "lp1");
    EXPECT_EQ(v5.env.at("PlimtoRequest_id"), "12-3");
    EXPECT_EQ(v5.env.at("PlimtoUser_name"), "jdoe");
    EXPECT_EQ(v5.env.at("PlimtoTitle"), "Report");
    EXPECT_EQ(v5.env.at("PlimtoCopies"), "2");
    EXPECT_EQ(v5.env.at("PlimtoOption_list"), "nobanner");
    EXPECT_EQ(v5.env.at("PATH"), "/usr/sbin:/usr/bin");

    const SimCall &cups = calls[1];
    EXPECT_EQ(cups.argv, (std::vector<std::string>{"-dcq1", "-i", "/etc/hostname"}));
    EXPECT_EQ(cups.env.at("PlimtoTitle"), "T###1");

    const SimCall &bsd = calls[2];
    EXPECT_EQ(bsd.argv, (std::vector<std::string>{"-dbsd1", "-f"}));
    EXPECT_EQ(bsd.cwd, "/var/spool/bsd1");
    EXPECT_EQ(bsd.env.at("PlimtoQueue"), "/var/spool/bsd1");
    EXPECT_TRUE(Box().Exists("/var/spool/bsd1/plimtovqmm.log"));

    const SimCall &lprng = calls[3];
    EXPECT_EQ(lprng.argv,
              (std::vector<std::string>{"-dlq2", "-f", "-oduplex", "-otray=2", "report.ps"}));
    EXPECT_EQ(lprng.cwd, "/opt/Corla/vqmm");
    EXPECT_EQ(lprng.env.at("PlimtoHost_name"), "host1");
    EXPECT_EQ(lprng.env.at("PlimtoUser_name"), "jdoe");
    EXPECT_EQ(lprng.env.at("PlimtoJob_title"), "My Title");
    EXPECT_EQ(lprng.env.at("PlimtoControl_file"), "cfA001host1");
    EXPECT_EQ(lprng.env.at("PlimtoFileSourceDir"), "/var/spool/lq1");
    EXPECT_EQ(lprng.env.at("PlimtoQueue"), "lq2");

    const SimCall &aix = calls[4];
    EXPECT_EQ(aix.prog, "AixInterface");
    EXPECT_EQ(aix.argv, (std::vector<std::string>{"-q", "aq1", "/etc/hostname"}));
    EXPECT_EQ(aix.cwd, "/opt/Corla/vqmm");
}

const char *const FilterRuns = R"(
A=/opt/Corla/vqmm
cfg() { printf ' %s ' "$1" > $A/.pm_cfg; }
mkdir -p /var/lp /var/spool/Corla/vqmm/bsd1 /var/spool/lq1
ln -s $A/CorlaCSF /var/lp/lp1
cfg V5;    /var/lp/lp1 12-3 jdoe 'T###1' 2 o /etc/hostname
cfg CUPS;  PRINTER=cq1 $A/CorlaCSF 13-1 jdoe t 1 o /etc/issue
cfg BSD;   cd /var/spool/Corla/vqmm/bsd1 && echo job | $A/CorlaCSF -w132
cfg LPRng; cd /var/spool/lq1 && echo piped | SPOOL_DIR=/var/spool/lq1 $A/CorlaCSF -Pq -f /x/first -f '(stdin)' -f /etc/issue
cfg AIX;   cd / && $A/CorlaCSF -a b
ls /var/spool/Corla/vqmm/bsd1 /var/spool/lq1
)";

TEST_F(InterfaceScriptRunTest, FilterScriptInEveryPrintSystemRetriesCsf) {
    ASSERT_TRUE(Box().SetConf("exit.csf", "1\n1\n0\n"));
    SimResult r = Sh(FilterRuns);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "/var/spool/Corla/vqmm/bsd1:\n\n/var/spool/lq1:\n"); // copies removed
    std::vector<SimCall> calls = NewCalls();
    ASSERT_EQ(calls.size(), 7u);
    for (const SimCall &call : calls)
        EXPECT_EQ(call.prog, "csf");
    // V5: csf failed twice, the third start took the job.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].argv, std::vector<std::string>{"/etc/hostname"});
        EXPECT_EQ(calls[i].env.at("PlimtoPrinter"), "lp1");
        EXPECT_EQ(calls[i].env.at("PlimtoTitle"), "T###1");
        EXPECT_EQ(calls[i].cwd, "/opt/Corla/vqmm");
    }
    EXPECT_EQ(calls[3].argv, std::vector<std::string>{"/etc/issue"});
    EXPECT_EQ(calls[3].env.at("PlimtoPrinter"), "cq1");
    ASSERT_EQ(calls[4].argv.size(), 1u);
    const std::string bsdCopy = "/var/spool/Corla/vqmm/bsd1/bsd1.";
    EXPECT_EQ(calls[4].argv[0].substr(0, bsdCopy.size()), bsdCopy);
    EXPECT_EQ(calls[4].env.at("PlimtoQueue"), "/var/spool/Corla/vqmm/bsd1");
    ASSERT_EQ(calls[5].argv.size(), 2u);
    const std::string lprngCopy = "/var/spool/lq1/lq1.";
    EXPECT_EQ(calls[5].argv[0].substr(0, lprngCopy.size()), lprngCopy);
    EXPECT_EQ(calls[5].argv[1], "/etc/issue");
    EXPECT_EQ(calls[6].argv, (std::vector<std::string>{"-a", "b"}));
    EXPECT_EQ(calls[6].cwd, "/opt/Corla/vqmm");
}

TEST_F(InterfaceScriptRunTest, TheWrapperStartsItsProgramFromTheApplicationDirectory) {
    SimResult r = Sh("cd /var && /usr/bin/pmqadmin -list all");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<SimCall> calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].path, "/opt/Corla/vqmm/pmqadmin");
    EXPECT_EQ(calls[0].argv, (std::vector<std::string>{"-list", "all"}));
    EXPECT_EQ(calls[0].cwd, "/opt/Corla/vqmm");
    EXPECT_EQ(calls[0].env.at("PlimtoFileSourceDir"), "/var");
}

// The print systems the installation finds.
class PrintSystemTest : public SetupSandboxTest {
  protected:
    void SetUp() override {
        SetupSandboxTest::SetUp();
        MakeDist();
    }
};

TEST_F(PrintSystemTest, LprngLinksThePrintScriptIntoPrintconf) {
    ASSERT_TRUE(Box().Write("/usr/share/printconf/util/other", ""));
    SimResult r = RunSetup({}, "y\n", {"--lprng"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/.pm_cfg"), " LPRng ");
    EXPECT_EQ(LinkTarget("/usr/share/printconf/util/CorlaPrintvqmm"),
              "/opt/Corla/vqmm/CorlaPrintvqmm");
}

TEST_F(PrintSystemTest, LprngWithoutPrintconfMakesNoLink) {
    SimResult r = RunSetup({}, "y\n", {"--lprng"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Box().Exists("/usr/share/printconf/util"));
}

TEST_F(PrintSystemTest, CupsWinsOverLprng) {
    SimResult r = RunSetup({}, "y\n", {"--lprng", "--cupsd"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/.pm_cfg"), " CUPS ");
}

TEST_F(PrintSystemTest, AnotherLpdIsV5) {
    SimResult r = RunSetup({}, "y\n", {"--lpd", "lpd: BSD line printer spooler"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/.pm_cfg"), " V5 ");
}

} // namespace
