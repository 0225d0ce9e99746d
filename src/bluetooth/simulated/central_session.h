#pragma once
// CentralSession: the working half of a SimulatedCentral, shared by the
// central, its peripherals (weakly), the lights connected to it (weakly) and
// the tasks on its queue. It owns the queue "centralQueue" on which every
// delegate callback runs.
//
// Requests (from any thread) take the world's mutex, check and record what
// they can at once (scanning flag, connecting state) and queue the outcome;
// the queued task checks again, under the mutex, that its connection is still
// the same one (a generation number per peripheral) before it acts, then calls
// the delegate with no lock held. Members ending in "Locked" expect the
// world's mutex held; they are called by the world and the lights.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bluetooth/central.h"
#include "bluetooth/serial_queue.h"
#include "bluetooth/simulated/simulated_peripheral.h"

namespace lightdeck {

class SimulatorWorld;
class VirtualLight;

class CentralSession : public std::enable_shared_from_this<CentralSession> {
public:
    CentralSession(std::shared_ptr<SimulatorWorld> world, CentralDelegate& delegate);
    ~CentralSession();

    CentralSession(const CentralSession&) = delete;
    CentralSession& operator=(const CentralSession&) = delete;

    // Joins the world and queues the first state report.
    void start();
    // Ends every connection, discards queued callbacks and joins the queue.
    // No callback runs after it returns. Must not run on the queue itself.
    void shutdown();

    // Central.
    CentralState state() const;
    void scanForPeripherals(const std::vector<std::string>& serviceUuids, const ScanOptions& options);
    void stopScan();
    bool isScanning() const;
    void connect(const std::shared_ptr<Peripheral>& peripheral);
    void cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral);

    // Peripheral operations.
    void discoverServices(SimulatedPeripheral& peripheral);
    void discoverCharacteristics(SimulatedPeripheral& peripheral, const std::shared_ptr<Service>& service);
    void writeValue(SimulatedPeripheral& peripheral, const Bytes& value,
                    const std::shared_ptr<Characteristic>& characteristic, WriteType type);
    void setNotifyValue(SimulatedPeripheral& peripheral, bool enabled,
                        const std::shared_ptr<Characteristic>& characteristic);

    // From the world and the lights, the world's mutex held.
    bool isQueueThreadLocked() const;
    // The light was added or its advertisement changed.
    void hearLightLocked(const VirtualLight& light);
    // The light took a new name: tell the delegate if it is connected here.
    void lightRenamedLocked(const VirtualLight& light);
    bool deliverReportLocked(const VirtualLight& light, Bytes report);
    bool dropConnectionLocked(VirtualLight& light);
    void powerChangedLocked(bool on, std::vector<std::string>& changedLights);

private:
    // One light as this central knows it.
    struct Link {
        std::shared_ptr<SimulatedPeripheral> peripheral;
        VirtualLight* light = nullptr;
        PeripheralState state = PeripheralState::Disconnected;
        // Bumped by every connect, cancel and loss, so that work queued for
        // an earlier connection recognises itself as stale.
        std::uint64_t generation = 0;
        bool servicesDiscovered = false;
        bool characteristicsDiscovered = false;
        bool notifying = false;
        // Where this link's connection events fall within each connection
        // interval: every link has its own, as on the air.
        std::chrono::nanoseconds eventPhase{0};
    };
    using Clock = std::chrono::steady_clock;
    using Plan = std::vector<std::pair<std::chrono::nanoseconds, std::string>>;

    void postLocked(std::chrono::nanoseconds delay, std::function<void()> task);
    void postAtLocked(Clock::time_point due, std::function<void()> task);
    std::chrono::nanoseconds connectionIntervals(int count) const;
    // The link's next connection event: now, or less than one interval on.
    Clock::time_point nextEvent(const Link& link) const;

    Link* linkLocked(const Peripheral* peripheral);
    Link* linkForLightLocked(const std::string& identifier);
    Link& ensureLinkLocked(VirtualLight& light);
    void setLinkStateLocked(Link& link, PeripheralState state);
    // Back to disconnected: flags reset, services hidden, light released.
    void endConnectionLocked(Link& link, std::vector<std::string>& changedLights);
    // The light's link when it is still connected on that connection.
    Link* connectedLinkLocked(const std::string& identifier, std::uint64_t generation);

    void postStateLocked(CentralState state);
    void scheduleAdvertisementsLocked(std::shared_ptr<const Plan> plan, std::size_t index,
                                      std::chrono::nanoseconds delay, std::uint64_t scanGeneration);
    void reportAdvertisement(std::uint64_t scanGeneration, const std::string& identifier);
    bool passesFilterLocked(const AdvertisementData& advertisement) const;
    void queueReportLocked(Link& link, Bytes report);
    std::optional<CentralError> writeErrorLocked(const Link& link,
                                                 const std::shared_ptr<Characteristic>& characteristic) const;

    void completeConnect(const std::string& identifier, std::uint64_t generation,
                         std::optional<CentralError> failure);
    void completeWrite(const std::string& identifier, std::uint64_t generation, const Bytes& value,
                       const std::shared_ptr<Characteristic>& characteristic, WriteType type);

    const std::shared_ptr<SimulatorWorld> m_world;
    CentralDelegate& m_delegate;

    // All below guarded by the world's mutex.
    std::unique_ptr<SerialQueue> m_queue;
    bool m_closed = false;
    // Tasks queued and not yet finished, for the world's waitIdle.
    std::size_t m_pending = 0;
    // The state last reported to the delegate.
    CentralState m_state = CentralState::Unknown;
    bool m_scanning = false;
    std::uint64_t m_scanGeneration = 0;
    std::vector<std::string> m_filter;
    bool m_allowDuplicates = false;
    // What each light's last report of this scan carried.
    std::map<std::string, AdvertisementData> m_reported;
    std::map<std::string, Link> m_links;
};

}  // namespace lightdeck
