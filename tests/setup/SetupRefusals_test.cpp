// End to end: every way a run ends early, with its exit status and exact
// words: refusals the installer reports itself (status 0), failures of the
// distribution or of a command it cannot do without (status 1), and paths
// or a work area it cannot use (status 2); the space check; the languages.
#include "Catalogue.h"
#include "CheckedFormat.h"
#include "SetupSandbox.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using corla_test::SetupSandboxTest;

// The clean-up starts pmqadmin even when nothing was installed; the shell
// then says so.
const std::string NoPmqadmin = "sh: 1: /opt/Corla/vqmm/pmqadmin: not found\n"
                               "sh: 1: /opt/Corla/vqmm/pmqadmin: not found\n";

// An entry taking two texts, formatted.
std::string Format(const char *format, const char *a, const char *b) {
    char text[1024];
    EXPECT_GT(CheckedSnprintf(text, sizeof text, format, "%s %s", a, b), 0);
    return text;
}

class RefusalTest : public SetupSandboxTest {
  protected:
    void SetUp() override {
        SetupSandboxTest::SetUp();
        MakeDist();
    }
    // Nothing was installed.
    void ExpectNothingInstalled() {
        EXPECT_FALSE(Box().Exists("/opt/Corla"));
        EXPECT_FALSE(Box().Exists("/var/sadm/pkg/QDRNvqmm"));
    }
};

const std::string NotRoot = "jdoe is logged in\nYou must become root to run setup\n";

TEST_F(RefusalTest, NotRoot) {
    SimResult r = RunSetup({}, "", {"--user", "jdoe"});
    EXPECT_EQ(r.status, 0);
    // Two copies staged, the message, the clean-up.
    EXPECT_EQ(r.out, ".." + NotRoot + "...\n");
    EXPECT_EQ(r.err, NoPmqadmin);
    ExpectNothingInstalled();
    EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
}

TEST_F(RefusalTest, NoUserNameIsNotRoot) {
    SimResult r = RunSetup({}, "", {"--user", ""});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ".. is logged in\nYou must become root to run setup\n...\n");
}

TEST_F(RefusalTest, WrongSystemRelease) {
    for (const char *release : {"5.6", "5.5.91", "6.1"}) {
        SimResult r = RunSetup({}, "", {"--release", release});
        EXPECT_EQ(r.status, 0) << release;
        EXPECT_EQ(r.err, "\nERROR: You are trying to load the wrong version of the Ostrana "
                         "Services for Unix Systems software to this machine.\n" +
                             NoPmqadmin)
            << release;
        EXPECT_EQ(r.out, ".....\n") << release;
        ExpectNothingInstalled();
    }
}

TEST_F(RefusalTest, ReleasesThatSortBeforeTheLimitPass) {
    for (const char *release : {"5.10", ""}) {
        SimResult r = RunSetup({}, "y\n", {"--release", release});
        EXPECT_EQ(r.status, 0) << release;
        EXPECT_EQ(r.err, "") << release;
        EXPECT_TRUE(Box().Exists("/opt/Corla/vqmm/pmqadmin")) << release;
        Host("rm -rf '" + Box().HostPath("/opt/Corla") + "' '" +
             Box().HostPath("/var/sadm/pkg/QDRNvqmm") + "'");
    }
}

TEST_F(RefusalTest, MissingSizeFiles) {
    const std::string message =
        "Could not determine how much space needed for install, missing isize.\n";
    Host("mv '" + DistDir() + "/tsize' '" + DistDir() + "/tsize.away'");
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, message); // it names isize for either file
    Host("mv '" + DistDir() + "/tsize.away' '" + DistDir() + "/tsize'; rm '" + DistDir() +
         "/isize'");
    r = RunSetup({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, message);
    EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
}

TEST_F(RefusalTest, MissingListFile) {
    Host("rm '" + DistDir() + "/disks'");
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: can't open file, CorlaInstall/disks\n");
    EXPECT_EQ(r.out, "");
    ExpectNothingInstalled();
}

TEST_F(RefusalTest, AListFileTooLargeForItsBuffer) {
    Host("cd '" + DistDir() +
         "' && { cat disks; head -c 4100 /dev/zero | tr '\\0' ' '; } > L && mv L disks");
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: can't open file, CorlaInstall/disks\n");
    EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall/disks"));
}

TEST_F(RefusalTest, AListThatDoesNotNameItself) {
    Host("cd '" + DistDir() + "' && sed -i '1d' disks");
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: can't open file, CorlaInstall/disks\n");
    EXPECT_EQ(r.out, "."); // the piece was staged; joining needs the list
}

TEST_F(RefusalTest, AListedFileThatIsMissing) {
    Host("cd '" + DistDir() + "' && sed -i '1a extra.file' disks");
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "..ERROR: command cp exited with status 1\n");
    ExpectNothingInstalled();
}

