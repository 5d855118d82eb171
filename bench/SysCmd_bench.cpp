// The command search: one listing of a directory matched against every
// command name still missing (ours), against testing each command in the
// directory on its own (base, one directory listing per command). The
// directory is a temporary one with Arg entries, three of them commands.
#include "SysCmd.h"

#include "utils.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

struct Directory {
    std::string path;
    explicit Directory(int entries) {
        char pattern[] = "/tmp/corla_bench.XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
        for (int k = 0; k < entries; ++k) {
            std::string name =
                k < 3 ? std::string(ComList[CmdCancel + k].name) : "program-" + std::to_string(k);
            FILE *file = fopen((path + "/" + name).c_str(), "w");
            if (file) fclose(file);
        }
    }
    ~Directory() {
        std::string command = "rm -rf '" + path + "'";
        if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
    }
};

void ClearPaths() {
    for (ComEntry &entry : ComList)
        entry.path = nullptr;
}

void SearchOurs(benchmark::State &state) {
    Directory dir(int(state.range(0)));
    for (auto _ : state) {
        ClearPaths();
        benchmark::DoNotOptimize(FillCmdPaths(dir.path.c_str()));
    }
    ClearPaths();
}

void SearchBase(benchmark::State &state) {
    Directory dir(int(state.range(0)));
    for (auto _ : state) {
        ClearPaths();
        for (int k = CmdCancel; k < CmdEnd; ++k)
            if (ComList[k].path == nullptr && FindFile(dir.path.c_str(), ComList[k].name))
                ComList[k].path = dir.path.c_str();
    }
    ClearPaths();
}

BENCHMARK(SearchOurs)->Name("search/ours")->Arg(50)->Arg(1000);
BENCHMARK(SearchBase)->Name("search/base")->Arg(50)->Arg(1000);

} // namespace
