// Test helpers for the stand-in Solaris platform of sim/: running programs
// with scripted standard input (SimExec), a scratch root with runs inside the
// sandbox (SimSandbox), the distribution builder (SimMakeDist), and readers
// for what the stand-ins recorded (SimCall). See sim/README.md for the
// platform itself. Everything returned is owned by the caller.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// A finished process.
struct SimResult {
    int status = -1;       // exit status; 128 + N when killed by signal N; -1 when not started
    std::string out;       // its standard output
    std::string err;       // its standard error
    bool timedOut = false; // killed (with its process group) after the time limit
};

// One start of a suite program, as the recording stand-in wrote it down.
struct SimCall {
    std::string prog;                       // the name it was started under
    std::string path;                       // $0 as given
    std::string cwd;                        // its working directory
    std::vector<std::string> argv;          // its arguments after $0
    std::map<std::string, std::string> env; // the recorded variables that were set
    std::string input;                      // its standard input, when conf/stdin.NAME asked
};

// Runs argv (argv[0] searched in PATH) in a process group of its own, feeds
// it input on standard input and collects both output streams. After
// timeoutSeconds the group is killed and timedOut set.
SimResult SimExec(const std::vector<std::string> &argv, std::string_view input = {},
                  int timeoutSeconds = 300);

// The directory of this build's programs: $CORLA_BUILD_BIN, else the
// directory of the running test program.
std::string SimBinDir();

// Builds a distribution in dir (sim-mkdist with the given options).
SimResult SimMakeDist(const std::string &dir, const std::vector<std::string> &options = {});

// A scratch root for the sandbox under /var/tmp, removed with the object
// (kept, and named on standard error, when CORLA_KEEP_SIM is set). It is
// marked as made for the sandbox (ROOT/.sandbox), so a test may keep files
// of its own there, such as a distribution in ROOT/dist.
class SimSandbox {
  public:
    SimSandbox();
    ~SimSandbox();
    SimSandbox(const SimSandbox &) = delete;
    SimSandbox &operator=(const SimSandbox &) = delete;

    // False when the scratch root could not be made.
    bool Ok() const { return !root_.empty(); }
    const std::string &Root() const { return root_; }

    // Runs argv inside the sandbox: sim-sandbox --root ROOT OPTIONS -- ARGV.
    SimResult Run(const std::vector<std::string> &argv, std::string_view input = {},
                  const std::vector<std::string> &options = {}, int timeoutSeconds = 300) const;
    // Runs "sh -c script" inside the sandbox.
    SimResult Sh(const std::string &script, std::string_view input = {},
                 const std::vector<std::string> &options = {}) const;

    // Where an absolute path of the sandbox lies on this machine: the bound
    // directories (/opt, /tmp, /var/spool, /var/sadm, /etc/rc2.d,
    // /usr/share/printconf, /var/sim) lie below the root, and the changes a
    // run made to /usr, /var, /etc and /root below ROOT/changes (an
    // unchanged file of those trees is not there). Empty for other paths.
    std::string HostPath(std::string_view inside) const;
    bool Exists(std::string_view inside) const;      // lstat of HostPath
    std::string Read(std::string_view inside) const; // empty when unreadable
    // Prepares a file for the next run (parents made as needed).
    bool Write(std::string_view inside, std::string_view content, unsigned mode = 0644) const;
    // Puts the recording suite stand-in (bin/sim-suite) at an inside path,
    // mode 0755: a program of the suite, such as an old daemon PlimtoD.
    bool PlantSuiteProgram(std::string_view inside) const;
    // One configuration file of the stand-ins (sim/conf/KEY), or its removal.
    bool SetConf(std::string_view key, std::string_view value) const;
    bool UnsetConf(std::string_view key) const;

    // The suite programs' starts, in order, and the command log of all
    // stand-ins ("NAME ARG..." lines).
    std::vector<SimCall> Calls() const;
    std::string CommandLog() const;

  private:
    std::string root_;
};
