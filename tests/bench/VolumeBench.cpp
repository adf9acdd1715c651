// Sequential 64 KiB ReadSectorsAt / WriteSectorsAt through LinuxVolume on
// the block device named by QUORVANE_BENCH_NODE. The device's contents are
// overwritten: give it a loop device of your own (scripts/bench-volume).

#include "core/device/Scsi.h"
#include "core/device/SectorIO.h"
#include "platform/linux/LinuxVolume.h"
#include "platform/linux/SystemDrives.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>

using namespace qv;

namespace {

constexpr int kChunkSectors = 128;
constexpr size_t kChunkBytes = kChunkSectors * 512;

struct Bench {
    std::shared_ptr<linux_platform::LinuxVolume> volume;
    uint64_t sectors = 0;
    uint8_t* buffer = nullptr;
};

// Opens the node once per run; skips with a message when there is none.
bool setUp(benchmark::State& state, Bench& bench)
{
    const char* node = std::getenv("QUORVANE_BENCH_NODE");
    if (!node || !*node) {
        state.SkipWithError("QUORVANE_BENCH_NODE names no block device");
        return false;
    }
    OpenResult opened = linux_platform::OpenBlockDevice(node);
    bench.volume = std::dynamic_pointer_cast<linux_platform::LinuxVolume>(opened.handle);
    if (!bench.volume) {
        state.SkipWithError((std::string("cannot open ") + node + ": " + std::strerror(opened.error)).c_str());
        return false;
    }
    if (!bench.volume->direct()) {
        state.SkipWithError("the device refused O_DIRECT");
        return false;
    }
    bench.sectors = uint64_t(ReadCapacity(bench.volume) + 1);
    bench.buffer = static_cast<uint8_t*>(std::aligned_alloc(4096, kChunkBytes));
    std::memset(bench.buffer, 0xA5, kChunkBytes);
    return true;
}

void tearDown(Bench& bench)
{
    std::free(bench.buffer);
    if (bench.volume)
        bench.volume->close();
}

// 64 KiB chunks one after the other, from sector 0 again at the end.
void sequential(benchmark::State& state, bool write)
{
    Bench bench;
    if (!setUp(state, bench))
        return;
    DeviceHandle handle = bench.volume;
    uint64_t sector = 0;
    for (auto _ : state) {
        if (sector + kChunkSectors > bench.sectors)
            sector = 0;
        const bool ok = write ? WriteSectorsAt(handle, uint32_t(sector), kChunkSectors, 512, bench.buffer)
                              : ReadSectorsAt(handle, sector, kChunkSectors, 512, bench.buffer);
        if (!ok) {
            state.SkipWithError(write ? "write failed" : "read failed");
            break;
        }
        sector += kChunkSectors;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kChunkBytes));
    tearDown(bench);
}

void BM_SequentialRead64K(benchmark::State& state)
{
    sequential(state, false);
}

void BM_SequentialWrite64K(benchmark::State& state)
{
    sequential(state, true);
}

}  // namespace

BENCHMARK(BM_SequentialRead64K)->UseRealTime();
BENCHMARK(BM_SequentialWrite64K)->UseRealTime();

BENCHMARK_MAIN();
