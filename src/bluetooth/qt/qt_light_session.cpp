#include "bluetooth/qt/qt_light_session.h"

#include <QLowEnergyDescriptor>

#include <utility>

#include "bluetooth/qt/qt_central_error.h"
#include "bluetooth/qt/qt_characteristic.h"
#include "bluetooth/qt/qt_conversions.h"
#include "bluetooth/qt/qt_peripheral.h"
#include "bluetooth/qt/qt_service.h"
#include "common/log.h"
#include "common/log_text.h"

namespace lightdeck {
namespace {

CentralError controllerError(QLowEnergyController::Error error, const QString& text)
{
    return CentralError{static_cast<int>(error), text.toStdString()};
}

CentralError serviceError(QLowEnergyService::ServiceError error, const std::string& text)
{
    return CentralError{static_cast<int>(QtCentralErrorCode::ServiceErrorBase) + static_cast<int>(error), text};
}

}  // namespace

QtLightSession::QtLightSession(std::shared_ptr<QtPeripheral> peripheral, const QBluetoothDeviceInfo& device,
                               const QBluetoothAddress& adapter, CentralDelegate& delegate,
                               std::chrono::milliseconds connectTimeout, QObject* parent)
    : QObject(parent)
    , m_peripheral(std::move(peripheral))
    , m_device(device)
    , m_adapter(adapter)
    , m_delegate(delegate)
    , m_connectTimeout(connectTimeout)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &QtLightSession::onTimeout);
}

QtLightSession::~QtLightSession() { teardown(); }

std::string QtLightSession::describe() const
{
    return m_peripheral->identifier() + " (" + escapedForLog(m_peripheral->name()) + ")";
}

void QtLightSession::open()
{
    if (m_phase != Phase::Idle)
        return;
    m_phase = Phase::Opening;
    m_peripheral->setState(PeripheralState::Connecting);
    m_controller = m_adapter.isNull() ? QLowEnergyController::createCentral(m_device, this)
                                      : QLowEnergyController::createCentral(m_device, m_adapter, this);
    connect(m_controller, &QLowEnergyController::connected, this, &QtLightSession::onConnected);
    connect(m_controller, &QLowEnergyController::disconnected, this, &QtLightSession::onDisconnected);
    connect(m_controller, &QLowEnergyController::errorOccurred, this, &QtLightSession::onControllerError);
    connect(m_controller, &QLowEnergyController::discoveryFinished, this,
            &QtLightSession::onServicesDiscovered);
    if (m_connectTimeout.count() > 0)
        m_timer.start(m_connectTimeout);
    log::debug("Qt central: connecting " + describe());
    m_controller->connectToDevice();
}

void QtLightSession::onConnected()
{
    if (m_phase != Phase::Opening)
        return;
    m_timer.stop();
    m_phase = Phase::Open;
    m_peripheral->setState(PeripheralState::Connected);
    m_delegate.didConnectPeripheral(m_peripheral);
    emit attemptEnded();
}

void QtLightSession::onControllerError(QLowEnergyController::Error error)
{
    if (!m_controller)
        return;
    m_lastError = controllerError(error, m_controller->errorString());
    log::warning("Qt central: " + describe() + ": " + m_lastError->message);
    switch (m_phase) {
    case Phase::Opening:
        fail(*m_lastError);
        return;
    case Phase::Open:
        if (m_servicesRequested && !m_servicesDiscovered) {
            m_servicesRequested = false;
            m_delegate.didDiscoverServices(m_peripheral, m_lastError);
        }
        break;
    default:
        break;
    }
    // Qt does not always follow an error on a live link with disconnected().
    if (m_controller && m_controller->state() == QLowEnergyController::UnconnectedState)
        onDisconnected();
}

void QtLightSession::onDisconnected()
{
    switch (m_phase) {
    case Phase::Opening:
        fail(m_lastError.value_or(makeCentralError(QtCentralErrorCode::ConnectionLost,
                                                   "the light dropped the connection attempt")));
        break;
    case Phase::Open:
        endDisconnected(
            m_lastError.value_or(makeCentralError(QtCentralErrorCode::ConnectionLost, "connection lost")));
        break;
    case Phase::Closing:
        endDisconnected(std::nullopt);
        break;
    default:
        break;
    }
}

void QtLightSession::onTimeout()
{
    if (m_phase == Phase::Opening) {
        log::warning("Qt central: " + describe() + ": connection timed out");
        fail(makeCentralError(QtCentralErrorCode::ConnectTimeout, "connection timed out"));
    } else if (m_phase == Phase::Closing) {
        // The light never confirmed; the link is given up all the same.
        endDisconnected(std::nullopt);
    }
}

