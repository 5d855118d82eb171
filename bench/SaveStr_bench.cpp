// SaveStr (measure, allocate exactly, format) against snprintf into a stack
// buffer followed by strdup, the usual C idiom it replaces.
#include "MemMgr.h"
#include "utils.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void SaveStrOurs(benchmark::State &state) {
    std::string arg(size_t(state.range(0)), 'a');
    void *keep = GetMem(16);
    for (auto _ : state) {
        char *text = SaveStr("%s/%s.%d", "/opt/Corla/vqmm", arg.c_str(), 42);
        benchmark::DoNotOptimize(text);
        PutMem(text);
    }
    PutMem(keep);
}

void SaveStrBase(benchmark::State &state) {
    std::string arg(size_t(state.range(0)), 'a');
    std::string buf(arg.size() + 64, '\0');
    for (auto _ : state) {
        snprintf(buf.data(), buf.size(), "%s/%s.%d", "/opt/Corla/vqmm", arg.c_str(), 42);
        char *text = strdup(buf.c_str());
        benchmark::DoNotOptimize(text);
        free(text);
    }
}

BENCHMARK(SaveStrOurs)->Name("savestr/ours")->Arg(8)->Arg(100)->Arg(3000);
BENCHMARK(SaveStrBase)->Name("savestr/base")->Arg(8)->Arg(100)->Arg(3000);

} // namespace
