#include "bluetooth/simulated/simulated_peripheral.h"

#include "bluetooth/simulated/central_session.h"

namespace lightdeck {

SimulatedPeripheral::SimulatedPeripheral(std::string identifier, std::weak_ptr<CentralSession> session)
    : m_identifier(std::move(identifier))
    , m_session(std::move(session))
    , m_command(std::make_shared<SimulatedCharacteristic>("FFF1"))
    , m_report(std::make_shared<SimulatedCharacteristic>("FFF2"))
    , m_service(std::make_shared<SimulatedService>(
          "FFF0", std::vector<std::shared_ptr<SimulatedCharacteristic>>{m_command, m_report}))
{
}

std::string SimulatedPeripheral::name() const
{
    std::lock_guard lock(m_mutex);
    return m_name;
}

PeripheralState SimulatedPeripheral::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::vector<std::shared_ptr<Service>> SimulatedPeripheral::services() const
{
    std::lock_guard lock(m_mutex);
    if (!m_servicesVisible)
        return {};
    return {m_service};
}

void SimulatedPeripheral::discoverServices()
{
    if (auto session = m_session.lock())
        session->discoverServices(*this);
}

void SimulatedPeripheral::discoverCharacteristics(const std::shared_ptr<Service>& service)
{
    if (auto session = m_session.lock())
        session->discoverCharacteristics(*this, service);
}

void SimulatedPeripheral::writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic,
                                     WriteType type)
{
    if (auto session = m_session.lock())
        session->writeValue(*this, value, characteristic, type);
}

void SimulatedPeripheral::setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic)
{
    if (auto session = m_session.lock())
        session->setNotifyValue(*this, enabled, characteristic);
}

void SimulatedPeripheral::setName(std::string name)
{
    std::lock_guard lock(m_mutex);
    m_name = std::move(name);
}

void SimulatedPeripheral::setState(PeripheralState state)
{
    std::lock_guard lock(m_mutex);
    m_state = state;
}

void SimulatedPeripheral::setServicesVisible(bool visible)
{
    {
        std::lock_guard lock(m_mutex);
        m_servicesVisible = visible;
    }
    if (!visible)
        m_service->setDiscovered(false);
}

}  // namespace lightdeck