void QtLightSession::close()
{
    switch (m_phase) {
    case Phase::Opening:
        teardown();
        m_phase = Phase::Ended;
        m_peripheral->setState(PeripheralState::Disconnected);
        m_delegate.didDisconnectPeripheral(m_peripheral, std::nullopt);
        emit attemptEnded();
        emit ended();
        break;
    case Phase::Open:
        m_phase = Phase::Closing;
        m_peripheral->setState(PeripheralState::Disconnecting);
        if (m_connectTimeout.count() > 0)
            m_timer.start(m_connectTimeout);
        m_controller->disconnectFromDevice();
        if (m_phase == Phase::Closing && m_controller
            && m_controller->state() == QLowEnergyController::UnconnectedState)
            endDisconnected(std::nullopt);
        break;
    default:
        break;
    }
}

void QtLightSession::adapterLost(const std::string& reason)
{
    switch (m_phase) {
    case Phase::Opening:
        fail(makeCentralError(QtCentralErrorCode::PoweredOff, reason));
        break;
    case Phase::Open:
        endDisconnected(makeCentralError(QtCentralErrorCode::PoweredOff, reason));
        break;
    case Phase::Closing:
        endDisconnected(std::nullopt);
        break;
    default:
        break;
    }
}

void QtLightSession::abandon()
{
    const bool wasOpening = m_phase == Phase::Opening;
    teardown();
    m_phase = Phase::Ended;
    m_peripheral->setState(PeripheralState::Disconnected);
    if (wasOpening)
        emit attemptEnded();
    emit ended();
}

void QtLightSession::fail(const CentralError& error)
{
    teardown();
    m_phase = Phase::Ended;
    m_peripheral->setState(PeripheralState::Disconnected);
    m_delegate.didFailToConnectPeripheral(m_peripheral, error);
    emit attemptEnded();
    emit ended();
}

void QtLightSession::endDisconnected(const std::optional<CentralError>& error)
{
    failPendingWrites(makeCentralError(QtCentralErrorCode::NotConnected, "disconnected before the light answered"));
    teardown();
    m_phase = Phase::Ended;
    m_peripheral->setState(PeripheralState::Disconnected);
    m_peripheral->setServices({});
    m_delegate.didDisconnectPeripheral(m_peripheral, error);
    emit ended();
}

void QtLightSession::failPendingWrites(const CentralError& error)
{
    for (auto& entry : m_services) {
        while (!entry->pendingWrites.empty()) {
            auto characteristic = entry->pendingWrites.front();
            entry->pendingWrites.pop_front();
            m_delegate.didWriteValue(m_peripheral, characteristic, error);
        }
    }
}

void QtLightSession::teardown()
{
    m_timer.stop();
    for (auto& entry : m_services) {
        disconnect(entry->qt, nullptr, this, nullptr);
        entry->qt->deleteLater();
    }
    m_services.clear();
    if (m_controller) {
        QLowEnergyController* controller = m_controller;
        m_controller = nullptr;
        disconnect(controller, nullptr, this, nullptr);
        if (controller->state() != QLowEnergyController::UnconnectedState)
            controller->disconnectFromDevice();
        controller->deleteLater();
    }
}

void QtLightSession::discoverServices()
{
    if (m_phase != Phase::Open)
        return;
    if (m_servicesDiscovered) {
        m_delegate.didDiscoverServices(m_peripheral, std::nullopt);
        return;
    }
    if (m_servicesRequested)
        return;
    m_servicesRequested = true;
    if (m_controller->state() == QLowEnergyController::DiscoveredState)
        onServicesDiscovered();
    else
        m_controller->discoverServices();
}