TEST_F(RefusalTest, UncreatableWorkAreaParent) {
    ASSERT_EQ(Sh("echo x > /var/plain").status, 0);
    SimResult r = RunSetup({"/var/plain/sub"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, ".ERROR: couldn't open /var/plain/sub\n\n"); // the dot: mkdir -p tried
    ExpectNothingInstalled();
}

TEST_F(RefusalTest, PathsThatCannotTravelInACommandLine) {
    struct Case {
        std::vector<std::string> args;
        std::string named;
    };
    const Case cases[] = {
        {{"install", "/usr/lo cal"}, "/usr/lo cal"},
        {{"install", "/usr/local;reboot"}, "/usr/local;reboot"},
        {{"install", "/opt/$HOME"}, "/opt/$HOME"},
        {{"/var/a`b`"}, "/var/a`b`"},
        {{"/var/x y", "install", "/usr/local"}, "/var/x y"},
    };
    for (const Case &c : cases) {
        SimResult r = RunSetup(c.args);
        EXPECT_EQ(r.status, 2) << c.named;
        EXPECT_EQ(r.out, "ERROR: couldn't open " + c.named + "\n\n");
    }
    ExpectNothingInstalled();
    EXPECT_FALSE(Box().Exists("/var/a`b`"));
    EXPECT_FALSE(Box().Exists("/var/x y"));
}

TEST_F(RefusalTest, ADistributionDirectoryThatCannotTravel) {
    Host("cd '" + Box().Root() + "' && mv dist 'my dist'");
    SimResult r = Box().Run({"./setup"}, "", {"--cwd", Box().Root() + "/my dist"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "ERROR: couldn't open " + Box().Root() + "/my dist\n\n");
    ExpectNothingInstalled();
}

TEST_F(RefusalTest, AWorkAreaThatHoldsTheDistribution) {
    Host("mkdir -p '" + Box().HostPath("/tmp") + "' && mv '" + DistDir() + "' '" +
         Box().HostPath("/tmp/CorlaInstall") + "'");
    SimResult r = Box().Run({"./setup"}, "y\n", {"--cwd", "/tmp/CorlaInstall"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "ERROR: couldn't open /tmp/CorlaInstall\n\n");
    EXPECT_TRUE(Box().Exists("/tmp/CorlaInstall/disks"));
    EXPECT_TRUE(Box().Exists("/tmp/CorlaInstall/setup"));
    // Its parent as the work-area parent: the same.
    r = Box().Run({"./setup", "/tmp"}, "y\n", {"--cwd", "/tmp/CorlaInstall"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Box().Exists("/tmp/CorlaInstall/disks"));
}

TEST_F(RefusalTest, ACommandMissingFromTheSystem) {
    SimResult r = RunSetup({}, "", {"--hide", "uncompress"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ERROR: unable to locate system command 'uncompress'\n");
    ExpectNothingInstalled();
}

TEST_F(RefusalTest, AFailingPackageToolEndsWithStatusOne) {
    SimResult r = RunSetup({}, "y\n", {"--conf", "pkgadd-status=1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(r.out.size() - 43), "ERROR: command pkgadd exited with status 1\n");
    EXPECT_NE(Box().Read("/tmp/setup.log").find("ERROR: command pkgadd exited with status 1\n"),
              std::string::npos);
}

TEST_F(RefusalTest, ACorruptArchiveEndsWithStatusOne) {
    Host("cd '" + DistDir() + "' && printf 'not compressed' > pkg_tar.aa");
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR: command uncompress exited with status 1\n"), std::string::npos);
    ExpectNothingInstalled();
}

TEST_F(RefusalTest, MissingPackageCommandFile) {
    RepackDist("rm pkg.list");
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ERROR: can't open file, /tmp/CorlaInstall/./pkg.list\n");
    EXPECT_TRUE(Box().Exists("/opt/Corla/vqmm/pmqadmin")); // pkgadd had run
}

TEST_F(RefusalTest, MissingPackageMapInAnUpgrade) {
    SimResult fresh = RunSetup({}, "y\n");
    ASSERT_EQ(fresh.status, 0);
    RepackDist("rm QDRNvqmm/pkgmap");
    SimResult r = RunSetup({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ERROR: can't open file, /tmp/CorlaInstall/QDRNvqmm/pkgmap\n");
}

// --- the space check ---------------------------------------------------------

class SpaceRunTest : public SetupSandboxTest {
  protected:
    void SetUp() override {
        SetupSandboxTest::SetUp();
        MakeDist({"--isize", "1000", "--tsize", "500"}); // needs 1040 and 540
    }
    SimResult Run(std::vector<std::string> df, std::string_view input = "y\n") {
        std::vector<std::string> options;
        for (const std::string &d : df)
            options.insert(options.end(), {"--df", d});
        return RunSetup({}, input, options);
    }
};

const std::string WorkShort =
    "There isn't enough space in /tmp/CorlaInstall to perform the installation activities. The "
    "temporary work area should be at least 5.400000e+02 bytes. Restart the installation "
    "procedure using a work area that has enough space. \nie: 1. Use /new_work_area_path in "
    "place of /tmp\n    2. Run `setup /new_work_area_path`\n";
const std::string InstallShort =
    "There isn't enough space in /opt to perform the installation activities. The install area "
    "should be at least 1.040000e+03 bytes. Restart the installation procedure using an install "
    "area that has enough space. \nie: 1. Use /new_install_path in place of the default "
    "location\n    2. Run 'setup install /new_install_path'\n";
const std::string SharedShort =
    "There isn't enough space to perform the installation activities. As you are using a "
    "working directory, /tmp/CorlaInstall on the same partition as the install directory you "
    "have selected, /opt this install requires 1.580000e+03 bytes free. Please re-run the "
    "install specifing a different location for a working directory or install directory. "
    "Please see the readme if you need help with the syntax.";

TEST_F(SpaceRunTest, TwoFileSystemsWithRoom) {
    SimResult r = Run({"/tmp=540:/dev/dsk/c0t0d0s5", "/opt=1040:/dev/dsk/c0t1d0s0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Box().Exists("/opt/Corla/vqmm/pmqadmin"));
}

TEST_F(SpaceRunTest, WorkAreaTooSmall) {
    SimResult r = Run({"/tmp=539:/dev/dsk/c0t0d0s5", "/opt=1100:/dev/dsk/c0t1d0s0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, WorkShort);
    EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
}

TEST_F(SpaceRunTest, InstallationTooSmall) {
    SimResult r = Run({"/tmp=2000:/dev/dsk/c0t0d0s5", "/opt=1039:/dev/dsk/c0t1d0s0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, InstallShort);
}

TEST_F(SpaceRunTest, OneFileSystemTooSmallForBoth) {
    SimResult r = Run({"/tmp=1500:/dev/dsk/c0t0d0s5", "/opt=1500:/dev/dsk/c0t0d0s5"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, SharedShort);
}

TEST_F(SpaceRunTest, AnEarlierInstallationCountsAsRoom) {
    ASSERT_EQ(Run({}).status, 0); // a fresh installation first
    SimResult r = RunSetup({}, "",
                           {"--df", "/tmp=1500:/dev/dsk/c0t0d0s5", "--df",
                            "/opt=1500:/dev/dsk/c0t0d0s5", "--du", "/opt/Corla/vqmm=200"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("There isn't enough space"), std::string::npos) << r.out;
    EXPECT_NE(Box().CommandLog().find("du -s /opt/Corla/vqmm\n"), std::string::npos);
}

TEST_F(SpaceRunTest, ANewDirectoryOnAFullFileSystem) {
    SimResult r = Run({"/tmp=90000:/dev/dsk/c0t0d0s5", "/opt=17:/dev/dsk/c0t1d0s0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, InstallShort);
}

TEST_F(SpaceRunTest, WithoutDfThereIsNoRun) {
    SimResult r = RunSetup({}, "", {"--hide", "df"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ERROR: unable to locate system command 'df'\n");
}

// --- languages ---------------------------------------------------------------

TEST_F(RefusalTest, EachLanguageSpeaksItsOwn) {
    struct Case {
        const char *lang;
        const char *const *table;
    };
    const Case cases[] = {
        {"en_US", NLS_ENGLISH},          {"es_ES", NLS_SPANISH}, {"it_IT.ISO8859-1", NLS_ITALIAN},
        {"fr_FR.ISO8859-1", NLS_FRENCH}, {"ge_GE", NLS_GERMAN},  {"pr_BR", NLS_PORTUGUESE},
        {"de_DE", NLS_ENGLISH},          {"FR_FR", NLS_ENGLISH},
    };
    for (const Case &c : cases) {
        SimResult r = RunSetup({}, "", {"--user", "jdoe", "--env", std::string("LANG=") + c.lang});
        EXPECT_EQ(r.status, 0) << c.lang;
        EXPECT_EQ(r.out, ".." + Format(c.table[NlsNotRoot], "jdoe", "setup") + "...\n") << c.lang;
    }
}

TEST_F(RefusalTest, TheShortenedLanguageReachesTheCommandsStartedLater) {
    SimResult r = RunSetup({}, "y\n", {"--env", "LANG=fr_FR.ISO8859-1"});
    EXPECT_EQ(r.status, 0);
    std::vector<SimCall> calls = CallsOf("pmqadmin");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].env["LANG"], "fr_FR");
    // The wrong release goes to standard error in the chosen language.
    r = RunSetup({}, "", {"--release", "5.6", "--env", "LANG=ge_GE"});
    EXPECT_EQ(r.err.substr(0, strlen(NLS_GERMAN[NlsWrongRelease])), NLS_GERMAN[NlsWrongRelease]);
}

} // namespace
