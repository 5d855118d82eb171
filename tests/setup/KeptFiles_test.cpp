// The installer's own kept files written on a sick machine: under a file
// size limit, on a full tmpfs and into /dev/full. .pm_cfg, the two interface
// scripts and a wrapper script each leave the old file byte for byte and
// nothing beside it, say the failure on standard error, and report it the
// way the run needs (a result of 0, or the file noted for the end of the
// run).
#include "Install.h"
#include "Outcome.h"
#include "Scripts.h"
#include "SetupGlobals.h"
#include "SetupStepTest.h"
#include "WriteFault.h"
#include "utils.h"

#include <cstring>
#include <dirent.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <vector>

using namespace corla_test;

namespace {

// The body's exit status tells the write's result: 10 + its result.
constexpr int Returned = 10;

const std::string OldScript = "#!/bin/sh\n# the script of an earlier release\nexit 0\n";

struct KeptFile {
    const char *name;
    const char *file;           // in the scene, the application directory
    std::function<int()> write; // the write; its result
    const char *message;        // what standard error says, before "<path> : <why>"
    long sizeLimit;             // below what the write makes
};

const std::vector<KeptFile> &KeptFiles() {
    static const std::vector<KeptFile> files = {
        {"PmCfg", ".pm_cfg",
         [] {
             createPrintingSubsystemFile(pAppDir);
             return RunIncomplete(); // noted for the end of the run
         },
         "ERROR: couldn't write ", 2},
        {"PrintScript", "CorlaPrintvqmm",
         [] {
             std::string file = std::string(pAppDir) + "/CorlaPrintvqmm";
             return generateCorlaPrintvqmmScript(file.c_str(), ScriptShShell, CorlaPrintvqmmScript);
         },
         "ERROR: can't write file, ", 100},
        {"FilterScript", "CorlaCSF",
         [] {
             std::string file = std::string(pAppDir) + "/CorlaCSF";
             return generateCorlaCSFScript(file.c_str(), ScriptShShell, CorlaCSFScript,
                                           "/var/spool/Corla/vqmm");
         },
         "ERROR: can't write file, ", 100},
        {"Wrapper", "pmqadmin",
         [] {
             std::string file = std::string(pAppDir) + "/pmqadmin";
             return GenSimpleScript(file.c_str(), ScriptShShell, SimpleScript, pAppDir, pAppDir,
                                    "pmqadmin");
         },
         "ERROR: can't write file, ", 100},
    };
    return files;
}

class KeptFileFaults : public SetupStepTest,
                       public testing::WithParamInterface<std::tuple<size_t, WriteFault>> {
  protected:
    void SetUp() override {
        SetupStepTest::SetUp();
        flInitSysCmd = 0; // no lpd or cupsd: .pm_cfg would say " V5 "
    }
};

TEST_P(KeptFileFaults, TheOldFileStaysAndTheFailureIsSaid) {
    const KeptFile &k = KeptFiles()[std::get<0>(GetParam())];
    const WriteFault fault = std::get<1>(GetParam());
    FaultOptions options;
    options.fileSizeLimit = k.sizeLimit;
    const FileMap old = {{k.file, std::string(k.file) == ".pm_cfg" ? " LPRng " : OldScript}};
    FaultRun run = RunWithWriteFault(
        fault, old,
        [&](const std::string &scene) {
            Set(pAppDir, scene);
            int result = k.write();
            fflush(nullptr);
            exit(Returned + result);
        },
        options);
    ASSERT_EQ(run.setupError, "");
    const bool noted = std::string(k.file) == ".pm_cfg";
    EXPECT_EQ(run.status, Returned + (noted ? 1 : 0)) << run.err;
    EXPECT_EQ(run.files, old) << "the old file, byte for byte, and nothing beside it";
    EXPECT_EQ(run.err, k.message + run.scene + "/" + k.file + " : " + FaultErrorText(fault) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Installer, KeptFileFaults,
                         testing::Combine(testing::Range(size_t(0), KeptFiles().size()),
                                          testing::Values(WriteFault::FileSizeLimit,
                                                          WriteFault::FullDisk)),
                         [](const testing::TestParamInfo<KeptFileFaults::ParamType> &param) {
                             return std::string(KeptFiles()[std::get<0>(param.param)].name) + "_" +
                                    FaultName(std::get<1>(param.param));
                         });

class KeptFileDevFull : public SetupStepTest {};

// Entries of /dev whose name begins with "full.": a file made beside it.
std::vector<std::string> BesideDevFull() {
    std::vector<std::string> names;
    DIR *dev = opendir("/dev");
    if (dev == nullptr) return names;
    for (struct dirent *e = readdir(dev); e != nullptr; e = readdir(dev))
        if (strncmp(e->d_name, "full.", 5) == 0) names.emplace_back(e->d_name);
    closedir(dev);
    return names;
}

// A script written to a device goes into the device itself: the failure is
// said, nothing is made in /dev, and the device stays a device.
TEST_F(KeptFileDevFull, AScriptWrittenIntoItFailsAndSaysSo) {
    const std::vector<std::function<int()>> writes = {
        [] {
            return generateCorlaPrintvqmmScript("/dev/full", ScriptShShell, CorlaPrintvqmmScript);
        },
        [] {
            return generateCorlaCSFScript("/dev/full", ScriptShShell, CorlaCSFScript,
                                          "/var/spool/Corla/vqmm");
        },
        [] { return GenSimpleScript("/dev/full", ScriptShShell, SimpleScript, "/a", "/a", "p"); },
    };
    for (const std::function<int()> &write : writes) {
        FaultRun run = RunWithWriteFault(WriteFault::DevFull, {}, [&](const std::string &) {
            int result = write();
            fflush(nullptr);
            exit(Returned + result);
        });
        ASSERT_EQ(run.setupError, "");
        EXPECT_EQ(run.status, Returned + 0);
        EXPECT_EQ(run.err, "ERROR: can't write file, /dev/full : No space left on device\n");
        EXPECT_EQ(BesideDevFull(), std::vector<std::string>());
        struct stat st;
        EXPECT_TRUE(lstat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode));
    }
}

} // namespace
