// The cached store against plain C++ baselines:
//   lookup/<n>        DbmTGetRecordN on a store of n records, reloading when
//                     the file changed (a stat per lookup), against a stat of
//                     the same file and a lookup in a std::unordered_map
//                     built from the same data;
//   lookup_kept/<n>   the same with DbTKeepLoaded (no stat), against the map
//                     alone;
//   lookup_stat/<n>   the stat alone (no pair): what the reload check must
//                     cost at least;
//   put/<n>           n puts with deferred writing and one archive into a
//                     new store, against n map inserts and one write of a
//                     file of the same size;
//   archive/<n>       DbmTArchiveDb of a store of n records (lock, write,
//                     flush to disk, rename), against a plain write and
//                     rename of the same bytes.
// Stores are made under $TMPDIR (default /tmp): run once with TMPDIR on a
// disk and once on a memory file system to see what flushing costs.
#include "Dbm.h"
#include "MemMgr.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

char BenchDirText[256];

void RemoveBenchDir() {
    std::string command = std::string("rm -rf '") + BenchDirText + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", BenchDirText);
}

// A directory of its own, removed when the program ends.
std::string BenchDir() {
    static std::string dir;
    if (dir.empty()) {
        const char *base = getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base ? base : "/tmp") + "/corla_dbm_bench.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) abort();
        dir = pattern;
        snprintf(BenchDirText, sizeof BenchDirText, "%s", dir.c_str());
        atexit(RemoveBenchDir);
    }
    return dir;
}

std::string Key(int i) {
    return "25_" + std::to_string(i);
}

// A text of the length of a typical menu message.
std::string Text(int i) {
    return "Message number " + std::to_string(i) + " of the menu engine." + std::string(1, '\0');
}

// A typed store of n records at path; the lookup cases share theirs.
void MakeStore(const std::string &path, int n) {
    static std::set<std::string> made;
    if (path.find("/lookup") != std::string::npos && !made.insert(path).second) return;
    unlink(path.c_str());
    DbT *db = DbTOpen(path.c_str(), DbTDeferWrite);
    for (int i = 0; i < n; ++i) {
        std::string text = Text(i);
        DbmTPutRecord(db, Key(i).c_str(), text.data(), int(text.size()));
    }
    if (!DbmTArchiveDb(db)) abort();
    DbTClose(db);
}

// Keys to look up, in a scattered order that visits every record.
std::vector<std::string> Probes(int n) {
    std::vector<std::string> probes;
    for (int i = 0; i < n; ++i)
        probes.push_back(Key(int((int64_t(i) * 7919) % n)));
    return probes;
}

