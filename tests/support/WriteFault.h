// Test support for writes that fail for real, as on a sick machine: a body
// (a library call, or a whole program it starts) runs in a child process
// whose writes fail in one of three ways, in a fresh scene directory seeded
// with the files it is to change; afterwards the scene's files are reported,
// byte for byte, with the body's status and what it printed.
//
//   FileSizeLimit  RLIMIT_FSIZE in the child (SIGXFSZ ignored): a write past
//                  the limit fails with EFBIG ("File too large")
//   FullDisk       the scene is a small tmpfs, filled up before the body runs
//                  (ENOSPC, "No space left on device"); it is mounted in a
//                  private mount namespace of the child's own (unshare with
//                  MS_PRIVATE propagation first), never in the machine's. Needs
//                  root; without it the run reports a setup error.
//   DevFull        nothing set up: the body writes to /dev/full itself
//
// Usage:
//   FaultRun run = RunWithWriteFault(WriteFault::FullDisk, {{"cfg.txt", old}},
//                                    [](const std::string &scene) { ... });
//   ASSERT_EQ(run.setupError, "");
//   EXPECT_EQ(run.files, (FileMap{{"cfg.txt", old}})); // nothing else left
#pragma once

#include <functional>
#include <map>
#include <string>

namespace corla_test {

enum class WriteFault { FileSizeLimit, FullDisk, DevFull };
const char *FaultName(WriteFault fault);
// The system error text a write meets under the fault.
std::string FaultErrorText(WriteFault fault);

// Path relative to the scene ("db/x.udb"; a directory ends in "/") to content.
using FileMap = std::map<std::string, std::string>;

struct FaultRun {
    std::string setupError; // not empty when the fault could not be set up
    std::string scene;      // the scene's path, as the body saw it
    int status = -1;        // the body's exit status (99 when it returned); -1 when killed
    int signal = 0;         // the signal that ended it, or 0
    std::string out, err;   // its standard output and standard error
    FileMap files;          // the scene afterwards (a full disk's filler left out)
};

struct FaultOptions {
    long fileSizeLimit = 4096; // FileSizeLimit: bytes a file may have
    long tmpfsBytes = 256 * 1024;
    int timeoutSeconds = 30; // the body is killed (SIGALRM) after this long
    std::string input;       // the body's standard input
};

// From a body: standard input reads text, then ends.
void SetInput(const std::string &text);

// Seed a new scene directory (its path has only letters, digits, "/", "-" and
// "_") with files, then run body in a child with the scene as its working
// directory and writes failing as fault says; the scene is removed afterwards.
FaultRun RunWithWriteFault(WriteFault fault, const FileMap &seed,
                           const std::function<void(const std::string &scene)> &body,
                           const FaultOptions &options = {});

} // namespace corla_test
