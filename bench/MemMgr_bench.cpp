// The block memory manager against the system heap. "hold" cases keep one
// long-lived area so the block stays mapped, as in a running program;
// "fresh" cases release everything each time, which maps and unmaps a block.
#include "MemMgr.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

struct Ours {
    static void *Get(size_t n) { return GetMem(n); }
    static void Put(void *p) { PutMem(p); }
};
struct Base {
    static void *Get(size_t n) { return calloc(1, n + 1); } // zero-filled, like GetMem
    static void Put(void *p) { free(p); }
};

template <class A>
void SmallHold(benchmark::State &state) {
    void *keep = A::Get(16);
    size_t n = size_t(state.range(0));
    for (auto _ : state) {
        void *p = A::Get(n);
        benchmark::DoNotOptimize(p);
        A::Put(p);
    }
    A::Put(keep);
}

template <class A>
void SmallFresh(benchmark::State &state) {
    for (auto _ : state) {
        void *p = A::Get(64);
        benchmark::DoNotOptimize(p);
        A::Put(p);
    }
}

// A working set of n areas of mixed sizes (mostly small, some up to 4 KiB,
// a few dedicated), replaced one at a time in random order.
template <class A>
void Mixed(benchmark::State &state) {
    std::mt19937 rng(42);
    std::vector<size_t> sizes(4096);
    for (size_t &s : sizes) {
        unsigned r = rng() % 100;
        s = r < 80 ? rng() % 128 + 1 : r < 99 ? rng() % 4096 + 1 : rng() % 100000 + 65536;
    }
    std::vector<void *> live(size_t(state.range(0)));
    for (size_t k = 0; k < live.size(); ++k)
        live[k] = A::Get(sizes[k]);
    size_t step = 0;
    for (auto _ : state) {
        size_t slot = (step * 7919) % live.size();
        A::Put(live[slot]);
        live[slot] = A::Get(sizes[step++ % sizes.size()]);
        benchmark::DoNotOptimize(live[slot]);
    }
    for (void *p : live)
        A::Put(p);
}

BENCHMARK(SmallHold<Ours>)->Name("small_hold/ours")->Arg(16)->Arg(200)->Arg(2000);
BENCHMARK(SmallHold<Base>)->Name("small_hold/base")->Arg(16)->Arg(200)->Arg(2000);
BENCHMARK(SmallFresh<Ours>)->Name("small_fresh/ours");
BENCHMARK(SmallFresh<Base>)->Name("small_fresh/base");
BENCHMARK(Mixed<Ours>)->Name("mixed/ours")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(Mixed<Base>)->Name("mixed/base")->Arg(64)->Arg(512)->Arg(4096);

} // namespace
