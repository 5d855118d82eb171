// Test support for the installer's steps: the system-layer fixture plus the
// installer's run-wide locations pointed into the fixture's temporary
// directory, and put back afterwards.
//
//   Dir()/dist   the distribution directory (pPathToSetup)
//   Dir()/work   the work area (pCorlaInstallDir)
//   Dir()/inst   the installation directory (pTargetInstallDir)
//   Dir()/inst/Corla/vqmm  the application directory (pAppDir)
//
// Header only: it needs the installer's library, which only the installer's
// tests link.
#pragma once

#include "MemMgr.h"
#include "SetupGlobals.h"
#include "SysLayerTest.h"
#include "utils.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace corla_test {

class SetupStepTest : public SysLayerTest {
  protected:
    void SetUp() override {
        SysLayerTest::SetUp();
        dist_ = Dir() + "/dist";
        work_ = Dir() + "/work";
        inst_ = Dir() + "/inst";
        app_ = inst_ + "/Corla/vqmm";
        mkdir(dist_.c_str(), 0755);
        Set(pPathToSetup, dist_);
        Set(pCorlaInstallDir, work_);
        Set(pTargetInstallDir, inst_);
        Set(pAppDir, app_);
        Set(pCorlaPkgName, "QDRNvqmm");
        Clear(pCmdLineInstallDir);
        Clear(pCurrentInstallDir);
        Clear(pCreatedTmpDir);
        flCreatedTmpDir = 0;
    }
    void TearDown() override {
        Clear(pPathToSetup);
        Clear(pCorlaInstallDir);
        Clear(pTargetInstallDir);
        Clear(pAppDir);
        Clear(pCorlaPkgName);
        Clear(pCmdLineInstallDir);
        Clear(pCurrentInstallDir);
        Clear(pCreatedTmpDir);
        flCreatedTmpDir = 0;
        SysLayerTest::TearDown();
    }

    static void Set(char *&global, const std::string &value) {
        Clear(global);
        global = SaveStr_(value.c_str());
    }
    static void Clear(char *&global) {
        if (global != nullptr) PutMem(global);
        global = nullptr;
    }
    // Make the application directory (and its parents).
    void MakeAppDir() const {
        std::string command = "mkdir -p '" + app_ + "'";
        if (system(command.c_str()) != 0) ADD_FAILURE() << "mkdir " << app_;
    }

    const std::string &Dist() const { return dist_; }
    const std::string &Work() const { return work_; }
    const std::string &Inst() const { return inst_; }
    const std::string &App() const { return app_; }

  private:
    std::string dist_;
    std::string work_;
    std::string inst_;
    std::string app_;
};

} // namespace corla_test