void QtLightSession::onServicesDiscovered()
{
    if (m_phase != Phase::Open || m_servicesDiscovered)
        return;
    std::vector<std::shared_ptr<Service>> models;
    for (const QBluetoothUuid& uuid : m_controller->services()) {
        QLowEnergyService* qt = m_controller->createServiceObject(uuid, this);
        if (!qt)
            continue;
        auto entry = std::make_unique<ServiceEntry>();
        entry->qt = qt;
        entry->model = std::make_shared<QtService>(qtconv::uuidText(uuid));
        ServiceEntry* raw = entry.get();
        connect(qt, &QLowEnergyService::stateChanged, this,
                [this, raw](QLowEnergyService::ServiceState state) { onServiceState(raw, state); });
        connect(qt, &QLowEnergyService::errorOccurred, this,
                [this, raw](QLowEnergyService::ServiceError error) { onServiceError(raw, error); });
        connect(qt, &QLowEnergyService::characteristicWritten, this,
                [this, raw](const QLowEnergyCharacteristic& c, const QByteArray&) { onWritten(raw, c); });
        connect(qt, &QLowEnergyService::characteristicChanged, this,
                [this, raw](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                    onChanged(raw, c, value);
                });
        connect(qt, &QLowEnergyService::descriptorWritten, this,
                [this](const QLowEnergyDescriptor& d, const QByteArray& value) {
                    log::debug("Qt central: " + describe() + ": descriptor " + qtconv::uuidText(d.uuid())
                               + " written " + toSpacedHex(qtconv::toBytes(value)));
                });
        models.push_back(entry->model);
        m_services.push_back(std::move(entry));
    }
    m_servicesDiscovered = true;
    m_servicesRequested = false;
    m_peripheral->setServices(std::move(models));
    m_delegate.didDiscoverServices(m_peripheral, std::nullopt);
}

QtLightSession::ServiceEntry* QtLightSession::entryForService(const std::string& uuid)
{
    const std::string wanted = qtconv::normalizeUuidText(uuid);
    for (auto& entry : m_services)
        if (entry->model->uuid() == wanted)
            return entry.get();
    return nullptr;
}

void QtLightSession::discoverCharacteristics(const std::shared_ptr<Service>& service)
{
    if (m_phase != Phase::Open)
        return;
    ServiceEntry* entry = entryForService(service->uuid());
    if (!entry) {
        m_delegate.didDiscoverCharacteristics(
            m_peripheral, service,
            makeCentralError(QtCentralErrorCode::UnknownAttribute, "no service " + service->uuid()));
        return;
    }
    if (entry->qt->state() == QLowEnergyService::RemoteServiceDiscovered) {
        publishCharacteristics(*entry);
        m_delegate.didDiscoverCharacteristics(m_peripheral, entry->model, std::nullopt);
        return;
    }
    if (entry->detailsRequested)
        return;
    entry->detailsRequested = true;
    if (entry->qt->state() != QLowEnergyService::RemoteServiceDiscovering)
        entry->qt->discoverDetails();
}

void QtLightSession::onServiceState(ServiceEntry* entry, QLowEnergyService::ServiceState state)
{
    if (m_phase != Phase::Open || !entry->detailsRequested)
        return;
    if (state == QLowEnergyService::RemoteServiceDiscovered) {
        entry->detailsRequested = false;
        publishCharacteristics(*entry);
        m_delegate.didDiscoverCharacteristics(m_peripheral, entry->model, std::nullopt);
    } else if (state == QLowEnergyService::RemoteService) {
        // Qt falls back to this state when the discovery failed.
        entry->detailsRequested = false;
        m_delegate.didDiscoverCharacteristics(
            m_peripheral, entry->model,
            makeCentralError(QtCentralErrorCode::DiscoveryFailed, "characteristic discovery failed"));
    }
}

void QtLightSession::publishCharacteristics(ServiceEntry& entry)
{
    std::vector<std::shared_ptr<Characteristic>> characteristics;
    for (const QLowEnergyCharacteristic& c : entry.qt->characteristics()) {
        auto model = std::make_shared<QtCharacteristic>(qtconv::uuidText(c.uuid()), entry.model->uuid());
        // Qt reads readable values during discovery; keep them as the
        // characteristic's value.
        if (!c.value().isEmpty())
            model->setValue(qtconv::toBytes(c.value()));
        characteristics.push_back(std::move(model));
    }
    entry.model->setCharacteristics(std::move(characteristics));
}

std::pair<QtLightSession::ServiceEntry*, QLowEnergyCharacteristic>
QtLightSession::find(const Characteristic& characteristic)
{
    const QBluetoothUuid uuid = qtconv::uuidFromText(characteristic.uuid());
    const auto* ours = dynamic_cast<const QtCharacteristic*>(&characteristic);
    for (auto& entry : m_services) {
        if (ours && entry->model->uuid() != ours->serviceUuid())
            continue;
        if (entry->qt->state() != QLowEnergyService::RemoteServiceDiscovered)
            continue;
        const QLowEnergyCharacteristic c = entry->qt->characteristic(uuid);
        if (c.isValid())
            return {entry.get(), c};
    }
    return {nullptr, QLowEnergyCharacteristic()};
}

