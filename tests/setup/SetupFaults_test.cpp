// End to end: the installer on a sick machine, in the sandbox. A file
// system that fills up, a command killed by a signal, the operator's input
// ending at a prompt, SIGINT and SIGTERM in the middle of a step: each run
// ends with the status its cause gives, says which step failed, leaves
// nothing half written without saying so, and a second run afterwards
// succeeds.
#include "OtherUser.h"
#include "SetupSandbox.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using corla_test::SetupSandboxTest;

// The source tree: the stand-ins a wrapper hands over to live in sim/.
std::string SourceRoot() {
    std::string file = __FILE__;
    return file.substr(0, file.rfind("/tests/setup/"));
}

// A shell snippet that sends signal NAME to the installer: the nearest
// "setup" among the processes the snippet descends from.
std::string SignalSetup(const std::string &name) {
    return "p=$$; while [ \"$p\" -gt 1 ] && [ \"$(cat /proc/$p/comm)\" != setup ]; do "
           "p=$(awk '/^PPid:/ { print $2 }' /proc/$p/status); done; kill -" +
           name + " \"$p\"";
}

// Entry names of a directory on this machine, sorted.
std::vector<std::string> Names(const std::string &dir) {
    std::vector<std::string> names;
    DIR *handle = opendir(dir.c_str());
    for (struct dirent *e = handle ? readdir(handle) : nullptr; e != nullptr; e = readdir(handle))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    if (handle != nullptr) closedir(handle);
    std::sort(names.begin(), names.end());
    return names;
}

