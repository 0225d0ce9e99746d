// What a preferences write costs (the group store writes from centralQueue
// on every connect of a group member), and the frame-text conversions.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "devices/group_store.h"
#include "devices/preferences.h"
#include "protocol/command_frames.h"
#include "protocol/hex_text.h"

namespace {

using namespace lightdeck;

std::filesystem::path scratchFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lightdeck-bench-XXXXXX";
    return ::mkdtemp(pattern.data());
}

// A realistic store: `groups` groups of 4 members each.
void fill(GroupStore& store, int groups)
{
    GroupList list;
    for (int g = 0; g < groups; ++g) {
        store.addGroup(list, "G" + std::to_string(g));
        for (int m = 0; m < 4; ++m) {
            const std::string id = "0D3F2C1A-0000-4000-8000-" + std::to_string(100000000000 + g * 4 + m);
            store.addDevices(static_cast<std::size_t>(g), {{id, "Light"}});
        }
    }
}

// One name refresh written through to disk: temporary file, fsync, rename,
// folder fsync.
void BM_RefreshNamesToFile(benchmark::State& state)
{
    const auto folder = scratchFolder();
    {
        JsonFilePreferences prefs(folder / "preferences.json");
        GroupStore store(prefs);
        fill(store, static_cast<int>(state.range(0)));
        int i = 0;
        for (auto _ : state)
            store.refreshNames("0D3F2C1A-0000-4000-8000-100000000000", "Light " + std::to_string(++i));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RefreshNamesToFile)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_RefreshNamesInMemory(benchmark::State& state)
{
    InMemoryPreferences prefs;
    GroupStore store(prefs);
    fill(store, static_cast<int>(state.range(0)));
    int i = 0;
    for (auto _ : state)
        store.refreshNames("0D3F2C1A-0000-4000-8000-100000000000", "Light " + std::to_string(++i));
}
BENCHMARK(BM_RefreshNamesInMemory)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_PresetColourFrame(benchmark::State& state)
{
    int colour = 0;
    for (auto _ : state) {
        auto bytes = bytesFromHexText(presetColourHexText(0, colour++ % 7 + 1));
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_PresetColourFrame);

}  // namespace

BENCHMARK_MAIN();
