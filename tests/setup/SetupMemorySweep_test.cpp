// Memory running out during a whole installation: a fresh installation of
// a small distribution in the sandbox, swept with the mapping-failure hook
// (CORLA_FAIL_MAPPING, N = 1, 2, ... for every mapping the run makes, for
// good and for one and two mappings). Every run ends either with the
// complete installation and status 0, or says "Unable to allocate memory"
// last and ends with status 1, leaving nothing a later run would take for
// an installation.
#include "MemMgr.h"
#include "MemorySweep.h"
#include "SimSandbox.h"

#include <cstdlib>
#include <dirent.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace corla_test;

namespace {

std::vector<std::string> Entries(const std::string &dir) {
    std::vector<std::string> names;
    DIR *handle = opendir(dir.c_str());
    for (struct dirent *e = handle ? readdir(handle) : nullptr; e != nullptr; e = readdir(handle))
        if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    if (handle != nullptr) closedir(handle);
    return names;
}

class SetupMemorySweep : public testing::Test {
  protected:
    void SetUp() override {
        if (!MemFaultInjection()) GTEST_SKIP() << "built without CORLA_FAULT_INJECTION";
        ASSERT_EQ(geteuid(), 0u) << "the installer runs as root, in the sandbox";
        // One distribution for every run; each run gets a machine of its own.
        char dir[] = "/var/tmp/corla_setup_sweep_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        SimResult made = SimMakeDist(dir_ + "/dist", {"--setup", SimBinDir() + "/setup"});
        ASSERT_EQ(made.status, 0) << made.err;
    }
    void TearDown() override {
        if (!dir_.empty()) SimExec({"rm", "-rf", dir_});
    }

    // A fresh installation on a new machine, the hook set to value ("": off).
    ProgramRun Install(const std::string &value) {
        box_ = std::make_unique<SimSandbox>();
        std::vector<std::string> options = {"--cwd", dir_ + "/dist"};
        if (!value.empty()) options.insert(options.end(), {"--env", "CORLA_FAIL_MAPPING=" + value});
        SimResult r = box_->Run({"./setup"}, "y\n", options, 120);
        ProgramRun run;
        run.out = r.out;
        run.err = r.err;
        // The sandbox ends with 128 + N when signal N ended the program.
        if (r.status > 128 && r.status < 128 + 65)
            run.signal = r.status - 128;
        else
            run.status = r.timedOut ? -1 : r.status;
        if (r.timedOut) run.signal = 9;
        return run;
    }

    // What the machine holds after a run: the whole installation, or (status
    // 1) nothing of one.
    std::string Judge(const ProgramRun &r) const {
        const SimSandbox &box = *box_;
        if (r.status == 1) {
            if (box.Exists("/opt/Corla")) return "an unfinished installation was left in /opt";
            if (Entries(box.HostPath("/tmp")) != std::vector<std::string>{"setup.log"} &&
                !Entries(box.HostPath("/tmp")).empty())
                return "the work area or a scratch file was left in /tmp";
            return "";
        }
        if (box.Read("/opt/Corla/vqmm/.pm_cfg") != " V5 ") return "status 0 without .pm_cfg";
        if (box.Read("/opt/Corla/vqmm/CorlaCSF").find("SpoolDir=") == std::string::npos)
            return "status 0 without the filter script";
        if (!box.Exists("/opt/Corla/vqmm/README.vqmm"))
            return "status 0 without what the package command file copies";
        if (box.Read("/var/sadm/pkg/QDRNvqmm/pkginfo").find("\nVERSION=3.01.67\n") ==
            std::string::npos)
            return "status 0 without the package record";
        if (box.Exists("/tmp/CorlaInstall")) return "status 0 with the work area left";
        return r.out == reference_.out ? "" : "status 0 with other output";
    }

    std::string dir_;
    std::unique_ptr<SimSandbox> box_;
    ProgramRun reference_;
};

TEST_F(SetupMemorySweep, AFreshInstallationCompletesOrLeavesNothing) {
    reference_ = Install("");
    ASSERT_EQ(reference_.status, 0) << reference_.err;
    ASSERT_EQ(Judge(reference_), "");
    SweepReport report =
        SweepMappingFailures([&](const std::string &value) { return Install(value); },
                             [&](const ProgramRun &r) { return Judge(r); }, {0, 1, 2}, 40);
    RecordProperty("runs", report.runs);
    std::string failures;
    for (const std::string &f : report.failures)
        failures += f + "\n";
    EXPECT_EQ(failures, "");
    // The whole run lives in one block of the memory manager (two
    // mappings): every count is swept from N = 1 to the first N that the
    // run no longer reaches.
    EXPECT_GE(report.runs, 9);
    EXPECT_LE(report.mostMessages, 3);
}

} // namespace
