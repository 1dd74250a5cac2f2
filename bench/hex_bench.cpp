// In-process timings of the HEX reader and writer on the images the whole-process
// comparison uses (bench/run-hex-bench.sh).
#include <benchmark/benchmark.h>

#include "bench_images.h"
#include "image/intel_hex_reader.h"
#include "image/intel_hex_writer.h"

namespace velkaro::bench {
namespace {

void readBenchmark(benchmark::State& state, const DeviceDefinition& device, bool shuffled) {
    const std::string ordered = orderedHex(device, filledImage(device, 1));
    const std::string text = shuffled ? shuffledHex(ordered, 2) : ordered;
    MemoryImage image;
    image.ResizeImage(device);
    for (auto _ : state) {
        image.ClearImage(device, true, true);
        benchmark::DoNotOptimize(ReadIntelHexText(text, device, image));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void formatBenchmark(benchmark::State& state, const DeviceDefinition& device) {
    const MemoryImage image = filledImage(device, 1);
    std::string text;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatIntelHex(device, image, text));
        benchmark::DoNotOptimize(findReadBackDifference(text, device, image));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ReadPic18Ordered(benchmark::State& state) {
    readBenchmark(state, pic18Device128k(), false);
}
void BM_ReadPic18Shuffled(benchmark::State& state) {
    readBenchmark(state, pic18Device128k(), true);
}
void BM_Read16F877A(benchmark::State& state) {
    readBenchmark(state, pic16f877aDevice(), false);
}
void BM_FormatAndCheckPic18(benchmark::State& state) {
    formatBenchmark(state, pic18Device128k());
}
void BM_FormatAndCheck16F877A(benchmark::State& state) {
    formatBenchmark(state, pic16f877aDevice());
}

BENCHMARK(BM_ReadPic18Ordered);
BENCHMARK(BM_ReadPic18Shuffled);
BENCHMARK(BM_Read16F877A);
BENCHMARK(BM_FormatAndCheckPic18);
BENCHMARK(BM_FormatAndCheck16F877A);

}  // namespace
}  // namespace velkaro::bench

BENCHMARK_MAIN();
