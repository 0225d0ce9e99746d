#pragma once
// Options of a LightSimulator: the seed every random choice comes from, the
// timing model and the random faults.

#include <chrono>
#include <cstdint>

namespace lightdeck {

// Delays of the simulated radio. All zero by default, for unit tests: every
// callback is then queued at once, in request order. Delays are waited for on
// the central's queue (never by sleeping), so LightSimulator::waitIdle covers
// them.
struct TimingModel {
    // A scanning central hears each light for the first time after a random
    // delay in [0, advertisingInterval) drawn from the seed.
    std::chrono::nanoseconds advertisingInterval{0};
    // A connection completes (or fails) after a random delay in [min, max].
    std::chrono::nanoseconds connectionDelayMin{0};
    std::chrono::nanoseconds connectionDelayMax{0};
    // The connection interval: each link has a connection event this often,
    // at a phase of its own. A write with response goes at the link's next
    // event and is answered one interval later; service or characteristic
    // discovery take two intervals (request and answer); a notification one.
    std::chrono::nanoseconds connectionInterval{0};

    static TimingModel zero() { return {}; }
    // Typical figures of a phone or laptop talking to a small light: 100 ms
    // advertising, 50-150 ms to connect, 7.5 ms connection interval (a write
    // round trip of 7.5 to 15 ms, by where the link's next event falls).
    static TimingModel realistic()
    {
        using namespace std::chrono_literals;
        TimingModel timing{};
        timing.advertisingInterval = 100ms;
        timing.connectionDelayMin = 50ms;
        timing.connectionDelayMax = 150ms;
        timing.connectionInterval = 7500us;
        return timing;
    }
};

struct SimulatorOptions {
    // Seeds the std::mt19937 behind every random choice (advertising and
    // connection delays, random connection failures) and the identifiers of
    // lights added without one: the same seed and the same calls give the same
    // identifiers and the same order of events.
    std::uint32_t seed = 1;
    TimingModel timing{};
    // Chance, 0.0 to 1.0, that a connection attempt fails on its own
    // (didFailToConnectPeripheral), on top of VirtualLight::failNextConnect.
    double connectFailureProbability = 0.0;
    // Signal strength reported with every advertisement, in dBm.
    int rssi = -58;
};

}  // namespace lightdeck
