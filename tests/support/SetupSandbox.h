// Test support for the installer's end-to-end scenarios: the built setup
// run inside the stand-in Solaris sandbox (sim/) on a distribution made by
// the builder, with scripted standard input.
//
//   class MyTest : public corla_test::SetupSandboxTest {};
//   TEST_F(MyTest, FreshInstallation) {
//       MakeDist();                              // ROOT/dist, with this build's setup
//       SimResult r = RunSetup({"install", "/usr/local"}, "y\n");
//       EXPECT_EQ(r.status, 0);
//       EXPECT_EQ(Box().Read("/opt/Corla/vqmm/.pm_cfg"), " V5 ");
//   }
//
// The scenarios need root and the sandbox; they fail (never skip) when the
// sandbox cannot be made. Nothing outside the scratch root changes.
#pragma once

#include "SimSandbox.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corla_test {

inline constexpr int SandboxRefused = 125;

class SetupSandboxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(geteuid(), 0u) << "the installer's scenarios run as root, in the sandbox";
        ASSERT_TRUE(box_.Ok()) << "cannot make a scratch root under /var/tmp";
    }

    const SimSandbox &Box() const { return box_; }
    // The distribution directory on this machine (ROOT/dist) and inside.
    std::string DistDir() const { return box_.Root() + "/dist"; }

    // Build the distribution with this build's setup; options as sim-mkdist's.
    void MakeDist(std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--setup", SimBinDir() + "/setup"});
        SimResult made = SimMakeDist(DistDir(), options);
        ASSERT_EQ(made.status, 0) << made.err;
    }

    // Run ./setup from the distribution directory with arguments, input and
    // sandbox options. A sandbox that could not be made fails the test.
    SimResult RunSetup(std::vector<std::string> args, std::string_view input = {},
                       std::vector<std::string> options = {}) {
        args.insert(args.begin(), "./setup");
        options.insert(options.begin(), {"--cwd", DistDir()});
        SimResult r = box_.Run(args, input, options);
        EXPECT_NE(r.status, SandboxRefused) << "the sandbox refused: " << r.err;
        EXPECT_FALSE(r.timedOut);
        return r;
    }

    // A shell script inside the sandbox (to prepare or to use what was
    // installed); a refused sandbox fails the test.
    SimResult Sh(const std::string &script, std::string_view input = {},
                 std::vector<std::string> options = {}) {
        SimResult r = box_.Sh(script, input, options);
        EXPECT_NE(r.status, SandboxRefused) << "the sandbox refused: " << r.err;
        return r;
    }

    // Run a shell script on this machine (for the distribution, which lies
    // in the scratch root); fails the test when it fails.
    static void Host(const std::string &script) {
        SimResult r = SimExec({"/bin/sh", "-c", script});
        EXPECT_EQ(r.status, 0) << script << "\n" << r.err;
    }

    // Rebuild the distribution's archive after edit, a shell script run in
    // the unpacked archive's directory (pieces, list and sizes are redone:
    // one piece, pkg_tar.aa).
    void RepackDist(const std::string &edit) {
        const std::string d = "'" + DistDir() + "'";
        Host("set -e; cd " + d +
             "; rm -rf .repack; mkdir .repack; cat pkg_tar.* > .repack/a.Z;"
             " rm -f pkg_tar.*; cd .repack; gzip -dc < a.Z > a.tar; mkdir tree;"
             " tar -xpf a.tar -C tree; cd tree; " +
             edit +
             "; tar -cf ../b.tar --format=ustar *; cd ..; compress -c b.tar > ../pkg_tar.aa;"
             " cd ..; rm -rf .repack; printf 'disks\\npkg_tar.aa\\nend_of_list\\n' > disks");
    }

    // Permission bits of an inside path (0 when missing); the link's own
    // target for a link.
    mode_t Mode(std::string_view inside) const {
        struct stat st;
        std::string path = box_.HostPath(inside);
        return !path.empty() && stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    bool IsDir(std::string_view inside) const {
        struct stat st;
        std::string path = box_.HostPath(inside);
        return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    std::string LinkTarget(std::string_view inside) const {
        char buf[4096];
        std::string path = box_.HostPath(inside);
        ssize_t n = path.empty() ? -1 : readlink(path.c_str(), buf, sizeof buf - 1);
        return n < 0 ? std::string() : std::string(buf, size_t(n));
    }

    // The starts of one suite program, in order.
    std::vector<SimCall> CallsOf(const std::string &prog) const {
        std::vector<SimCall> calls;
        for (SimCall &call : box_.Calls())
            if (call.prog == prog) calls.push_back(std::move(call));
        return calls;
    }

  private:
    SimSandbox box_;
};

} // namespace corla_test
