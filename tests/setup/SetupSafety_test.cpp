// End to end, on a machine shared with another local user and set up
// carelessly: a work-area parent that user controls, the operator's umask,
// a log that cannot be used, named pipes in the distribution, an archive
// that lost a piece. Each run is checked for what it changed: nothing
// outside the work area, the log it may write and (when it installs) what
// an installation makes.
#include "OtherUser.h"
#include "SetupSandbox.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using corla_test::ChangedOutside;
using corla_test::PlantMoment;
using corla_test::RecordTree;
using corla_test::SetupSandboxTest;
using corla_test::TreeRecord;
using Paths = std::vector<std::string>;

// What a fresh installation to /opt makes (below the scratch root), besides
// the work area, which it removes again, and the log.
const Paths InstalledFiles = {
    "opt/Corla",       "var/sadm/pkg/QDRNvqmm",  "var/sadm/install/contents",
    "var/spool/Corla", "etc/rc2.d/S99CorlaVqmm", "changes/usr/bin/pmqadmin"};

Paths With(Paths paths, const Paths &more) {
    paths.insert(paths.end(), more.begin(), more.end());
    return paths;
}

const Paths Installed = With(InstalledFiles, {"tmp/setup.log"});

class SafetyTest : public SetupSandboxTest {
  protected:
    void SetUp() override {
        SetupSandboxTest::SetUp();
        // The scratch root laid out, so that a record shows the run alone.
        ASSERT_EQ(Sh(":").status, 0);
    }
    // The machine as it is now; the next Changed compares against it.
    void Record() { before_ = RecordTree(Box().Root()); }
    // What changed since Record, outside allowed.
    Paths Changed(const Paths &allowed) const {
        return ChangedOutside(before_, RecordTree(Box().Root()), allowed);
    }
    bool MomentCame() const { return Box().CommandLog().find("moment ") != std::string::npos; }
    // Run setup with a time limit: nothing here may make it wait.
    SimResult RunBounded(std::vector<std::string> args, std::string_view input = "y\n") {
        args.insert(args.begin(), "./setup");
        SimResult r = Box().Run(args, input, {"--cwd", DistDir()}, 30);
        EXPECT_FALSE(r.timedOut);
        return r;
    }
    void ExpectNothingInstalled() {
        EXPECT_FALSE(Box().Exists("/opt/Corla"));
        EXPECT_FALSE(Box().Exists("/var/sadm/pkg/QDRNvqmm"));
    }

  private:
    TreeRecord before_;
};

// --- a work-area parent another user controls --------------------------------

// At whoami (right after staging) the other user puts a work area of its own
// at workArea, moving root's away from moved to gone: a copy of what root
// staged, and in place of the archive a link to a file of root's, which
// joining the pieces would append them to.
std::string SwapWorkArea(const std::string &workArea, const std::string &moved,
                         const std::string &gone) {
    return "other 'mv " + moved + " " + gone + " && mkdir -p " + workArea + " && cp -p " + gone +
           "/" + workArea.substr(moved.size()) + "/* " + workArea + "/ && ln -s /etc/victim " +
           workArea + "/Solaris2.5Vqmm.tar.Z'";
}

