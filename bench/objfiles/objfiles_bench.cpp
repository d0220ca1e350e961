// Each benchmark times our code and, in the same iterations, a plain baseline doing the same
// amount of work; the counters show the baseline's time and the ratio (ours / baseline).
//   Save/Load of 1,000,000 events (20 MB) vs fwrite/fread of 20 MB    goal: ratio <= 2
//   Block write of 20 MB vs compress2 level 1 on the same chunks        goal: ratio <= 1.1
//     (the per-chunk pause is switched off there and measured on its own)
//   EDL parsing in events per second, vs reading the same lines with fgets
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <objectkit/AutomationBlockFile.h>
#include <objectkit/AutomationEventArray.h>
#include <objectkit/EDL.h>

namespace {

using Clock = std::chrono::steady_clock;

const std::string& Dir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/objfiles-bench-XXXXXX";
        std::string d = mkdtemp(tmpl);
        setenv("KESTANE_REGISTRY_DIR", d.c_str(), 1);
        return d;
    }();
    return dir;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

CAutomationEventArray Mix(int count) {
    CAutomationEventArray a;
    a.SetSize(count);
    for (int i = 0; i < count; ++i) {
        CAutomationEvent& e = a[i];
        e.timeStamp = i / 8;
        e.path = i % 96;
        e.module = static_cast<uint8_t>(14 + i % 3);
        e.control = static_cast<uint8_t>(i % 4);
        e.value = static_cast<uint16_t>((i * 37) % 1024);
    }
    return a;
}

void Report(benchmark::State& state, double ours, double baseline) {
    state.counters["baseline_ms"] = baseline * 1000 / static_cast<double>(state.iterations());
    state.counters["ours_ms"] = ours * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = baseline > 0 ? ours / baseline : 0;
}

void StdioWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    fsync(fileno(f));  // the automation file is synced before it is renamed into place
    std::fclose(f);
}

void BM_SaveMillionEvents(benchmark::State& state) {
    const CAutomationEventArray mix = Mix(1000000);
    const std::string file = Dir() + "/save.aut", plain = Dir() + "/save.raw";
    const std::vector<uint8_t> bytes(20000000, 0x5A);
    double ours = 0, baseline = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        if (!mix.Save(file)) {
            state.SkipWithError("save failed");
            break;
        }
        ours += Seconds(t0);
        state.PauseTiming();
        t0 = Clock::now();
        StdioWrite(plain, bytes);
        baseline += Seconds(t0);
        state.ResumeTiming();
    }
    Report(state, ours, baseline);
}

void BM_LoadMillionEvents(benchmark::State& state) {
    const std::string file = Dir() + "/load.aut", plain = Dir() + "/load.raw";
    Mix(1000000).Save(file);
    StdioWrite(plain, std::vector<uint8_t>(20000000, 0x5A));
    double ours = 0, baseline = 0;
    for (auto _ : state) {
        CAutomationEventArray loaded;
        auto t0 = Clock::now();
        if (!loaded.Load(file) || loaded.GetSize() != 1000000) {
            state.SkipWithError("load failed");
            break;
        }
        ours += Seconds(t0);
        state.PauseTiming();
        t0 = Clock::now();
        std::vector<uint8_t> buffer(20000000);
        FILE* f = std::fopen(plain.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), f));
        std::fclose(f);
        baseline += Seconds(t0);
        state.ResumeTiming();
    }
    Report(state, ours, baseline);
}

std::vector<uint8_t> BlockData() {
    // 20 MB as the package writes it: 16-byte event records.
    std::vector<uint8_t> data(20000000);
    for (size_t i = 0; i < data.size(); i += 16) {
        const uint32_t n = static_cast<uint32_t>(i / 16);
        data[i] = static_cast<uint8_t>(14 + n % 3);
        data[i + 1] = static_cast<uint8_t>(n % 4);
        data[i + 2] = static_cast<uint8_t>(n * 37);
        data[i + 4] = static_cast<uint8_t>(n % 96);
        data[i + 8] = static_cast<uint8_t>(n / 8);
        data[i + 9] = static_cast<uint8_t>(n / 2048);
    }
    return data;
}