bool Holds(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

const std::string Installed = "\nInstallation of <QDRNvqmm> was successful.\n";
const std::string Data = "/opt/Corla/vqmm/data";
const std::vector<std::string> DataFiles = {"file0001", "file0002", "file0003", "file0004"};

class FaultsTest : public SetupSandboxTest {
  protected:
    void SetUp() override {
        SetupSandboxTest::SetUp();
        MakeDist();
    }

    void FreshInstall() {
        SimResult r = RunSetup({}, "y\n");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
    }
    // The next release, with data files of fileSize bytes, over an
    // installation recorded as 3.01.50.
    void NewRelease(const std::string &fileSize = "2000") {
        Host("rm -rf '" + DistDir() + "'");
        MakeDist({"--file-size", fileSize});
        ASSERT_EQ(
            Sh("sed -i 's/^VERSION=.*/VERSION=3.01.50/' /var/sadm/pkg/QDRNvqmm/pkginfo").status, 0);
    }
    std::string Version() const {
        std::string info = Box().Read("/var/sadm/pkg/QDRNvqmm/pkginfo");
        size_t at = info.find("\nVERSION=");
        return at == std::string::npos ? "" : info.substr(at + 9, info.find('\n', at + 1) - at - 9);
    }
    std::string Log() const { return Box().Read("/tmp/setup.log"); }

    // Put a wrapper at command (an inside path) that runs script (which sees
    // the arguments as "$@"), then hands over to real (a file of this
    // machine, copied into the sandbox). The wrapper stays until Uninterpose.
    void Interpose(const std::string &command, const std::string &real, const std::string &script) {
        const std::string name = command.substr(command.rfind('/') + 1);
        const std::string kept = "/usr/lib/simreal/" + name;
        Host("mkdir -p '" + Box().HostPath("/usr/lib/simreal") + "' && cp '" + real + "' '" +
             Box().HostPath(kept) + "'");
        ASSERT_TRUE(
            Box().Write(command, "#!/bin/sh\n" + script + "\nexec " + kept + " \"$@\"\n", 0755));
        interposed_.push_back(command);
    }
    void Uninterpose() {
        for (const std::string &command : interposed_)
            Host("rm -f '" + Box().HostPath(command) + "'");
        interposed_.clear();
    }

    // After the faulty run: what the failure left behind is gone, and the
    // same command again installs or upgrades completely.
    void ExpectASecondRunSucceeds(std::string_view input = "y\n",
                                  std::vector<std::string> options = {}) {
        Uninterpose();
        SimResult r = RunSetup({}, input, options);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(Version(), "3.01.67");
        EXPECT_EQ(Mode("/opt/Corla/vqmm/pmqadmin"), 0755u);
        EXPECT_EQ(Box().Read("/opt/Corla/vqmm/.pm_cfg"), " V5 ");
        EXPECT_EQ(Names(Box().HostPath(Data)), DataFiles);
        EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
        EXPECT_FALSE(Holds(Box().Read("/var/sadm/install/contents"), "!QDRNvqmm"))
            << "the package is completely installed";
    }
    void ExpectNothingInstalled() {
        EXPECT_FALSE(Box().Exists("/opt/Corla"));
        EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
    }

  private:
    std::vector<std::string> interposed_;
};

// --- caught signals ------------------------------------------------------------

struct StopCase {
    const char *name;
    const char *signal;
    int number;
    bool upgrade; // during the upgrade's copies, else during staging
};

class StopTest : public FaultsTest, public testing::WithParamInterface<StopCase> {};

TEST_P(StopTest, TheStepIsNamedWhatWasWrittenGoesAndTheSignalEndsTheRun) {
    const StopCase &c = GetParam();
    std::string oldData;
    if (c.upgrade) {
        FreshInstall();
        oldData = Box().Read(Data + "/file0002");
        NewRelease();
    }
    // The signal arrives while cp copies one file: a piece being staged, or
    // a file of the package over the installed one.
    Interpose("/usr/bin/cp", "/usr/bin/cp",
              std::string("case \"$*\" in *") +
                  (c.upgrade ? "reloc/vqmm/data/file0002" : "/dist/pkg_tar.aa") + "*) " +
                  SignalSetup(c.signal) + " ;; esac");
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 128 + c.number) << r.out << r.err;
    const std::string stop = std::string("\nsetup: stopped by SIG") + c.signal + " while " +
                             (c.upgrade ? "copying and registering the files of the upgrade"
                                        : "staging the distribution into the work area") +
                             "\n";
    EXPECT_TRUE(Holds(r.err, stop)) << r.err;
    EXPECT_TRUE(Holds(Log(), stop.substr(1))) << Log();
    EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
    if (c.upgrade) {
        // Five files were in place and six registered when the copy of the
        // sixth was cut short: it keeps its old content, nothing beside it.
        const std::string summary =
            "setup: the upgrade did not complete: 5 of its 14 files were copied and 6 registered, "
            "the others keep their earlier content; the recorded version was not raised\n";
        EXPECT_TRUE(Holds(r.err, stop + summary)) << r.err;
        EXPECT_EQ(Box().Read(Data + "/file0002"), oldData);
        EXPECT_EQ(Names(Box().HostPath(Data)), DataFiles);
        EXPECT_EQ(Version(), "3.01.50");
    } else {
        ExpectNothingInstalled();
    }
    ExpectASecondRunSucceeds();
}

INSTANTIATE_TEST_SUITE_P(Signals, StopTest,
                         testing::Values(StopCase{"SigintStaging", "INT", SIGINT, false},
                                         StopCase{"SigtermStaging", "TERM", SIGTERM, false},
                                         StopCase{"SigintUpgradeCopies", "INT", SIGINT, true},
                                         StopCase{"SigtermUpgradeCopies", "TERM", SIGTERM, true}),
                         [](const testing::TestParamInfo<StopCase> &p) { return p.param.name; });

// --- commands killed by a signal -------------------------------------------------

