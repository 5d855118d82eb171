// Helpers for the menu engine's tests: scripted standard input, captured
// standard output, and the stores and commands the engine reaches for.
#pragma once

#include <string>
#include <vector>

namespace menu_test {

// For its lifetime, standard input reads the given text (then end of input)
// and standard output goes to a temporary file. Output() yields what was
// written so far. On destruction standard output is restored and standard
// input reads /dev/null.
class StdioScript {
  public:
    explicit StdioScript(const std::string &input = "");
    ~StdioScript();
    StdioScript(const StdioScript &) = delete;
    StdioScript &operator=(const StdioScript &) = delete;

    std::string Output();

  private:
    std::string inputPath_;
    std::string outputPath_;
    int savedStdout_ = -1;
};

// Prepares the library for engine tests: the language is English, the tool
// path points at the build's bin directory (whose db/ holds the compiled
// string stores), commands are recorded in CommandLines instead of being
// run (the menu's clearing command among them), and the program name is
// "menutest". Safe to call often.
void UseMenuTestEnvironment();
extern std::vector<std::string> CommandLines;

// The build's bin directory (CORLA_BUILD_BIN), or "" when unknown.
std::string BuildBinDir();

// A fresh temporary directory (removed by the caller with RemoveTree).
std::string MakeTempDir();
void RemoveTree(const std::string &path);
std::string ReadFileText(const std::string &path);
void WriteFileText(const std::string &path, const std::string &text);

} // namespace menu_test
