// The main of every benchmark program. Benchmarks come in pairs named
// "<case>/ours..." and "<case>/base...", where the rest of the name (the
// arguments) is the same; after the usual report, each pair is printed on
// one line with the ratio ours / base of their CPU times (the median when
// the runs are repeated). A benchmark without a partner is listed alone.
//
// With CORLA_BENCH_PAIRS=FILE in the environment, the same rows are also
// appended to FILE, one "<program>/<case> TAB ours TAB base" line each (in
// seconds; base empty when there is none), for scripts/bench's table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// A time in seconds with a unit, to 3 significant digits.
std::string Scaled(double seconds) {
    static constexpr struct {
        double scale;
        const char *unit;
    } kUnits[] = {{1e-9, "ns"}, {1e-6, "us"}, {1e-3, "ms"}, {1, "s"}};
    size_t i = 0;
    while (i + 1 < std::size(kUnits) && seconds >= kUnits[i + 1].scale)
        ++i;
    char text[64];
    double value = seconds / kUnits[i].scale;
    int decimals = value < 10 ? 2 : value < 100 ? 1 : 0;
    snprintf(text, sizeof text, "%.*f %s", decimals, value, kUnits[i].unit);
    return text;
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    explicit RatioReporter(std::string program) : program_(std::move(program)) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred) continue;
            std::string name = run.run_name.str();
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            double seconds =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            bool placed = false;
            for (const char *side : {"/ours", "/base"}) {
                size_t at = name.find(side);
                if (at == std::string::npos) continue;
                Place(name.substr(0, at) + name.substr(at + 5), side[1] == 'o', seconds, median);
                placed = true;
                break;
            }
            if (!placed) Place(name, true, seconds, median);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        if (order_.empty()) return;
        FILE *pairs = nullptr;
        if (const char *path = std::getenv("CORLA_BENCH_PAIRS"); path && *path)
            pairs = std::fopen(path, "a");
        printf("\n%-48s %12s %12s %10s\n", "case", "ours", "base", "ours/base");
        for (const std::string &key : order_) {
            const Row &row = rows_[key];
            if (row.ours <= 0 && row.base <= 0) continue;
            std::string ours = row.ours > 0 ? Scaled(row.ours) : "-";
            std::string base = row.base > 0 ? Scaled(row.base) : "-";
            if (row.ours > 0 && row.base > 0) {
                printf("%-48s %12s %12s %10.3g\n", key.c_str(), ours.c_str(), base.c_str(),
                       row.ours / row.base);
            } else {
                printf("%-48s %12s %12s %10s\n", key.c_str(), ours.c_str(), base.c_str(), "-");
            }
            if (pairs) {
                fprintf(pairs, "%s/%s\t", program_.c_str(), key.c_str());
                if (row.ours > 0) fprintf(pairs, "%.9g", row.ours);
                fputc('\t', pairs);
                if (row.base > 0) fprintf(pairs, "%.9g", row.base);
                fputc('\n', pairs);
            }
        }
        if (pairs) std::fclose(pairs);
    }

  private:
    struct Row {
        double ours = 0, base = 0;
        bool oursMedian = false, baseMedian = false;
    };

    // A median of repetitions replaces the single runs of its side.
    void Place(const std::string &key, bool ours, double seconds, bool median) {
        auto [it, fresh] = rows_.try_emplace(key);
        if (fresh) order_.push_back(key);
        Row &row = it->second;
        double &value = ours ? row.ours : row.base;
        bool &fromMedian = ours ? row.oursMedian : row.baseMedian;
        if (fromMedian && !median) return;
        value = seconds;
        fromMedian = median;
    }

    std::string program_;
    std::map<std::string, Row> rows_;
    std::vector<std::string> order_;
};

// The program's name without its directory and "_bench".
std::string ProgramName(const char *argv0) {
    std::string name = argv0 ? argv0 : "bench";
    if (size_t slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    if (name.size() > 6 && name.compare(name.size() - 6, 6, "_bench") == 0)
        name.erase(name.size() - 6);
    return name;
}

} // namespace

int main(int argc, char **argv) {
    std::string program = ProgramName(argc > 0 ? argv[0] : nullptr);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter(program);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
