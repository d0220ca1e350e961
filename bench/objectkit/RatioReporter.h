// Console output of Google Benchmark plus, at the end, every benchmark "X/objectkit" beside
// its baseline "X/baseline" of the same run, as a ratio of CPU time per iteration (the machine
// is shared, so wall time mostly measures the neighbours), and the events per second of every
// benchmark that counts them.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace objectkit_bench {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) {
                continue;
            }
            Figure& f = figures_[run.benchmark_name()];
            f.seconds = run.GetAdjustedCPUTime();
            auto it = run.counters.find("events/s");
            if (it != run.counters.end()) {
                f.eventsPerSecond = it->second.value;
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-44s %14s %14s %8s %8s\n", "benchmark (CPU time)", "objectkit", "baseline",
                    "ratio", "goal");
        for (const auto& [name, f] : figures_) {
            const size_t slash = name.find("/objectkit");
            if (slash == std::string::npos) {
                continue;
            }
            const std::string key = name.substr(0, slash);
            const std::string base = key + "/baseline" + name.substr(slash + 10);
            auto b = figures_.find(base);
            if (b == figures_.end()) {
                std::printf("%-44s %14.3f %14s %8s\n", key.c_str(), f.seconds, "-", "-");
                continue;
            }
            const double ratio = f.seconds / b->second.seconds;
            std::printf("%-44s %14.3f %14.3f %7.2fx %8s\n", key.c_str(), f.seconds,
                        b->second.seconds, ratio, GoalOf(key).c_str());
        }
        for (const auto& [name, f] : figures_) {
            if (f.eventsPerSecond > 0 && name.find("/baseline") == std::string::npos) {
                std::printf("%-44s %10.1f million events/s (goal >= 20)\n", name.c_str(),
                            f.eventsPerSecond / 1e6);
            }
        }
    }

    void SetGoal(const std::string& key, const std::string& goal) { goals_[key] = goal; }

  private:
    struct Figure {
        double seconds = 0;
        double eventsPerSecond = 0;
    };
    std::string GoalOf(const std::string& key) const {
        auto it = goals_.find(key);
        return it == goals_.end() ? "" : it->second;
    }
    std::map<std::string, Figure> figures_;
    std::map<std::string, std::string> goals_;
};

}  // namespace objectkit_bench
