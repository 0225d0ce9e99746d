// Any value updates (any length and content, or no value at all, with or
// without an error) on FFF2 and on other characteristics of up to three
// connected lights, through a real OxBlueTooth; then the panels' shield scan
// on every list at every position. Checks that no report is lost or filed
// in the wrong list, that nothing but FFF2 is kept, and that the scan
// returns exactly the marker bytes (above F0) at that position, in order of
// arrival.
//
// Input: the first byte's bit 0 turns the per-byte debug lines on; then
// records of [op] [value chunk], where op's low 2 bits pick the light,
// bit 2 sends it on FFF1 instead of FFF2, bit 3 sends no value, bit 4 adds
// an error, bit 5 disconnects the light after the update and bit 6
// reconnects it. At most 64 updates an input.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bluetooth/ox_blue_tooth.h"
#include "fuzz_support.h"

using namespace lightdeck;
using namespace lightdeck::fuzz;

namespace {

constexpr std::array kLists{ReportList::ALL, ReportList::CCT, ReportList::HSI, ReportList::EFF,
                            ReportList::SET, ReportList::SOS, ReportList::GPM};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    InputReader input(data, size);
    const bool debugLines = input.byte() & 1;
    log::setDebugEnabled(debugLines);

    ScriptedCentral* central = nullptr;
    OxBlueTooth manager(scriptedFactory(central));
    manager.setCharacteristicID("FFF1");
    std::vector<std::shared_ptr<ScriptedPeripheral>> lights;
    for (unsigned i = 0; i < 3; ++i) {
        lights.push_back(std::make_shared<ScriptedPeripheral>(scriptedIdentifier(i)));
        connectScripted(*central, lights.back());
        LIGHTDECK_FUZZ_CHECK(lights.back()->notifying());
    }

    // Every list as it must be: index = position in kLists.
    std::array<std::vector<Bytes>, kLists.size()> expected;
    std::size_t longest = 0;
    // Bounded so that one input stays quick: the scans below copy every list
    // at every position.
    for (int updates = 0; updates < 64 && !input.empty(); ++updates) {
        const std::uint8_t op = input.byte();
        const auto& light = lights[(op & 0x03) % lights.size()];
        const Bytes value = input.chunk();
        const bool onReport = !(op & 0x04);
        const auto& characteristic = onReport ? light->report : light->command;
        characteristic->setValue(op & 0x08 ? std::nullopt : std::optional<Bytes>(value));
        std::optional<CentralError> error;
        if (op & 0x10)
            error = CentralError{static_cast<int>(op), "scripted"};

        central->delegate.didUpdateValue(light, characteristic, error);
        if (onReport && !(op & 0x08)) {
            expected[0].push_back(value);
            if (value.size() >= 2 && value[1] >= 1 && value[1] <= 6)
                expected[value[1]].push_back(value);
            longest = std::max(longest, value.size());
        }
        if (op & 0x20) {
            light->setState(PeripheralState::Disconnected);
            central->delegate.didDisconnectPeripheral(light, error);
        }
        if (op & 0x40)
            connectScripted(*central, light);
    }

    for (std::size_t l = 0; l < kLists.size(); ++l) {
        LIGHTDECK_FUZZ_CHECK(manager.reports(kLists[l]) == expected[l]);
        // One past the longest report too: reports too short are skipped.
        // With the per-byte lines on, every scan logs every byte: a few
        // positions are enough there.
        for (std::size_t index = 0; index <= longest + 1; index += debugLines ? 1 + longest / 3 : 1) {
            std::vector<std::uint8_t> markers;
            manager.shieldModulesFromData(kLists[l], index, [&](std::uint8_t b) { markers.push_back(b); });
            std::vector<std::uint8_t> wanted;
            for (const Bytes& report : expected[l])
                if (index < report.size() && report[index] > 0xF0)
                    wanted.push_back(report[index]);
            LIGHTDECK_FUZZ_CHECK(markers == wanted);
        }
    }
    log::setDebugEnabled(false);
    return 0;
}
