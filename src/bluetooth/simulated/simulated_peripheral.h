#pragma once
// One virtual light as one SimulatedCentral sees it. The central makes one per
// light and hands out the same object every time. Its GATT objects are made
// once and reused across connections, so a characteristic kept from an
// earlier connection still addresses the light after it reconnects.
// Operations go to the central's session; once the central is gone they do
// nothing.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bluetooth/central.h"
#include "bluetooth/simulated/simulated_characteristic.h"
#include "bluetooth/simulated/simulated_service.h"

namespace lightdeck {

class CentralSession;

class SimulatedPeripheral final : public Peripheral {
public:
    SimulatedPeripheral(std::string identifier, std::weak_ptr<CentralSession> session);

    std::string identifier() const override { return m_identifier; }
    std::string name() const override;
    PeripheralState state() const override;
    std::vector<std::shared_ptr<Service>> services() const override;

    void discoverServices() override;
    void discoverCharacteristics(const std::shared_ptr<Service>& service) override;
    void writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic,
                    WriteType type) override;
    void setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic) override;

    // For the session.
    void setName(std::string name);
    void setState(PeripheralState state);
    void setServicesVisible(bool visible);
    const std::shared_ptr<SimulatedService>& service() const { return m_service; }
    const std::shared_ptr<SimulatedCharacteristic>& commandCharacteristic() const { return m_command; }
    const std::shared_ptr<SimulatedCharacteristic>& reportCharacteristic() const { return m_report; }

private:
    const std::string m_identifier;
    const std::weak_ptr<CentralSession> m_session;
    const std::shared_ptr<SimulatedCharacteristic> m_command;  // FFF1, write
    const std::shared_ptr<SimulatedCharacteristic> m_report;   // FFF2, notify
    const std::shared_ptr<SimulatedService> m_service;         // FFF0

    mutable std::mutex m_mutex;
    std::string m_name;
    PeripheralState m_state = PeripheralState::Disconnected;
    bool m_servicesVisible = false;
};

}  // namespace lightdeck
