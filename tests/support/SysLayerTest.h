// Test support for the system layer and everything built on it: a fixture
// that owns a temporary directory of stand-in commands, gives the program a
// unique name (so its log in /tmp is its own and is removed afterwards), puts
// the command table and the library's run-wide flags back as at start, and
// can replace the runner's system calls with recorders.
//
// Usage:
//   class MyTest : public corla_test::SysLayerTest {};
//   TEST_F(MyTest, Something) {
//       StandIn("chmod", "echo \"$@\" >>" + Dir() + "/calls");  // ComList "chmod" -> Dir()
//       UseFakeOs();                                             // record, run nothing
//       SysCmd(CmdChmod, CmdQuiet, "755 %s", "/x");
//       EXPECT_EQ(FakeOs::lines.back(), ...);
//   }
#pragma once

#include "SysCmd.h"
#include "utils.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace corla_test {

std::string MakeTempDir(); // a new directory under $TMPDIR or /tmp
void RemoveTree(const std::string &path);
void WriteFile(const std::string &path, const std::string &content, mode_t mode = 0644);
std::string ReadFile(const std::string &path); // empty when missing
bool Exists(const std::string &path);          // lstat succeeds
mode_t ModeOf(const std::string &path);        // permission bits, 0 when missing

// The command table, search texts and runner flags as at program start.
void ResetCommandTable();

// Replacement system calls that record instead of acting. xPopen serves
// popenOutput (or popenByPrefix[line prefix]) from memory; xSystem returns
// systemStatus (a wait status: exit code << 8).
struct FakeOs {
    static std::vector<std::string> lines; // every xSystem and xPopen line, in order
    static std::vector<unsigned> sleeps;   // every xSleep
    static std::vector<std::pair<pid_t, int>> kills;
    static int systemStatus;
    static std::string popenOutput;
    static std::vector<std::pair<std::string, std::string>> popenByPrefix;
    static std::deque<std::string> popenQueue; // when not empty, served first, one per popen
    static int killErrno;                      // 0: kill succeeds; else it fails with this errno
    static void Reset();
};

// What a body run in a child process did: its exit status (ChildReturned
// when the body returned) and what it printed.
inline constexpr int ChildReturned = 99;
struct ChildResult {
    int status = -1; // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};
ChildResult RunInChild(const std::function<void()> &body);

// Records sleeps but runs commands for real (for wait tests with real commands).
void UseRecordedSleep();

class SysLayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    const std::string &Dir() const { return dir_; }
    // An executable stand-in Dir()/name running body under /bin/sh; every
    // table entry of that name is pointed at Dir().
    void StandIn(const std::string &name, const std::string &body);
    // Point the shell entry (sh) at Dir() (a link to /bin/sh).
    void StandInShell();
    // Replace the runner's system calls with FakeOs.
    void UseFakeOs();
    // The table as after a search that found every command in directory:
    // no lazy lookup, every entry 2..81 located there.
    static void LocateAllIn(const char *directory);

    std::string LogPath() const; // /tmp/<my_name>.log
    std::string ReadLog() const;

  private:
    std::string dir_;
    std::string savedCwd_;
    std::string savedPath_;
    bool hadPath_ = false;
    std::string savedShell_;
    bool hadShell_ = false;
};

} // namespace corla_test
