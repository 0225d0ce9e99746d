#pragma once
// The state a LightSimulator shares with every central it made: the lights,
// the adapter's power, the random source, the live centrals' sessions and the
// count of their pending tasks. Owned by shared_ptr, so the lights outlive the
// simulator while a central still uses them.
//
// Locking: one mutex guards all of it and every VirtualLight's and
// CentralSession's mutable state; members ending in "Locked" expect it held.
// Nothing calls a delegate or the change observer while holding it. The only
// locks taken under it are leaf locks (a peripheral's, a characteristic's, a
// serial queue's).

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "bluetooth/simulated/simulator_options.h"
#include "bluetooth/simulated/virtual_light.h"

namespace lightdeck {

class CentralSession;

class SimulatorWorld {
public:
    using ChangeObserver = std::function<void(const std::string& identifier)>;

    explicit SimulatorWorld(SimulatorOptions options);

    SimulatorWorld(const SimulatorWorld&) = delete;
    SimulatorWorld& operator=(const SimulatorWorld&) = delete;

    std::mutex& mutex() const { return m_mutex; }
    const SimulatorOptions& options() const { return m_options; }

    VirtualLight& addLight(VirtualLightSpec spec);
    std::vector<VirtualLight*> lights() const;
    VirtualLight* findLight(const std::string& identifier) const;
    VirtualLight* findLightLocked(const std::string& identifier) const;
    std::vector<VirtualLight*> lightsLocked() const;

    void addSession(const std::shared_ptr<CentralSession>& session);
    // The live sessions, in order of creation.
    std::vector<std::shared_ptr<CentralSession>> sessionsLocked() const;

    void setPoweredOn(bool on);
    bool poweredOnLocked() const { return m_poweredOn; }

    // Uniform in [low, high], from the seeded generator.
    std::chrono::nanoseconds randomDelayLocked(std::chrono::nanoseconds low, std::chrono::nanoseconds high);
    // True with the given probability (0..1).
    bool chanceLocked(double probability);

    // Bookkeeping for waitIdle: a session counts each task it queues and each
    // one that finished or was discarded.
    void tasksAddedLocked(std::size_t count) { m_pendingTasks += count; }
    void tasksDoneLocked(std::size_t count);
    void waitIdle();

    // A light's advertisement changed: scanning sessions hear it again.
    void advertisementChangedLocked(const VirtualLight& light);
    // A light's name changed: its central is told, scanning sessions hear it.
    void nameChangedLocked(const VirtualLight& light);

    void setObserver(ChangeObserver observer);
    // Calls the observer for each identifier. The mutex must NOT be held.
    void notifyChanged(const std::vector<std::string>& identifiers) const;
    void notifyChanged(const std::string& identifier) const { notifyChanged(std::vector<std::string>{identifier}); }

private:
    std::string makeIdentifierLocked(std::size_t position) const;

    mutable std::mutex m_mutex;
    const SimulatorOptions m_options;
    std::mt19937 m_random;
    bool m_poweredOn = true;
    // unique_ptr: references handed out stay valid as lights are added.
    std::deque<std::unique_ptr<VirtualLight>> m_lights;
    std::vector<std::weak_ptr<CentralSession>> m_sessions;
    ChangeObserver m_observer;
    std::size_t m_pendingTasks = 0;
    std::condition_variable m_idle;
};

// Upper-case UUID text; the 128-bit form of a 16-bit Bluetooth UUID
// ("0000FFF0-0000-1000-8000-00805F9B34FB") becomes its short form ("FFF0").
std::string normalisedUuid(const std::string& uuid);

}  // namespace lightdeck