TEST_F(SafetyTest, AWorkAreaParentAnotherUserCanChangeIsRefused) {
    MakeDist();
    ASSERT_EQ(Sh("mkdir -p /var/theirs /var/open /var/grouped /var/sticky/mine && "
                 "chown 65534:65534 /var/theirs && chmod 777 /var/open && "
                 "chgrp 65534 /var/grouped && chmod 775 /var/grouped && chmod 1777 /var/sticky && "
                 "ln -s /var/sticky/mine /var/sticky/link && chown -h 65534:65534 /var/sticky/link")
                  .status,
              0);
    ASSERT_TRUE(Box().Write("/etc/victim", "precious\n"));
    struct Case {
        std::string parent; // the work-area parent on the command line
        std::string named;  // the directory the refusal names
        std::string swap;   // what the other user does at whoami
    };
    const std::string w = "/CorlaInstall";
    const Case cases[] = {
        // another user's directory
        {"/var/theirs", "/var/theirs",
         SwapWorkArea("/var/theirs" + w, "/var/theirs" + w, "/var/theirs/gone")},
        // root's, open to everybody
        {"/var/open", "/var/open",
         SwapWorkArea("/var/open" + w, "/var/open" + w, "/var/open/gone")},
        // root's, open to the other user's group
        {"/var/grouped", "/var/grouped",
         SwapWorkArea("/var/grouped" + w, "/var/grouped" + w, "/var/grouped/gone")},
        // to be made below an open directory: the made one is moved away
        {"/var/open/new/dir", "/var/open",
         SwapWorkArea("/var/open/new/dir" + w, "/var/open/new", "/var/open/gone")},
        // another user's link in a sticky directory: pointed elsewhere
        {"/var/sticky/link", "/var/sticky/link",
         "other 'mkdir -p /var/theirs/CorlaInstall && cp -p /var/sticky/mine/CorlaInstall/* "
         "/var/theirs/CorlaInstall/ && ln -s /etc/victim "
         "/var/theirs/CorlaInstall/Solaris2.5Vqmm.tar.Z && ln -sfn /var/theirs "
         "/var/sticky/link'"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(PlantMoment(Box(), "/usr/bin/whoami", c.swap, "root\n"));
        Record();
        SimResult r = RunSetup({c.parent}, "y\n");
        EXPECT_EQ(r.status, 2) << c.parent;
        EXPECT_EQ(r.out, "ERROR: couldn't use " + c.parent + "/CorlaInstall as the work area: " +
                             c.named + " can be changed by another user\n\n");
        EXPECT_FALSE(MomentCame()) << c.parent;
        EXPECT_EQ(Box().Read("/etc/victim"), "precious\n") << c.parent;
        EXPECT_EQ(Changed({"tmp/setup.log"}), Paths{}) << c.parent;
        ExpectNothingInstalled();
    }
    EXPECT_FALSE(Box().Exists("/var/open/new"));

    // A sticky directory of root's keeps root's work area root's: the swap
    // fails and the installation goes through.
    ASSERT_TRUE(PlantMoment(Box(), "/usr/bin/whoami",
                            SwapWorkArea("/var/sticky" + w, "/var/sticky" + w, "/var/sticky/gone"),
                            "root\n"));
    Record();
    SimResult r = RunSetup({"/var/sticky"}, "y\n");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(MomentCame());
    EXPECT_EQ(Box().Read("/etc/victim"), "precious\n");
    EXPECT_TRUE(Box().Exists("/opt/Corla/vqmm/pmqadmin"));
    EXPECT_EQ(Changed(Installed), Paths{});
}

// --- the umask -----------------------------------------------------------------

TEST_F(SafetyTest, ModesDoNotDependOnTheUmask) {
    MakeDist();
    // At whoami: the modes of the created parent and the work area, and the
    // other user trying to add a file to the parent.
    ASSERT_TRUE(PlantMoment(Box(), "/usr/bin/whoami",
                            "stat -c '%a %n' /var/bigdisk /var/bigdisk/CorlaInstall "
                            ">/var/sim/log/modes 2>/dev/null\n"
                            "other 'touch /var/bigdisk/theirs'",
                            "root\n"));
    Record();
    SimResult r = Box().Run({"/bin/sh", "-c", "umask 000 && exec ./setup /var/bigdisk"}, "y\n",
                            {"--cwd", DistDir()});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Box().Read("/var/sim/log/modes"),
              "755 /var/bigdisk\n755 /var/bigdisk/CorlaInstall\n");
    EXPECT_FALSE(Box().Exists("/var/bigdisk")); // removed again: nobody added to it
    EXPECT_EQ(Mode("/opt/Corla"), 0755u);
    EXPECT_EQ(Mode("/opt/Corla/vqmm"), 0755u);
    EXPECT_EQ(Mode("/opt/Corla/vqmm/.pm_cfg"), 0644u);
    EXPECT_EQ(Mode("/opt/Corla/vqmm/CorlaPrintvqmm"), 0755u);
    EXPECT_EQ(Mode("/opt/Corla/vqmm/README.vqmm"), 0644u);
    EXPECT_EQ(Mode("/opt/Corla/vqmm/log"), 0777u); // as pkg.list asks
    EXPECT_EQ(Mode("/usr/bin/pmqadmin"), 0755u);
    EXPECT_EQ(Mode("/var/spool/Corla"), 0775u);
    EXPECT_EQ(Mode("/var/spool/Corla/vqmm"), 0755u);
    EXPECT_EQ(Mode("/var/spool/Corla/vqmm/__pma_download__"), 0777u);
    EXPECT_EQ(Mode("/var/sadm/pkg/QDRNvqmm/pkginfo"), 0644u);
    EXPECT_EQ(Mode("/tmp/setup.log"), 0666u);
    EXPECT_EQ(Changed(Installed), Paths{});

    // An upgrade rewrites the package record and keeps its mode.
    ASSERT_EQ(Sh("sed -i 's/^VERSION=.*/VERSION=3.01.50/' /var/sadm/pkg/QDRNvqmm/pkginfo && "
                 "chmod 640 /var/sadm/pkg/QDRNvqmm/pkginfo")
                  .status,
              0);
    r = Box().Run({"/bin/sh", "-c", "umask 000 && exec ./setup"}, "", {"--cwd", DistDir()});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(Box().Read("/var/sadm/pkg/QDRNvqmm/pkginfo").find("\nVERSION=3.01.67\n"),
              std::string::npos);
    EXPECT_EQ(Mode("/var/sadm/pkg/QDRNvqmm/pkginfo"), 0640u);
    EXPECT_EQ(Mode("/opt/Corla/vqmm/.pm_cfg"), 0644u);
}

