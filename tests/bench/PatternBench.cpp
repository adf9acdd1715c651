// Throughput of what the error scan does per chunk besides the transfer:
// filling 128 sectors with their pattern and comparing them with what was
// read back.
#include "core/mediatests/SectorPattern.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr size_t kChunk = 128 * 512;

void PatternFill(benchmark::State& state)
{
    std::vector<uint8_t> buffer(kChunk);
    uint64_t sector = 0;
    for (auto _ : state) {
        qv::FillChunkPattern(sector, 128, buffer.data());
        benchmark::DoNotOptimize(buffer.data());
        sector += 128;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kChunk));
}
BENCHMARK(PatternFill);

void CountDifferentBytesEqual(benchmark::State& state)
{
    std::vector<uint8_t> a(kChunk), b(kChunk);
    qv::FillChunkPattern(0, 128, a.data());
    b = a;
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::CountDifferentBytes(a.data(), b.data(), kChunk));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kChunk));
}
BENCHMARK(CountDifferentBytesEqual);

// Building the expected pattern, then comparing with it.
void FillAndCompare(benchmark::State& state)
{
    std::vector<uint8_t> read(kChunk), expected(kChunk);
    qv::FillChunkPattern(1 << 20, 128, read.data());
    for (auto _ : state) {
        qv::FillChunkPattern(1 << 20, 128, expected.data());
        benchmark::DoNotOptimize(qv::CountDifferentBytes(read.data(), expected.data(), kChunk));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kChunk));
}
BENCHMARK(FillAndCompare);

// What the worker does per chunk: the write test stamps the numbered bytes
// into its prepared buffer, the read test compares in place.
void WriteChunkStamp(benchmark::State& state)
{
    std::vector<uint8_t> buffer(kChunk);
    qv::PrepareChunkPattern(128, buffer.data());
    uint64_t sector = 0;
    for (auto _ : state) {
        qv::StampChunkHeaders(sector, 128, buffer.data());
        benchmark::DoNotOptimize(buffer.data());
        sector += 128;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kChunk));
}
BENCHMARK(WriteChunkStamp);

void ReadChunkCompare(benchmark::State& state)
{
    std::vector<uint8_t> read(kChunk);
    qv::FillChunkPattern(1 << 20, 128, read.data());
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::CountPatternDifferences(1 << 20, 128, read.data()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kChunk));
}
BENCHMARK(ReadChunkCompare);

}  // namespace

BENCHMARK_MAIN();
