#include "bluetooth/simulated/virtual_light.h"

#include <algorithm>

#include "bluetooth/simulated/central_session.h"
#include "bluetooth/simulated/light_firmware.h"
#include "bluetooth/simulated/simulator_world.h"
#include "common/log.h"

namespace lightdeck {

VirtualLight::VirtualLight(SimulatorWorld& world, VirtualLightSpec spec)
    : m_world(world)
    , m_identifier(std::move(spec.identifier))
    , m_name(std::move(spec.name))
    , m_manufacturerData(std::move(spec.manufacturerData))
    , m_advertisesService(spec.advertisesService)
    , m_capabilities(std::move(spec.capabilities))
    , m_output(spec.initialOutput)
{
}

std::string VirtualLight::name() const
{
    std::lock_guard lock(m_world.mutex());
    return m_name;
}

std::optional<Bytes> VirtualLight::manufacturerData() const
{
    std::lock_guard lock(m_world.mutex());
    return m_manufacturerData;
}

bool VirtualLight::advertisesService() const
{
    std::lock_guard lock(m_world.mutex());
    return m_advertisesService;
}

CapabilityProfile VirtualLight::capabilities() const
{
    std::lock_guard lock(m_world.mutex());
    return m_capabilities;
}

AdvertisementData VirtualLight::advertisement() const
{
    std::lock_guard lock(m_world.mutex());
    return advertisementLocked();
}

AdvertisementData VirtualLight::advertisementLocked() const
{
    AdvertisementData advertisement;
    advertisement.manufacturerData = m_manufacturerData;
    if (m_advertisesService)
        advertisement.serviceUuids = {"FFF0"};
    advertisement.localName = m_name;
    return advertisement;
}

std::vector<Bytes> VirtualLight::writes() const
{
    std::lock_guard lock(m_world.mutex());
    return m_writes;
}

std::optional<Bytes> VirtualLight::lastFrame() const
{
    std::lock_guard lock(m_world.mutex());
    if (m_writes.empty())
        return std::nullopt;
    return m_writes.back();
}

void VirtualLight::clearWrites()
{
    {
        std::lock_guard lock(m_world.mutex());
        m_writes.clear();
    }
    m_world.notifyChanged(m_identifier);
}

LightOutput VirtualLight::output() const
{
    std::lock_guard lock(m_world.mutex());
    return m_output;
}

bool VirtualLight::isConnected() const
{
    std::lock_guard lock(m_world.mutex());
    return !m_link.expired();
}

bool VirtualLight::sendReport(Bytes report)
{
    std::shared_ptr<CentralSession> session;  // released after the lock
    bool delivered = false;
    {
        std::lock_guard lock(m_world.mutex());
        session = m_link.lock();
        delivered = session && session->deliverReportLocked(*this, std::move(report));
    }
    if (!delivered)
        log::debug("virtual light " + m_identifier + ": report dropped, no central has discovered its services");
    return delivered;
}

bool VirtualLight::dropConnection()
{
    std::shared_ptr<CentralSession> session;
    bool dropped = false;
    {
        std::lock_guard lock(m_world.mutex());
        session = m_link.lock();
        dropped = session && session->dropConnectionLocked(*this);
    }
    if (dropped)
        m_world.notifyChanged(m_identifier);
    return dropped;
}

void VirtualLight::failNextConnect(int count)
{
    std::lock_guard lock(m_world.mutex());
    m_connectFaults += std::max(count, 0);
}

void VirtualLight::failNextWrite(int count)
{
    std::lock_guard lock(m_world.mutex());
    m_writeFaults += std::max(count, 0);
}

bool VirtualLight::takeConnectFaultLocked()
{
    if (m_connectFaults == 0)
        return false;
    --m_connectFaults;
    return true;
}

void VirtualLight::setName(std::string name)
{
    {
        std::lock_guard lock(m_world.mutex());
        if (m_name == name)
            return;
        m_name = std::move(name);
        m_world.nameChangedLocked(*this);
    }
    m_world.notifyChanged(m_identifier);
}

void VirtualLight::setManufacturerData(std::optional<Bytes> data)
{
    {
        std::lock_guard lock(m_world.mutex());
        m_manufacturerData = std::move(data);
        m_world.advertisementChangedLocked(*this);
    }
    m_world.notifyChanged(m_identifier);
}

void VirtualLight::setAdvertisesService(bool advertises)
{
    {
        std::lock_guard lock(m_world.mutex());
        m_advertisesService = advertises;
        m_world.advertisementChangedLocked(*this);
    }
    m_world.notifyChanged(m_identifier);
}

VirtualLight::WriteResult VirtualLight::receiveWriteLocked(const Bytes& value)
{
    WriteResult result;
    if (m_writeFaults > 0) {
        --m_writeFaults;
        result.failed = true;
        return result;
    }
    m_writes.push_back(value);
    const FrameEffect effect = applyLightValue(m_output, m_capabilities, value);
    if (effect.newName) {
        m_name = *effect.newName;
        result.renamed = true;
    }
    return result;
}

}  // namespace lightdeck
