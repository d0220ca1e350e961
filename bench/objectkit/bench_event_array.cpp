// Event array operations against the standard algorithm doing the same work on the same data.
#include <objectkit/AutomationEventArray.h>
#include <objectkit/Settings.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "RatioReporter.h"

namespace {

constexpr int kEvents = 1'000'000;
constexpr int kLookups = 100'000;

CAutomationEvent MakeEvent(int i, std::mt19937& rng) {
    CAutomationEvent e;
    e.timeStamp = i / 3;  // about three events per quarter frame
    e.path = static_cast<int32_t>(rng() % 256);
    e.module = static_cast<uint8_t>(rng() % 31);
    e.control = static_cast<uint8_t>(rng() % 9);
    e.value = static_cast<uint16_t>(rng());
    return e;
}

const std::vector<CAutomationEvent>& TimeOrdered() {
    static const std::vector<CAutomationEvent> events = [] {
        std::mt19937 rng(7);
        std::vector<CAutomationEvent> v;
        v.reserve(kEvents);
        for (int i = 0; i < kEvents; ++i) {
            v.push_back(MakeEvent(i, rng));
        }
        return v;
    }();
    return events;
}

const std::vector<CAutomationEvent>& Shuffled() {
    static const std::vector<CAutomationEvent> events = [] {
        std::vector<CAutomationEvent> v = TimeOrdered();
        std::shuffle(v.begin(), v.end(), std::mt19937(11));
        return v;
    }();
    return events;
}

CAutomationEventArray ArrayOf(const std::vector<CAutomationEvent>& events) {
    CAutomationEventArray a;
    a.SetSize(static_cast<int>(events.size()));
    std::copy(events.begin(), events.end(), a.begin());
    return a;
}

// --- Appending in time order -------------------------------------------------------------

void AddAtTime_objectkit(benchmark::State& state) {
    const auto& events = TimeOrdered();
    for (auto _ : state) {
        CAutomationEventArray a;
        for (const auto& e : events) {
            a.AddAtTime(e);
        }
        benchmark::DoNotOptimize(a.GetData());
    }
}
void AddAtTime_baseline(benchmark::State& state) {
    const auto& events = TimeOrdered();
    for (auto _ : state) {
        std::vector<CAutomationEvent> v;
        for (const auto& e : events) {
            v.push_back(e);
        }
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(AddAtTime_objectkit)
    ->Name("AddAtTime 1M appends/objectkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(AddAtTime_baseline)->Name("AddAtTime 1M appends/baseline")->Unit(benchmark::kMillisecond);

// --- Look-up by time -----------------------------------------------------------------------

std::vector<long> LookupTimes() {
    std::mt19937 rng(3);
    std::vector<long> times(kLookups);
    for (auto& t : times) {
        t = static_cast<long>(rng() % (kEvents / 3 + 10));
    }
    return times;
}

void GetAtTime_objectkit(benchmark::State& state) {
    const CAutomationEventArray a = ArrayOf(TimeOrdered());
    const auto times = LookupTimes();
    for (auto _ : state) {
        long sum = 0;
        for (long t : times) {
            sum += a.GetAtTime(t, 0);
        }
        benchmark::DoNotOptimize(sum);
    }
}
void GetAtTime_baseline(benchmark::State& state) {
    const auto& v = TimeOrdered();
    const auto times = LookupTimes();
    for (auto _ : state) {
        long sum = 0;
        for (long t : times) {
            auto it =
                std::lower_bound(v.begin(), v.end(), t,
                                 [](const CAutomationEvent& e, long x) { return e.timeStamp < x; });
            sum += it == v.end() ? static_cast<long>(v.size()) - 1 : it - v.begin();
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(GetAtTime_objectkit)
    ->Name("GetAtTime 100k look-ups/objectkit")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(GetAtTime_baseline)
    ->Name("GetAtTime 100k look-ups/baseline")
    ->Unit(benchmark::kMicrosecond);

// --- Sorting ---------------------------------------------------------------------------------

bool LessMode(int mode, const CAutomationEvent& a, const CAutomationEvent& b) {
    switch (mode) {
        case 0:
            return std::tie(a.timeStamp, a.path, a.module, a.control) <
                   std::tie(b.timeStamp, b.path, b.module, b.control);
        case 1:
            return std::tie(a.path, a.module, a.control, a.timeStamp) <
                   std::tie(b.path, b.module, b.control, b.timeStamp);
        default:
            return std::tie(a.path, a.timeStamp, a.module, a.control) <
                   std::tie(b.path, b.timeStamp, b.module, b.control);
    }
}

template <int Mode>
void Sort_objectkit(benchmark::State& state) {
    const int mode = Mode;
    // Mode 0 starts from shuffled events; modes 1 and 2 from a time-ordered mix, as they are
    // used on mixes.
    const auto& source = mode == 0 ? Shuffled() : TimeOrdered();
    for (auto _ : state) {
        state.PauseTiming();
        CAutomationEventArray a = ArrayOf(source);
        state.ResumeTiming();
        a.Sort(static_cast<SortMode>(mode));
        benchmark::DoNotOptimize(a.GetData());
    }
}
template <int Mode>
void Sort_baseline(benchmark::State& state) {
    const auto& source = Mode == 0 ? Shuffled() : TimeOrdered();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<CAutomationEvent> v = source;
        state.ResumeTiming();
        std::sort(v.begin(), v.end(), [](const CAutomationEvent& a, const CAutomationEvent& b) {
            return LessMode(Mode, a, b);
        });
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(Sort_objectkit<0>)->Name("Sort 1M mode 0/objectkit")->Unit(benchmark::kMillisecond);
BENCHMARK(Sort_baseline<0>)->Name("Sort 1M mode 0/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(Sort_objectkit<1>)->Name("Sort 1M mode 1/objectkit")->Unit(benchmark::kMillisecond);
BENCHMARK(Sort_baseline<1>)->Name("Sort 1M mode 1/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(Sort_objectkit<2>)->Name("Sort 1M mode 2/objectkit")->Unit(benchmark::kMillisecond);
BENCHMARK(Sort_baseline<2>)->Name("Sort 1M mode 2/baseline")->Unit(benchmark::kMillisecond);

// --- Whole-array passes ----------------------------------------------------------------------

void SetOldValues_objectkit(benchmark::State& state) {
    CAutomationEventArray a = ArrayOf(TimeOrdered());
    CPathMap map;
    map.AddSection(0, 96);
    map.AddSection(96, 64);
    for (auto _ : state) {
        a.SetOldValues(31, map);
        benchmark::DoNotOptimize(a.GetData());
    }
    state.counters["events/s"] = benchmark::Counter(static_cast<double>(kEvents),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
// The same walk with a plain table lookup: what reading and writing every event costs.
void SetOldValues_baseline(benchmark::State& state) {
    std::vector<CAutomationEvent> v = TimeOrdered();
    std::vector<uint16_t> table(256 * 31 * 9);
    for (auto _ : state) {
        std::fill(table.begin(), table.end(), 0);
        for (auto& e : v) {
            uint16_t& cell = table[(static_cast<size_t>(e.path) * 31 + e.module) * 9 + e.control];
            e.oldValue = cell;
            cell = e.value;
        }
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(SetOldValues_objectkit)->Name("SetOldValues 1M/objectkit")->Unit(benchmark::kMillisecond);
BENCHMARK(SetOldValues_baseline)->Name("SetOldValues 1M/baseline")->Unit(benchmark::kMillisecond);

CEventFilter ChannelFilter() {
    CEventFilter f;
    for (int p = 0; p < 48; ++p) {
        f.paths.push_back(p * 5);
    }
    f.TranslateFilterForConsole((1u << 1) | (1u << 3), 3);
    return f;
}

void GetFilteredTotal_objectkit(benchmark::State& state) {
    const CAutomationEventArray a = ArrayOf(TimeOrdered());
    std::vector<int> indices;
    for (auto _ : state) {
        CEventFilter f = ChannelFilter();
        benchmark::DoNotOptimize(a.GetFilteredTotal(f, &indices));
    }
    state.counters["events/s"] = benchmark::Counter(static_cast<double>(kEvents),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
// The same selection written by hand with a precomputed table per path and per control.
void GetFilteredTotal_baseline(benchmark::State& state) {
    const auto& v = TimeOrdered();
    const CEventFilter f = ChannelFilter();
    std::vector<uint8_t> paths(256, 0);
    for (int p : f.paths)
        paths[p] = 1;
    std::vector<uint8_t> controls(1 << 16, 0);
    for (uint16_t c : f.allowedControls)
        controls[c] = 1;
    std::vector<int> indices;
    for (auto _ : state) {
        indices.clear();
        for (int i = 0; i < static_cast<int>(v.size()); ++i) {
            const auto& e = v[i];
            if (paths[e.path] && controls[e.module | e.control << 8]) {
                indices.push_back(i);
            }
        }
        benchmark::DoNotOptimize(indices.data());
    }
}
BENCHMARK(GetFilteredTotal_objectkit)
    ->Name("GetFilteredTotal 1M/objectkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(GetFilteredTotal_baseline)
    ->Name("GetFilteredTotal 1M/baseline")
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    objectkit::SetConsoleTypeForTests(3);
    benchmark::Initialize(&argc, argv);
    objectkit_bench::RatioReporter reporter;
    reporter.SetGoal("AddAtTime 1M appends", "<= 1.5x");
    reporter.SetGoal("GetAtTime 100k look-ups", "<= 1.2x");
    reporter.SetGoal("Sort 1M mode 0", "<= 1.1x");
    reporter.SetGoal("Sort 1M mode 1", "<= 1.1x");
    reporter.SetGoal("Sort 1M mode 2", "<= 1.1x");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
