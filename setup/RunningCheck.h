// RunningCheck: files of the suite must not be replaced while its programs
// run. The operator may wait for them or quit the installation.
#pragma once

// The suite's programs checked when an earlier installation exists.
extern const char pBinaryInstanceCheckList[];

// While any program of the comma-separated list runs: show them with the
// menu of catalogue entries 66 to 70 and let the operator wait ("1", six
// passes of five seconds) or quit ("2"). Yields 0 when none runs (at once
// or after waiting), 1 when the operator quits; the end of input counts as
// quitting.
int QuitForRunningProcesses(const char *programList);

// Seconds of one wait pass, and passes per "1".
inline constexpr unsigned RunningWaitSeconds = 5;
inline constexpr int RunningWaitPasses = 6;