void Lookup(benchmark::State &state, int flags) {
    int n = int(state.range(0));
    std::string path = BenchDir() + "/lookup" + std::to_string(n) + ".udb";
    MakeStore(path, n);
    DbT *db = DbTOpen(path.c_str(), flags);
    std::vector<std::string> probes = Probes(n);
    char buffer[256];
    size_t next = 0;
    for (auto _ : state) {
        int size = DbmTGetRecordN(db, probes[next].c_str(), buffer, int(sizeof buffer));
        benchmark::DoNotOptimize(size);
        if (++next == probes.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
    DbTClose(db);
}

void LookupOurs(benchmark::State &state) {
    Lookup(state, 0);
}
void LookupKeptOurs(benchmark::State &state) {
    Lookup(state, DbTKeepLoaded);
}

// A map that, like the store, asks whether its file changed (statPath not
// null) before every lookup.
void MapLookup(benchmark::State &state, const char *statPath) {
    int n = int(state.range(0));
    // Built once per size: the benchmark runs this function several times.
    static std::map<int, std::unordered_map<std::string, std::string>> maps;
    auto &map = maps[n];
    if (map.empty())
        for (int i = 0; i < n; ++i)
            map.emplace(Key(i), Text(i));
    std::vector<std::string> probes = Probes(n);
    char buffer[256];
    size_t next = 0;
    for (auto _ : state) {
        struct stat st;
        if (statPath != nullptr && stat(statPath, &st) != 0) abort();
        auto it = map.find(probes[next]);
        size_t size = it->second.size() < sizeof buffer ? it->second.size() : sizeof buffer;
        memcpy(buffer, it->second.data(), size);
        benchmark::DoNotOptimize(buffer);
        if (++next == probes.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void LookupBase(benchmark::State &state) {
    int n = int(state.range(0));
    std::string path = BenchDir() + "/lookup" + std::to_string(n) + ".udb";
    MakeStore(path, n);
    MapLookup(state, path.c_str());
}

void LookupKeptBase(benchmark::State &state) {
    MapLookup(state, nullptr);
}

void LookupStat(benchmark::State &state) {
    int n = int(state.range(0));
    std::string path = BenchDir() + "/lookup" + std::to_string(n) + ".udb";
    MakeStore(path, n);
    for (auto _ : state) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) abort();
        benchmark::DoNotOptimize(st.st_mtime);
    }
}

void PutOurs(benchmark::State &state) {
    int n = int(state.range(0));
    std::string path = BenchDir() + "/put.udb";
    std::vector<std::string> texts;
    for (int i = 0; i < n; ++i)
        texts.push_back(Text(i));
    for (auto _ : state) {
        unlink(path.c_str());
        DbT *db = DbTOpen(path.c_str(), DbTDeferWrite);
        for (int i = 0; i < n; ++i)
            DbmTPutRecord(db, Key(i).c_str(), texts[size_t(i)].data(),
                          int(texts[size_t(i)].size()));
        if (!DbmTArchiveDb(db)) abort();
        DbTClose(db);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void WriteAndRename(const std::string &path, const std::string &bytes) {
    std::string temporary = path + "_new";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) abort();
    close(fd);
    if (rename(temporary.c_str(), path.c_str()) != 0) abort();
}

void PutBase(benchmark::State &state) {
    int n = int(state.range(0));
    std::string path = BenchDir() + "/putbase";
    std::vector<std::string> texts;
    size_t bytes = 16;
    for (int i = 0; i < n; ++i) {
        texts.push_back(Text(i));
        bytes += 4 + Key(i).size() + 1 + texts.back().size();
    }
    for (auto _ : state) {
        std::unordered_map<std::string, std::string> map;
        for (int i = 0; i < n; ++i)
            map[Key(i)] = texts[size_t(i)];
        std::string image;
        image.reserve(bytes);
        for (const auto &[key, text] : map)
            image.append(key).append(text);
        WriteAndRename(path, image);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void ArchiveOurs(benchmark::State &state) {
    int n = int(state.range(0));
    std::string path = BenchDir() + "/archive.udb";
    MakeStore(path, n);
    DbT *db = DbTOpen(path.c_str(), DbTKeepLoaded | DbTDeferWrite);
    for (auto _ : state)
        if (!DbmTArchiveDb(db)) abort();
    state.SetBytesProcessed(state.iterations() * db->nContentSize);
    DbTClose(db);
}

void ArchiveBase(benchmark::State &state) {
    int n = int(state.range(0));
    std::string path = BenchDir() + "/archive.udb";
    MakeStore(path, n);
    DbT *db = DbTOpen(path.c_str(), DbTKeepLoaded);
    std::string bytes(db->pContent, size_t(db->nContentSize));
    DbTClose(db);
    std::string plain = BenchDir() + "/plain";
    for (auto _ : state)
        WriteAndRename(plain, bytes);
    state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}

BENCHMARK(LookupOurs)->Name("lookup/ours")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(LookupBase)->Name("lookup/base")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(LookupStat)->Name("lookup_stat")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(LookupKeptOurs)->Name("lookup_kept/ours")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(LookupKeptBase)->Name("lookup_kept/base")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(PutOurs)
    ->Name("put/ours")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(PutBase)
    ->Name("put/base")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveOurs)->Name("archive/ours")->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(ArchiveBase)->Name("archive/base")->Arg(100)->Arg(1000)->Arg(10000);

} // namespace