// --- a log that cannot be used -------------------------------------------------

class UnusableLogTest : public SafetyTest {
  protected:
    // A distribution whose package command file edits a file with sed (its
    // diagnostics go where the log's would).
    void SetUp() override {
        SafetyTest::SetUp();
        Host("printf 'old text\\n' > '" + Box().Root() + "/notes' && printf '%s\\n' " +
             "'c notes sed -e s/old/new/' 'm pmqadmin mode 755 bat pmqadmin' > '" + Box().Root() +
             "/pkg.list'");
        MakeDist({"--pkg-list", Box().Root() + "/pkg.list", "--extra", Box().Root() + "/notes"});
    }
    // The installation is complete, with the edit done.
    void ExpectInstalled(const SimResult &r) {
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(Box().Read("/opt/Corla/vqmm/notes"), "new text\n");
        EXPECT_EQ(Mode("/usr/bin/pmqadmin"), 0755u);
        EXPECT_EQ(CallsOf("pmqadmin").size(), 2u);
        EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
    }
};

TEST_F(UnusableLogTest, AnotherUsersDirectoryAtTheLogPath) {
    ASSERT_EQ(Sh("mkdir /tmp/setup.log && chown 65534:65534 /tmp/setup.log").status, 0);
    Record();
    SimResult r = RunSetup({}, "y\n");
    ExpectInstalled(r);
    EXPECT_EQ(r.err, "ERROR: couldn't open /tmp/setup.log\n"); // once
    EXPECT_TRUE(IsDir("/tmp/setup.log"));
    EXPECT_EQ(Changed(InstalledFiles), Paths{}); // the directory at the log path included
}

TEST_F(UnusableLogTest, ANameTooLongForALogFile) {
    const std::string name(252, 's'); // "<name>.log" is one byte longer than a name may be
    Host("cp '" + DistDir() + "/setup' '" + DistDir() + "/" + name + "'");
    Record();
    SimResult r = Box().Run({"./" + name}, "y\n", {"--cwd", DistDir()});
    ExpectInstalled(r);
    EXPECT_EQ(r.err, "ERROR: couldn't open /tmp/" + name + ".log\n");
    EXPECT_EQ(Changed(Installed), Paths{});
}