// pkgadd, run unshown in the fatal mode: the fresh installation it was
// adding is taken away again, so the next run is a fresh one too.
TEST_F(FaultsTest, AKilledPkgaddTakesTheUnfinishedInstallationAway) {
    ASSERT_TRUE(Box().Write("/usr/sbin/pkgadd", "#!/bin/sh\nkill -KILL $$\n", 0755));
    SimResult r = RunSetup({}, "y\n");
    Host("rm -f '" + Box().HostPath("/usr/sbin/pkgadd") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Holds(r.out, ".ERROR: command pkgadd exited with status 137\n")) << r.out;
    EXPECT_TRUE(Holds(r.err, "setup: the installation failed while making the application "
                             "directory and adding the package\n"
                             "setup: the unfinished installation in /opt/Corla/vqmm was removed\n"))
        << r.err;
    ExpectNothingInstalled();
    ExpectASecondRunSucceeds();
}

// cp of staging, logged in the fatal mode: the work area goes.
TEST_F(FaultsTest, AKilledCopyWhileStaging) {
    Interpose("/usr/bin/cp", "/usr/bin/cp",
              "case \"$*\" in */dist/pkg_tar.aa*) kill -KILL $$ ;; esac");
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "..ERROR: command cp exited with status 137\n");
    EXPECT_TRUE(Holds(r.err, "setup: the installation failed while staging the distribution into "
                             "the work area\n"))
        << r.err;
    EXPECT_TRUE(Holds(Log(), "ERROR: command cp exited with status 137\nsetup: the installation "
                             "failed while staging"));
    ExpectNothingInstalled();
    ExpectASecondRunSucceeds();
}

// installf of the upgrade, run through the system shell: the run goes on,
// but the upgrade is neither completed in the package database nor
// recorded as the new version.
TEST_F(FaultsTest, AKilledRegistrationLeavesTheUpgradeIncomplete) {
    FreshInstall();
    NewRelease();
    Interpose("/usr/sbin/installf", SourceRoot() + "/sim/standins/installf",
              "n=$(cat /var/sim/installf.count 2>/dev/null || echo 0); n=$((n + 1));"
              " echo $n > /var/sim/installf.count; [ $n != 3 ] || kill -KILL $$");
    SimResult r = RunSetup({}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Holds(r.err, "setup: the upgrade did not complete: 14 of its 14 files were copied "
                             "and 13 registered, the others keep their earlier content; the "
                             "recorded version was not raised\n"))
        << r.err;
    EXPECT_TRUE(Holds(Log(), "WARNING_MSG: installf of vqmm/PMRM exited with status 137\n"));
    EXPECT_FALSE(Holds(Box().CommandLog(), "installf -f"));
    EXPECT_EQ(Version(), "3.01.50");
    EXPECT_TRUE(Holds(Box().Read("/var/sadm/install/contents"), "!QDRNvqmm"));
    EXPECT_EQ(CallsOf("pmqadmin").size(), 2u) << "only the fresh installation's clean-up";
    ExpectASecondRunSucceeds("");
}

