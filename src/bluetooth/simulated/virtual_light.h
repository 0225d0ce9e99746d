#pragma once
// VirtualLight: one simulated light of a LightSimulator. It advertises the
// service FFF0 with its manufacturer data and name, accepts one connection at
// a time, applies every value written to FFF1 as the real light does, keeps
// the list of those values, and sends reports on FFF2.
//
// Threads: every member may be called from any thread. Changes made by a
// central (frames, connection state) happen on that central's queue.
// Lifetime: made and owned by LightSimulator::addLight; a reference stays
// valid as long as the simulator, or any central it made, exists.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bluetooth/central.h"
#include "bluetooth/simulated/capability_profile.h"
#include "bluetooth/simulated/light_output.h"
#include "protocol/bytes.h"

namespace lightdeck {

class CentralSession;
class SimulatorWorld;

struct VirtualLightSpec {
    // Upper-case UUID text; made from the simulator's seed and the light's
    // position when empty. Lower-case text is upper-cased.
    std::string identifier{};
    // The advertised and GATT name; empty: the light reports none.
    std::string name{};
    // Company id (low byte first) and payload; absent: the advertisement has
    // no manufacturer data at all.
    std::optional<Bytes> manufacturerData = Bytes{0x4C, 0x4D, 0x01, 0x00};
    // Whether FFF0 is in the advertisement. A light without it is found only
    // by a scan without a service filter.
    bool advertisesService = true;
    CapabilityProfile capabilities{};
    // What the light shows before its first frame.
    LightOutput initialOutput{};
};

class VirtualLight {
public:
    // Made by LightSimulator::addLight.
    VirtualLight(SimulatorWorld& world, VirtualLightSpec spec);

    VirtualLight(const VirtualLight&) = delete;
    VirtualLight& operator=(const VirtualLight&) = delete;

    const std::string& identifier() const { return m_identifier; }
    std::string name() const;
    std::optional<Bytes> manufacturerData() const;
    bool advertisesService() const;
    CapabilityProfile capabilities() const;
    // What a scanning central receives from this light now.
    AdvertisementData advertisement() const;

    // Every value written to FFF1 and accepted, in order of arrival, whether
    // or not it was a valid frame. Failed writes are not in it.
    std::vector<Bytes> writes() const;
    // The last value of writes(); absent before the first.
    std::optional<Bytes> lastFrame() const;
    void clearWrites();
    LightOutput output() const;
    // Connected to some central (a connection attempt in progress does not
    // count).
    bool isConnected() const;

    // A value update of FFF2 to the connected central. Delivered (true) only
    // while a central is connected and has discovered the light's services;
    // otherwise dropped, logged, false.
    bool sendReport(Bytes report);
    // The light ends the link: the central receives didDisconnectPeripheral
    // with an error. False when it was not connected.
    bool dropConnection();

    // Fault injection. The next `count` connection attempts fail
    // (didFailToConnectPeripheral with an error); the next `count` writes fail
    // (didWriteValue with an error; the value is not applied nor recorded).
    void failNextConnect(int count = 1);
    void failNextWrite(int count = 1);

    // Changes made at the light itself (not over the radio). A scanning
    // central hears the changed advertisement.
    void setName(std::string name);
    void setManufacturerData(std::optional<Bytes> data);
    void setAdvertisesService(bool advertises);

private:
    friend class CentralSession;
    friend class SimulatorWorld;

    // What a write did; filled with the world's mutex held.
    struct WriteResult {
        bool failed = false;
        bool renamed = false;
    };

    // All below: the world's mutex is held by the caller.
    AdvertisementData advertisementLocked() const;
    WriteResult receiveWriteLocked(const Bytes& value);
    std::shared_ptr<CentralSession> linkLocked() const { return m_link.lock(); }
    void setLinkLocked(std::weak_ptr<CentralSession> link) { m_link = std::move(link); }
    bool takeConnectFaultLocked();

    SimulatorWorld& m_world;
    const std::string m_identifier;
    // Guarded by the world's mutex.
    std::string m_name;
    std::optional<Bytes> m_manufacturerData;
    bool m_advertisesService = true;
    CapabilityProfile m_capabilities;
    LightOutput m_output;
    std::vector<Bytes> m_writes;
    // The central this light is connected to; empty when none.
    std::weak_ptr<CentralSession> m_link;
    int m_connectFaults = 0;
    int m_writeFaults = 0;
};

}  // namespace lightdeck
