// Any sequence of advertisements (manufacturer data of any length, or none;
// any name, service list and signal strength) from up to 16 lights, mixed
// with connections and disconnections, through a real OxBlueTooth. Checks
// that the seen-lights map holds exactly the lights whose latest accepted
// advertisement has not been followed by a disconnection, in first-seen
// order, one entry each, and that every accepted advertisement reached the
// delegate.
//
// Input: records of [op] [manufacturer data chunk] [name chunk] [rssi], where
// op's low 4 bits pick the light, bit 4 drops the manufacturer data, bit 5
// connects the light after the advertisement, bit 6 disconnects it, bit 7
// runs the scan screen's "remove unconnected" step.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bluetooth/ox_blue_tooth.h"
#include "fuzz_support.h"

using namespace lightdeck;
using namespace lightdeck::fuzz;

namespace {

class CountingDelegate final : public OxBlueToothDelegate {
public:
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>&) override { ++discovered; }
    std::size_t discovered = 0;
};

bool accepted(const std::optional<Bytes>& data)
{
    return data && data->size() >= 2
           && (((*data)[0] == 0x4C && (*data)[1] == 0x4D) || ((*data)[0] == 0x4D && (*data)[1] == 0x4C));
}

void eraseKey(std::vector<std::string>& keys, const std::string& key) { std::erase(keys, key); }
void appendKey(std::vector<std::string>& keys, const std::string& key)
{
    if (std::find(keys.begin(), keys.end(), key) == keys.end())
        keys.push_back(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    ScriptedCentral* central = nullptr;
    OxBlueTooth manager(scriptedFactory(central));
    auto delegate = std::make_shared<CountingDelegate>();
    manager.setDelegate(delegate);
    manager.setUuidString("FFF0");
    manager.setCharacteristicID("FFF1");
    manager.startScannWithIdentifier("FFF0");
    LIGHTDECK_FUZZ_CHECK(central && central->isScanning());

    std::vector<std::shared_ptr<ScriptedPeripheral>> lights;
    for (unsigned i = 0; i < 16; ++i)
        lights.push_back(std::make_shared<ScriptedPeripheral>(scriptedIdentifier(i)));

    // What the maps must hold, in their order.
    std::vector<std::string> seen;
    std::vector<std::string> connected;
    std::size_t acceptedCount = 0;

    InputReader input(data, size);
    while (!input.empty()) {
        const std::uint8_t op = input.byte();
        const auto& light = lights[op & 0x0F];
        AdvertisementData advert;
        advert.manufacturerData = input.chunk();
        if (op & 0x10)
            advert.manufacturerData.reset();
        const Bytes name = input.chunk();
        advert.localName.assign(name.begin(), name.end());
        if (!name.empty() && name[0] & 1)
            advert.serviceUuids = {"FFF0", advert.localName};
        const int rssi = static_cast<std::int8_t>(input.byte());

        central->delegate.didDiscoverPeripheral(light, advert, rssi);
        if (accepted(advert.manufacturerData)) {
            ++acceptedCount;
            appendKey(seen, light->identifier());
        }
        if (op & 0x20) {
            light->setState(PeripheralState::Connected);
            central->delegate.didConnectPeripheral(light);
            appendKey(seen, light->identifier());
            appendKey(connected, light->identifier());
        }
        if (op & 0x40) {
            light->setState(PeripheralState::Disconnected);
            central->delegate.didDisconnectPeripheral(light, std::nullopt);
            eraseKey(seen, light->identifier());
            eraseKey(connected, light->identifier());
        }
        if (op & 0x80) {
            manager.removeUnconnectedFromDiscoverDict();
            std::erase_if(seen, [&](const std::string& id) {
                return std::find(connected.begin(), connected.end(), id) == connected.end();
            });
        }

        const auto discovered = manager.discoverDict();
        LIGHTDECK_FUZZ_CHECK(discovered.size() == seen.size());
        for (std::size_t i = 0; i < discovered.size(); ++i) {
            LIGHTDECK_FUZZ_CHECK(discovered[i].first == seen[i]);
            LIGHTDECK_FUZZ_CHECK(discovered[i].second && discovered[i].second->identifier() == seen[i]);
        }
        const auto connectMap = manager.connectDict();
        LIGHTDECK_FUZZ_CHECK(connectMap.size() == connected.size());
        for (std::size_t i = 0; i < connectMap.size(); ++i)
            LIGHTDECK_FUZZ_CHECK(connectMap[i].first == connected[i]);
    }
    LIGHTDECK_FUZZ_CHECK(delegate->discovered == acceptedCount);
    return 0;
}