// sed of the package command file, in the fatal mode with its own
// redirection: pkgadd had added the package, so the installation stays, and
// the next run carries out the rest of its command file.
TEST_F(FaultsTest, AKilledEditLeavesTheCommandFileToTheNextRun) {
    Host("rm -rf '" + DistDir() + "' && printf 'old text\\n' > '" + Box().Root() +
         "/notes' && printf '%s\\n' 'c notes sed -e s/old/new/' 'm pmqadmin mode 755 bat pmqadmin' "
         "'newdir log mode 777' > '" +
         Box().Root() + "/pkg.list'");
    MakeDist({"--pkg-list", Box().Root() + "/pkg.list", "--extra", Box().Root() + "/notes"});
    Interpose("/usr/bin/sed", "/usr/bin/sed", "case \"$*\" in *s/old/new/*) kill -KILL $$ ;; esac");
    SimResult r = RunSetup({}, "y\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Holds(r.out, Installed + "......ERROR: command sed exited with status 137\n"))
        << r.out;
    EXPECT_TRUE(Holds(r.err, "setup: the installation failed while carrying out the package "
                             "command file\nsetup: the package is installed in /opt/Corla/vqmm, "
                             "but its command file was not carried out to the end; run setup "
                             "again to finish the installation\n"))
        << r.err;
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/notes"), "old text\n");
    EXPECT_FALSE(Box().Exists("/usr/bin/pmqadmin"));
    EXPECT_EQ(Sh("ls /tmp").out, "setup.log\n") << "no temporary file of sed left";
    ExpectASecondRunSucceeds("");
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/notes"), "new text\n");
    EXPECT_EQ(Mode("/usr/bin/pmqadmin"), 0755u);
    EXPECT_EQ(Mode("/opt/Corla/vqmm/log"), 0777u);
    EXPECT_FALSE(Box().Exists("/opt/Corla/vqmm/.pkg_list_pending"));
}

// --- full file systems ---------------------------------------------------------

// The work area's file system fills up with the first piece (df still
// says there is room).
TEST_F(FaultsTest, TheWorkAreasFileSystemFullWhileStaging) {
    Host("rm -rf '" + DistDir() + "'");
    MakeDist({"--file-size", "60000"});
    SimResult r = RunSetup({}, "y\n", {"--size", "/tmp=16k", "--df", "/tmp=100000"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "..ERROR: command cp exited with status 1\n");
    // (The log lies on the full file system too: a message of its own may
    // say that it could not be written.)
    EXPECT_TRUE(Holds(r.err, "setup: the installation failed while staging the distribution into "
                             "the work area\n"))
        << r.err;
    ExpectNothingInstalled(); // the pieces staged so far are gone, the space is free again
    ExpectASecondRunSucceeds();
}

// The installation directory's file system is full when the upgrade
// starts: .pm_cfg, both scripts and every copy into it fail (only the run-
// control script, in /etc/rc2.d, is copied), and each keeps its old
// content byte for byte, with nothing left beside it.
TEST_F(FaultsTest, TheInstallationDirectorysFileSystemFullBeforeTheUpgrade) {
    FreshInstall();
    NewRelease();
    ASSERT_TRUE(Box().Write("/opt/Corla/vqmm/.pm_cfg", " LPRng ", 0644));
    ASSERT_TRUE(Box().Write("/opt/Corla/vqmm/CorlaCSF", "#!/bin/sh\n# the old filter\n", 0755));
    // whoami runs right after staging: /opt is filled up then.
    ASSERT_TRUE(corla_test::PlantMoment(
        Box(), "/usr/bin/whoami", "dd if=/dev/zero of=/opt/filler bs=4k 2>/dev/null; :", "root\n"));
    const corla_test::TreeRecord before = corla_test::RecordTree(Box().HostPath("/opt"));
    SimResult r = RunSetup({}, "", {"--size", "/opt=400k", "--df", "/opt=100000"});
    EXPECT_EQ(r.status, 1);
    const std::string app = "/opt/Corla/vqmm/";
    for (const std::string &line :
         {"ERROR: couldn't write " + app + ".pm_cfg : No space left on device\n",
          "ERROR: can't write file, " + app + "CorlaPrintvqmm : No space left on device\n",
          "ERROR: can't write file, " + app + "CorlaCSF : No space left on device\n",
          "setup: the installation is incomplete: " + app +
              ".pm_cfg could not be written\n"
              "setup: the installation is incomplete: " +
              app +
              "CorlaPrintvqmm could not be written\n"
              "setup: the installation is incomplete: " +
              app +
              "CorlaCSF could not be written\n"
              "setup: the upgrade did not complete: 1 of its 14 files were copied and 14 "
              "registered, the others keep their earlier content; the recorded version was not "
              "raised\n"})
        EXPECT_TRUE(Holds(r.err, line)) << line << "\nin:\n" << r.err;
    EXPECT_EQ(corla_test::ChangedOutside(before, corla_test::RecordTree(Box().HostPath("/opt")),
                                         {"filler"}),
              std::vector<std::string>{})
        << "nothing in /opt changed";
    EXPECT_EQ(Version(), "3.01.50");
    EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
    Host("rm -f '" + Box().HostPath("/opt/filler") + "' '" + Box().HostPath("/usr/bin/whoami") +
         "'");
    ExpectASecondRunSucceeds("");
    EXPECT_EQ(Box().Read("/opt/Corla/vqmm/CorlaCSF").substr(0, 11), "#!/bin/sh\n#");
    EXPECT_TRUE(Holds(Box().Read("/opt/Corla/vqmm/CorlaCSF"), "SpoolDir="));
}

// The installation directory's file system fills up during the copies: the
// files that fit are replaced, the others keep their old content.
TEST_F(FaultsTest, TheInstallationDirectorysFileSystemFullDuringTheUpgradesCopies) {
    FreshInstall();
    const std::string old3 = Box().Read(Data + "/file0003");
    NewRelease("60000");
    SimResult r = RunSetup({}, "", {"--size", "/opt=200k", "--df", "/opt=100000"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Holds(r.err, "cp: error writing '/opt/Corla/vqmm/data/file0003': No space left "
                             "on device\n"))
        << r.err;
    EXPECT_TRUE(Holds(r.err, "setup: the upgrade did not complete: 12 of its 14 files were "
                             "copied and 14 registered, the others keep their earlier content; "
                             "the recorded version was not raised\n"))
        << r.err;
    EXPECT_EQ(Box().Read(Data + "/file0001").size(), 60000u);
    EXPECT_EQ(Box().Read(Data + "/file0003"), old3);
    EXPECT_EQ(Names(Box().HostPath(Data)), DataFiles);
    EXPECT_EQ(Version(), "3.01.50");
    ExpectASecondRunSucceeds("");
    EXPECT_EQ(Box().Read(Data + "/file0003").size(), 60000u);
}

// --- the operator's input ending at a prompt ---------------------------------------

// pkgadd's question: pkgadd stops, and so does the fresh installation,
// taking away what it had made.
TEST_F(FaultsTest, EndOfInputAtThePackageToolsQuestion) {
    SimResult r = RunSetup({}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Holds(r.out, "was terminated due to user request.\nNo changes were made to the "
                             "system.\nERROR: command pkgadd exited with status 3\n"))
        << r.out;
    EXPECT_TRUE(
        Holds(r.err, "setup: the unfinished installation in /opt/Corla/vqmm was removed\n"));
    ExpectNothingInstalled();
    ExpectASecondRunSucceeds();
}

// The running-program menu and the old-daemon question: the end of input
// is the negative answer (status 0, nothing changed); the package command
// file's running-program check: the operator quits there (status 0).
TEST_F(FaultsTest, EndOfInputAtTheInstallersOwnPrompts) {
    FreshInstall();
    NewRelease();
    SimResult menu = RunSetup({}, "", {"--spawn", "csf"});
    EXPECT_EQ(menu.status, 0);
    EXPECT_TRUE(Holds(menu.out, "\nEnter a selection:  "));
    EXPECT_EQ(Version(), "3.01.50");

    ASSERT_TRUE(Box().PlantSuiteProgram("/opt/Corla/vqmm/PlimtoD"));
    SimResult daemon = RunSetup({}, "");
    EXPECT_EQ(daemon.status, 0);
    EXPECT_TRUE(Holds(daemon.out, "[yn] "));
    EXPECT_EQ(Version(), "3.01.50");
    Host("rm -f '" + Box().HostPath("/opt/Corla/vqmm/PlimtoD") + "'");
    ExpectASecondRunSucceeds("");
}

TEST_F(FaultsTest, EndOfInputAtTheCommandFilesRunningProgramCheck) {
    Host("rm -rf '" + DistDir() + "' && printf '%s\\n' 'checkps csf' 'newdir after' > '" +
         Box().Root() + "/pkg.list'");
    MakeDist({"--pkg-list", Box().Root() + "/pkg.list"});
    SimResult r = RunSetup({}, "y\n", {"--spawn", "csf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Holds(r.out, "\nEnter a selection:  "));
    EXPECT_FALSE(Box().Exists("/opt/Corla/vqmm/after"));
    ExpectASecondRunSucceeds("");
}

} // namespace
