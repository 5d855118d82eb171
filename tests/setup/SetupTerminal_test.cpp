// End to end in a real terminal: the operator answers the running-program
// menu and the old-daemon question by typing, or the run is interrupted at
// the question, in a tmux pane that runs the installer in the sandbox.
#include "SetupSandbox.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using corla_test::SetupSandboxTest;

class TerminalTest : public SetupSandboxTest {
  protected:
    void SetUp() override {
        SetupSandboxTest::SetUp();
        session_ = "corla_setup_" + std::to_string(getpid());
        MakeDist();
        SimResult fresh = RunSetup({}, "y\n");
        ASSERT_EQ(fresh.status, 0) << fresh.err;
    }
    void TearDown() override { SimExec({"tmux", "kill-session", "-t", session_}); }

    // Start command in a detached 100x40 pane.
    void Start(const std::string &command) {
        SimResult r = SimExec(
            {"tmux", "new-session", "-d", "-s", session_, "-x", "100", "-y", "40", command});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::string Pane() { return SimExec({"tmux", "capture-pane", "-p", "-J", "-t", session_}).out; }
    // Wait until the pane shows text (at most 60 s).
    bool WaitFor(const std::string &text) {
        for (int i = 0; i < 600; ++i) {
            if (Pane().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    void Type(const std::string &keys) {
        SimExec({"tmux", "send-keys", "-t", session_, keys, "Enter"});
    }
    // The status the pane's command wrote to file, once it is there.
    std::string StatusIn(const std::string &file) {
        for (int i = 0; i < 600; ++i) {
            std::string status = SimExec({"cat", file}).out;
            if (!status.empty()) return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "";
    }

    std::string session_;
};

TEST_F(TerminalTest, TheOperatorWaitsForTheProgramsAndContinuesPastTheOldDaemon) {
    ASSERT_TRUE(Box().PlantSuiteProgram("/opt/Corla/vqmm/PlimtoD"));
    const std::string status = Box().Root() + "/status";
    Start("cd '" + DistDir() + "' && '" + SimBinDir() + "/sim-sandbox' --root '" + Box().Root() +
          "' --spawn csf:4 -- ./setup; echo $? > '" + status + "'; sleep 600");
    ASSERT_TRUE(WaitFor("Enter a selection:")) << Pane();
    EXPECT_NE(Pane().find("csf ( "), std::string::npos);
    Type("1");
    ASSERT_TRUE(WaitFor("[yn]")) << Pane();
    std::string pane = Pane();
    EXPECT_NE(pane.find("NOTE: PlimtoD is located in <install directory>/Corla/vqmm"),
              std::string::npos);
    Type("y");
    bool done = false;
    for (int i = 0; i < 600 && !done; ++i) {
        done = !SimExec({"cat", status}).out.empty();
        if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(done) << Pane();
    EXPECT_EQ(SimExec({"cat", status}).out, "0\n");
    EXPECT_NE(Box().CommandLog().find("installf -f QDRNvqmm\n"), std::string::npos);
    // The typed answers echo where the cursor waited.
    pane = Pane();
    EXPECT_NE(pane.find("Enter a selection:  1"), std::string::npos) << pane;
    EXPECT_NE(pane.find("[yn] y"), std::string::npos) << pane;
}

// SIGINT at the old-daemon question, at the terminal: the read of the
// answer ends, the installer names the step, removes its work area and ends
// as interrupted.
TEST_F(TerminalTest, AnInterruptAtTheQuestionStopsTheRun) {
    ASSERT_TRUE(Box().PlantSuiteProgram("/opt/Corla/vqmm/PlimtoD"));
    const std::string status = Box().Root() + "/status";
    Start("cd '" + DistDir() + "' && '" + SimBinDir() + "/sim-sandbox' --root '" + Box().Root() +
          "' -- ./setup; echo $? > '" + status + "'; sleep 600");
    ASSERT_TRUE(WaitFor("[yn]")) << Pane();
    // The installer of this scratch root: the "setup" working in its
    // distribution directory.
    pid_t setup = -1;
    for (const std::filesystem::directory_entry &e : std::filesystem::directory_iterator("/proc")) {
        std::error_code ec;
        std::ifstream comm(e.path() / "comm");
        std::string name;
        if (!std::getline(comm, name) || name != "setup") continue;
        if (std::filesystem::read_symlink(e.path() / "cwd", ec).string() != DistDir()) continue;
        setup = pid_t(std::stol(e.path().filename().string()));
    }
    ASSERT_GT(setup, 0);
    ASSERT_EQ(kill(setup, SIGINT), 0);
    EXPECT_EQ(StatusIn(status), "130\n") << Pane();
    EXPECT_NE(Pane().find("setup: stopped by SIGINT while checking the operator and the system "
                          "release"),
              std::string::npos)
        << Pane();
    EXPECT_FALSE(Box().Exists("/tmp/CorlaInstall"));
    EXPECT_TRUE(Box().Exists("/opt/Corla/vqmm/PlimtoD")); // nothing installed was touched
}

} // namespace
