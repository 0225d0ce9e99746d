#include "bluetooth/qt/qt_peripheral.h"

#include <utility>

#include "bluetooth/qt/qt_central_worker.h"
#include "bluetooth/qt/qt_worker_post.h"

namespace lightdeck {

QtPeripheral::QtPeripheral(std::string identifier, std::shared_ptr<QtWorkerPost> post)
    : m_identifier(std::move(identifier))
    , m_post(std::move(post))
{
}

std::string QtPeripheral::name() const
{
    std::lock_guard lock(m_mutex);
    return m_name;
}

std::vector<std::shared_ptr<Service>> QtPeripheral::services() const
{
    std::lock_guard lock(m_mutex);
    return m_services;
}

void QtPeripheral::discoverServices()
{
    m_post->post([id = m_identifier](QtCentralWorker& worker) { worker.discoverServices(id); });
}

void QtPeripheral::discoverCharacteristics(const std::shared_ptr<Service>& service)
{
    if (!service)
        return;
    m_post->post([id = m_identifier, service](QtCentralWorker& worker) {
        worker.discoverCharacteristics(id, service);
    });
}

void QtPeripheral::writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic,
                              WriteType type)
{
    m_post->post([id = m_identifier, value, characteristic, type](QtCentralWorker& worker) {
        worker.writeValue(id, value, characteristic, type);
    });
}

void QtPeripheral::setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic)
{
    if (!characteristic)
        return;
    m_post->post([id = m_identifier, enabled, characteristic](QtCentralWorker& worker) {
        worker.setNotifyValue(id, enabled, characteristic);
    });
}

bool QtPeripheral::setName(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    if (m_name == name)
        return false;
    m_name = name;
    return true;
}

bool QtPeripheral::compareAndSetState(PeripheralState expected, PeripheralState desired)
{
    return m_state.compare_exchange_strong(expected, desired);
}

void QtPeripheral::setServices(std::vector<std::shared_ptr<Service>> services)
{
    std::lock_guard lock(m_mutex);
    m_services = std::move(services);
}

}  // namespace lightdeck
