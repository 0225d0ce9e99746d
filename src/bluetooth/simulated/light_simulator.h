#pragma once
// LightSimulator: a radio neighbourhood of virtual lights, and the factory of
// centrals that see it. It is the application's default when no Bluetooth
// adapter is present (`--simulate`) and the peer of every test above the core.
//
//   LightSimulator sim;                       // zero delays, seed 1
//   VirtualLight& light = sim.addLight({.name = "Key Light"});
//   OxBlueTooth manager(sim.centralFactory());
//   ... manager.startScannWithIdentifier("FFF0"); sim.waitIdle();
//   EXPECT_EQ(light.writes().size(), 1u);
//
// Threads: every member may be called from any thread except waitIdle, which
// must not be called from a central's queue. Lifetime: the lights live as long
// as the simulator or any central it made, whichever lasts longer, so a
// central may outlive its simulator.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bluetooth/central.h"
#include "bluetooth/simulated/capability_profile.h"
#include "bluetooth/simulated/light_output.h"
#include "bluetooth/simulated/simulated_central.h"
#include "bluetooth/simulated/simulator_options.h"
#include "bluetooth/simulated/virtual_light.h"

namespace lightdeck {

class SimulatorWorld;

class LightSimulator {
public:
    // Called after a light's output, connection state, name, advertisement or
    // written values changed, with its identifier. It runs on the thread where
    // the change happened (a central's "centralQueue" for everything a central
    // did, the caller's thread for calls on the simulator or a light, and the
    // destroying thread when a central goes and its lights disconnect), with
    // no lock held, possibly on two threads at once: hand the work to your own
    // thread. Everything it captures must outlive the centrals, or be cleared
    // with setChangeObserver(nullptr) first.
    using ChangeObserver = std::function<void(const std::string& identifier)>;

    LightSimulator();
    explicit LightSimulator(SimulatorOptions options);
    // Clears the change observer. Centrals made by this simulator keep working.
    ~LightSimulator();

    LightSimulator(const LightSimulator&) = delete;
    LightSimulator& operator=(const LightSimulator&) = delete;

    const SimulatorOptions& options() const { return m_options; }

    // Adds a light to the neighbourhood; a central scanning now hears it.
    VirtualLight& addLight(VirtualLightSpec spec);
    // Every light, in order of addition.
    std::vector<VirtualLight*> lights() const;
    // The light with that identifier (any case); nullptr when none.
    VirtualLight* light(const std::string& identifier) const;
    std::size_t lightCount() const;

    // Makes SimulatedCentrals that see this neighbourhood. The factory may be
    // copied and used after the simulator is gone.
    CentralFactory centralFactory();

    // Switches the adapter. Off: every connection ends (connected lights get
    // didDisconnectPeripheral, lights still connecting didFailToConnect, both
    // with an error), scanning stops, then PoweredOff is reported. On:
    // PoweredOn is reported; nothing restarts by itself.
    void setPoweredOn(bool on);
    bool isPoweredOn() const;

    // Returns once no central of this simulator has anything left to run:
    // queued, delayed or running callbacks. Must not be called from a
    // central's queue (it would wait for itself): it then logs and returns.
    void waitIdle();

    void setChangeObserver(ChangeObserver observer);

private:
    SimulatorOptions m_options;
    std::shared_ptr<SimulatorWorld> m_world;
};

}  // namespace lightdeck
