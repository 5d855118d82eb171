// Test support for memory running out: a whole program run over and over
// with the block memory manager's mapping-failure hook (CORLA_FAIL_MAPPING,
// see MemMgr.h), failing the first mapping, then the second, and so on,
// until a run no longer meets a failure. Every run must end either normally
// with its complete, correct result, or with "Unable to allocate memory" as
// the last thing it says on standard error and status 1; never by a signal
// (a crash, or the timeout of a hang), with a sanitizer report, with another
// status, or with a shortened result reported as success.
//
// Usage (any way of starting the program will do, the sandbox's included):
//   auto run = [&](const std::string &failMapping) {
//       return RunProgram({bin + "/helpview", "--dump", page},
//                         {"CORLA_FAIL_MAPPING=" + failMapping});
//   };
//   auto check = [&](const ProgramRun &r) {
//       return r.status == 0 && r.out != reference ? "output differs" : "";
//   };
//   SweepReport report = SweepMappingFailures(run, check);
//   EXPECT_EQ(report.failures, std::vector<std::string>());
//   EXPECT_GT(report.runs, 1);
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace corla_test {

struct ProgramRun {
    int status = -1; // exit status; -1 when killed
    int signal = 0;  // the signal that ended it (SIGKILL after the timeout)
    std::string out, err;
};

// Run argv[0] (a path) with argv, the environment extended by env
// ("NAME=value" each), input on standard input, in directory cwd (when not
// empty); killed after timeoutSeconds.
ProgramRun RunProgram(const std::vector<std::string> &argv, const std::vector<std::string> &env,
                      const std::string &input = "", const std::string &cwd = "",
                      int timeoutSeconds = 30);

struct SweepReport {
    int runs = 0;                      // programs run, in all modes
    int mostMessages = 0;              // most lines saying "Unable to allocate memory" in one run
    std::vector<std::string> failures; // one line per run that broke the rules
};

// For each count (0: every mapping from the N-th on fails, memory has run out
// for good; k: only k of them, so the program may recover), run(value) is
// called with value "N" or "N:k" for N = 1, 2, ... until a run prints no
// "Unable to allocate memory" at all (the hook was not reached: that run
// must be complete), or up to maxN (reached: a failure). check(run) judges
// what is particular to the program: for status 0 whether the result is
// complete and correct, for status 1 whether what it changed is intact; it
// yields "" or what is wrong.
SweepReport SweepMappingFailures(const std::function<ProgramRun(const std::string &)> &run,
                                 const std::function<std::string(const ProgramRun &)> &check,
                                 const std::vector<int> &counts = {0, 1, 2}, int maxN = 500);

} // namespace corla_test