void QtLightSession::writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic,
                                WriteType type)
{
    const bool withResponse = type == WriteType::WithResponse;
    auto [entry, qtCharacteristic] = characteristic && m_phase == Phase::Open
        ? find(*characteristic)
        : std::pair<ServiceEntry*, QLowEnergyCharacteristic>{nullptr, {}};
    if (!entry) {
        if (withResponse) {
            m_delegate.didWriteValue(
                m_peripheral, characteristic,
                m_phase == Phase::Open
                    ? makeCentralError(QtCentralErrorCode::UnknownAttribute, "no such characteristic")
                    : makeCentralError(QtCentralErrorCode::NotConnected, "not connected"));
        }
        return;
    }
    if (withResponse)
        entry->pendingWrites.push_back(characteristic);
    m_writingEntry = entry;
    entry->qt->writeCharacteristic(qtCharacteristic, qtconv::toByteArray(value),
                                   withResponse ? QLowEnergyService::WriteWithResponse
                                                : QLowEnergyService::WriteWithoutResponse);
    m_writingEntry = nullptr;
}

void QtLightSession::onWritten(ServiceEntry* entry, const QLowEnergyCharacteristic& characteristic)
{
    if (entry->pendingWrites.empty())
        return;  // a write without response
    // Qt answers writes in order; match on the UUID all the same.
    const std::string uuid = qtconv::uuidText(characteristic.uuid());
    auto it = entry->pendingWrites.begin();
    while (it != entry->pendingWrites.end() && qtconv::normalizeUuidText((*it)->uuid()) != uuid)
        ++it;
    if (it == entry->pendingWrites.end())
        it = entry->pendingWrites.begin();
    auto written = *it;
    entry->pendingWrites.erase(it);
    m_delegate.didWriteValue(m_peripheral, written, std::nullopt);
}

void QtLightSession::onServiceError(ServiceEntry* entry, QLowEnergyService::ServiceError error)
{
    switch (error) {
    case QLowEnergyService::CharacteristicWriteError:
    case QLowEnergyService::OperationError:
        if (entry->pendingWrites.empty())
            break;
        {
            // A refusal from inside writeCharacteristic concerns the write
            // just queued; a later error the oldest one in flight.
            const bool refused = m_writingEntry == entry;
            auto failed = refused ? entry->pendingWrites.back() : entry->pendingWrites.front();
            if (refused)
                entry->pendingWrites.pop_back();
            else
                entry->pendingWrites.pop_front();
            log::warning("Qt central: " + describe() + ": write to " + failed->uuid() + " failed");
            m_delegate.didWriteValue(m_peripheral, failed, serviceError(error, "write failed"));
        }
        return;
    case QLowEnergyService::DescriptorWriteError:
        log::warning("Qt central: " + describe() + ": notifications of service " + entry->model->uuid()
                     + " could not be switched");
        return;
    default:
        break;
    }
    log::warning("Qt central: " + describe() + ": service " + entry->model->uuid() + " error "
                 + std::to_string(static_cast<int>(error)));
}

void QtLightSession::onChanged(ServiceEntry* entry, const QLowEnergyCharacteristic& characteristic,
                               const QByteArray& value)
{
    const std::string uuid = qtconv::uuidText(characteristic.uuid());
    for (const auto& c : entry->model->characteristics()) {
        if (c->uuid() != uuid)
            continue;
        if (auto* ours = dynamic_cast<QtCharacteristic*>(c.get()))
            ours->setValue(qtconv::toBytes(value));
        m_delegate.didUpdateValue(m_peripheral, c, std::nullopt);
        return;
    }
}

void QtLightSession::setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic)
{
    if (m_phase != Phase::Open)
        return;
    auto [entry, qtCharacteristic] = find(*characteristic);
    if (!entry) {
        log::warning("Qt central: " + describe() + ": no characteristic " + characteristic->uuid()
                     + " to subscribe to");
        return;
    }
    // Notifications are switched through the client configuration
    // descriptor (2902); Qt's BlueZ backend turns that write into
    // StartNotify/StopNotify.
    const QLowEnergyDescriptor config = qtCharacteristic.descriptor(
        QBluetoothUuid(QBluetoothUuid::DescriptorType::ClientCharacteristicConfiguration));
    if (!config.isValid()) {
        log::warning("Qt central: " + describe() + ": characteristic " + characteristic->uuid()
                     + " has no client configuration descriptor");
        return;
    }
    QByteArray value = QByteArray::fromHex("0000");
    if (enabled) {
        const bool indicateOnly = !(qtCharacteristic.properties() & QLowEnergyCharacteristic::Notify)
            && (qtCharacteristic.properties() & QLowEnergyCharacteristic::Indicate);
        value = QByteArray::fromHex(indicateOnly ? "0200" : "0100");
    }
    entry->qt->writeDescriptor(config, value);
}

}  // namespace lightdeck
