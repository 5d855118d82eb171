// The main of every benchmark program. Benchmarks come in pairs named
// "<case>/ours..." and "<case>/base...", where the rest of the name (the
// arguments) is the same; after the usual report, each pair is printed on
// one line with the ratio ours / base of their CPU times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            std::string name = run.benchmark_name();
            for (const char *side : {"/ours", "/base"}) {
                size_t at = name.find(side);
                if (at == std::string::npos) continue;
                std::string key = name.substr(0, at) + name.substr(at + 5);
                auto &pair = pairs_[key];
                (side[1] == 'o' ? pair.first : pair.second) = run.GetAdjustedCPUTime();
                if (order_.empty() || order_.back() != key) order_.push_back(key);
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        if (pairs_.empty()) return;
        printf("\n%-48s %14s %14s %8s\n", "case", "ours", "base", "ours/base");
        std::map<std::string, bool> printed;
        for (const std::string &key : order_) {
            if (printed[key]) continue;
            printed[key] = true;
            const auto &[ours, base] = pairs_[key];
            if (ours <= 0 || base <= 0) continue;
            printf("%-48s %14.1f %14.1f %8.2f\n", key.c_str(), ours, base, ours / base);
        }
    }

  private:
    std::map<std::string, std::pair<double, double>> pairs_;
    std::vector<std::string> order_;
};

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