void BM_BlockWrite20MB(benchmark::State& state) {
    const std::vector<uint8_t> data = BlockData();
    const std::string file = Dir() + "/blocks.atx";
    std::vector<uint8_t> out(CAutomationBlockFile::kMaxCompressedChunk);
    double ours = 0, baseline = 0;
    for (auto _ : state) {
        std::filesystem::remove(file);
        auto t0 = Clock::now();
        {
            CAutomationBlockFile blocks;
            blocks.SetCompression(true);
            blocks.SetChunkPause(std::chrono::microseconds(0));
            blocks.Open(file);
            blocks.WriteBlock(1, data.data(), static_cast<uint32_t>(data.size()));
            blocks.Close();
        }
        ours += Seconds(t0);
        state.PauseTiming();
        t0 = Clock::now();
        for (size_t at = 0; at < data.size(); at += CAutomationBlockFile::kChunkSize) {
            const size_t n = std::min<size_t>(CAutomationBlockFile::kChunkSize, data.size() - at);
            uLongf length = static_cast<uLongf>(out.size());
            compress2(out.data(), &length, data.data() + at, n, 1);
        }
        baseline += Seconds(t0);
        state.ResumeTiming();
    }
    Report(state, ours, baseline);
    state.counters["chunks"] = static_cast<double>(
        (data.size() + CAutomationBlockFile::kChunkSize - 1) / CAutomationBlockFile::kChunkSize);
}

// The pause alone: one 8-chunk block written with and without it.
void BM_BlockChunkPause(benchmark::State& state) {
    const std::vector<uint8_t> data(8 * CAutomationBlockFile::kChunkSize, 0x11);
    const std::string file = Dir() + "/pause.atx";
    double with = 0, without = 0;
    for (auto _ : state) {
        for (bool pause : {true, false}) {
            std::filesystem::remove(file);
            auto t0 = Clock::now();
            CAutomationBlockFile blocks;
            blocks.SetChunkPause(std::chrono::microseconds(pause ? 10000 : 0));
            blocks.Open(file);
            blocks.WriteBlock(1, data.data(), static_cast<uint32_t>(data.size()));
            blocks.Close();
            (pause ? with : without) += Seconds(t0);
        }
    }
    state.counters["pause_per_chunk_ms"] =
        (with - without) * 1000 / 8 / static_cast<double>(state.iterations());
}

void BM_TextEdlParse(benchmark::State& state) {
    const std::string file = Dir() + "/list.edl";
    const int events = 20000;
    {
        FILE* f = std::fopen(file.c_str(), "w");
        std::fprintf(f, "TITLE: BENCH\nFCM: NON-DROP FRAME\n");
        for (int i = 0; i < events; ++i) {
            const int s = i % 3600;
            std::fprintf(f,
                         "%03d  REEL%02d  AA/V  C        01:%02d:%02d:00 01:%02d:%02d:10 "
                         "02:%02d:%02d:00 02:%02d:%02d:10\n* FROM CLIP NAME: SHOT_%d\n",
                         i % 1000, i % 40, s / 60, s % 60, s / 60, s % 60, s / 60, s % 60, s / 60,
                         s % 60, i);
        }
        std::fclose(f);
    }
    double ours = 0, baseline = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        CEDLReader reader(file, EDL_CMX3400);
        CEDLEvent e;
        CTimecode a, b, c;
        int n = 0;
        while (reader.ReadEvent(e, a, b, c)) {
            ++n;
        }
        ours += Seconds(t0);
        if (n != events) {
            state.SkipWithError("wrong event count");
            break;
        }
        state.PauseTiming();
        t0 = Clock::now();
        FILE* f = std::fopen(file.c_str(), "r");
        char line[512];
        int lines = 0;
        while (std::fgets(line, sizeof line, f)) {
            ++lines;
        }
        std::fclose(f);
        benchmark::DoNotOptimize(lines);
        baseline += Seconds(t0);
        state.ResumeTiming();
    }
    Report(state, ours, baseline);
    state.counters["events_per_s"] =
        benchmark::Counter(static_cast<double>(events) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void BM_BinaryEdlParse(benchmark::State& state) {
    const std::string file = Dir() + "/list.bin.edl";
    const int events = 20000;
    {
        CEDLWriter writer;
        writer.Open(file, {});
        CEDLEvent e;
        e.m_Reel = "REEL01";
        e.m_Clip = "SHOT";
        for (int i = 0; i < events; ++i) {
            writer.WriteEvent(e, {1, i % 60, 0, 0}, {2, 0, i % 60, 0}, {2, 0, i % 60, 10});
        }
        writer.Close();
    }
    for (auto _ : state) {
        CEDLReader reader(file, EDL_GENERIC);
        CEDLEvent e;
        CTimecode a, b, c;
        int n = 0;
        while (reader.ReadEvent(e, a, b, c)) {
            ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    state.counters["events_per_s"] =
        benchmark::Counter(static_cast<double>(events) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_SaveMillionEvents)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadMillionEvents)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BlockWrite20MB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BlockChunkPause)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TextEdlParse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BinaryEdlParse)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    Dir();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Dir());
    return 0;
}