// --- named pipes in the distribution ---------------------------------------------

TEST_F(SafetyTest, NamedPipesInTheDistributionAreMissingFiles) {
    MakeDist();
    const std::string sizeMissing =
        "Could not determine how much space needed for install, missing isize.\n";
    const std::string listMissing = "ERROR: can't open file, CorlaInstall/disks\n";
    struct Case {
        std::string fifo; // made in place of this file (the file itself moved away)
        int status;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {"isize", 0, sizeMissing, ""},
        {"tsize", 0, sizeMissing, ""},
        {"disks", 1, "", listMissing},
        {"DISKS", 1, "", listMissing}, // no disks: DISKS is looked for, and is a pipe too
    };
    for (const Case &c : cases) {
        const std::string d = "cd '" + DistDir() + "' && ";
        Host(d + "mv disks disks.away && mv isize isize.away && mv tsize tsize.away && " +
             "cp disks.away disks && cp isize.away isize && cp tsize.away tsize && rm -f " +
             c.fifo + " && mkfifo " + c.fifo + (c.fifo == "DISKS" ? " && rm disks" : ""));
        Record();
        SimResult r = RunBounded({});
        EXPECT_EQ(r.status, c.status) << c.fifo;
        EXPECT_EQ(r.out, c.out) << c.fifo;
        EXPECT_EQ(r.err, c.err) << c.fifo;
        ExpectNothingInstalled();
        EXPECT_EQ(Changed({"tmp/setup.log", "tmp/CorlaInstall"}), Paths{}) << c.fifo;
        Host(d +
             "rm -f disks isize tsize DISKS && mv disks.away disks && mv isize.away isize && "
             "mv tsize.away tsize && rm -rf '" +
             Box().HostPath("/tmp/CorlaInstall") + "'");
    }
}

// --- an archive that lost a piece ------------------------------------------------

const std::string Incomplete = "ERROR: the archive /tmp/CorlaInstall/Solaris2.5Vqmm.tar.Z is "
                               "incomplete: a piece of the distribution is missing or damaged\n";

TEST_F(SafetyTest, AnIncompleteArchiveInstallsNothing) {
    MakeDist({"--piece-size", "2k"});
    const std::string d = "cd '" + DistDir() + "' && ";
    const std::string last = "`ls pkg_tar.* | tail -n 1`";
    struct Case {
        std::string what;
        std::string edit; // on the distribution, undone afterwards from dist.whole
    };
    const Case cases[] = {
        {"the last piece cut short", "p=" + last + " && head -c 664 $p > x && mv x $p"},
        {"the last piece missing from the list", "sed -i \"/^" + last + "$/d\" disks"},
    };
    Host("cp -a '" + DistDir() + "' '" + DistDir() + ".whole'");
    auto restore = [&] {
        Host("rm -rf '" + DistDir() + "' && cp -a '" + DistDir() + ".whole' '" + DistDir() + "'");
    };
    for (const Case &c : cases) {
        Host(d + c.edit);
        Record();
        SimResult r = RunBounded({});
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.err, Incomplete) << c.what;
        ExpectNothingInstalled();
        EXPECT_EQ(Changed({"tmp/setup.log", "tmp/CorlaInstall"}), Paths{}) << c.what;
        EXPECT_NE(Box().Read("/tmp/setup.log").find(Incomplete), std::string::npos);
        restore();
    }

    // An upgrade copies nothing from it: the installation stays as it was.
    ASSERT_EQ(RunBounded({}).status, 0);
    Box().Write("/opt/Corla/vqmm/.pm_cfg", " AIX ");
    Host(d + cases[0].edit);
    Record();
    SimResult r = RunBounded({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Incomplete);
    EXPECT_EQ(Changed({"tmp/setup.log", "tmp/CorlaInstall"}), Paths{});
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/.pm_cfg"), " AIX ");
}

} // namespace
