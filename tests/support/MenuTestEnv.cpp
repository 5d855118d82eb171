// The library set up for menu engine tests: English texts from the build's
// string stores, commands recorded instead of run.
#include "MenuTestUtil.h"

#include "Dbm.h"
#include "SysCmd.h"
#include "utils.h"

#include <cstdlib>
#include <string>

namespace menu_test {

std::vector<std::string> CommandLines;

namespace {

int RecordSystem(const char *line) {
    CommandLines.emplace_back(line != nullptr ? line : "");
    return 0;
}

std::string ToolPath; // kept: pToolPath points into it

} // namespace

void UseMenuTestEnvironment() {
    setenv("LANG", "en_US", 1);
    if (ToolPath.empty()) ToolPath = BuildBinDir();
    pToolPath = ToolPath.data();
    my_name = "menutest";
    SysCmdOs.xSystem = RecordSystem;
}

} // namespace menu_test
