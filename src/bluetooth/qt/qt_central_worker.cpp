#include "bluetooth/qt/qt_central_worker.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <utility>

#include "bluetooth/qt/qt_central_error.h"
#include "bluetooth/qt/qt_conversions.h"
#include "bluetooth/qt/qt_light_scanner.h"
#include "bluetooth/qt/qt_light_session.h"
#include "bluetooth/qt/qt_peripheral.h"
#include "common/log.h"

namespace lightdeck {
namespace {

constexpr std::chrono::milliseconds kAdapterPollInterval{2000};
constexpr const char* kPoweredOffText = "Bluetooth adapter powered off";

}  // namespace

QtCentralWorker::QtCentralWorker(CentralDelegate& delegate, std::chrono::milliseconds connectTimeout,
                                 std::shared_ptr<QtCentralStatus> status)
    : m_delegate(delegate)
    , m_connectTimeout(connectTimeout)
    , m_status(std::move(status))
{
}

QtCentralWorker::~QtCentralWorker() = default;

void QtCentralWorker::start()
{
    if (!QCoreApplication::instance()) {
        // Qt's D-Bus layer needs the application object.
        log::warning("Qt central: no QCoreApplication; Bluetooth is unavailable");
        setState(CentralState::Unsupported);
        return;
    }
    findAdapter();
}

void QtCentralWorker::findAdapter()
{
    if (m_stopped || m_localDevice)
        return;
    const QList<QBluetoothHostInfo> adapters = QBluetoothLocalDevice::allDevices();
    if (adapters.isEmpty()) {
        // No adapter (or no bluetoothd) yet: report off and look again later,
        // an adapter can be plugged in or the daemon started.
        setState(CentralState::PoweredOff);
        if (!m_adapterPoll) {
            m_adapterPoll = new QTimer(this);
            connect(m_adapterPoll, &QTimer::timeout, this, &QtCentralWorker::findAdapter);
            m_adapterPoll->start(kAdapterPollInterval);
        }
        return;
    }
    if (m_adapterPoll) {
        m_adapterPoll->deleteLater();
        m_adapterPoll = nullptr;
    }
    m_adapter = adapters.first().address();
    m_localDevice = new QBluetoothLocalDevice(m_adapter, this);
    // Qt's discovery agent can go silent when the adapter loses power in the
    // middle of a scan: the host mode is the reliable signal.
    connect(m_localDevice, &QBluetoothLocalDevice::hostModeStateChanged, this, &QtCentralWorker::onHostMode);
    m_scanner = new QtLightScanner(
        m_adapter,
        [this](const QBluetoothDeviceInfo& info, const AdvertisementData& advertisement) {
            onSighting(info, advertisement);
        },
        [this](const std::string& reason) {
            m_status->scanning = false;
            log::warning("Qt central: scan stopped: " + reason);
        },
        this);
    onHostMode(m_localDevice->hostMode());
}

void QtCentralWorker::setState(CentralState state)
{
    if (m_status->state.exchange(state) == state)
        return;
    m_delegate.centralDidUpdateState(state);
}

void QtCentralWorker::onHostMode(QBluetoothLocalDevice::HostMode mode)
{
    if (m_stopped)
        return;
    const CentralState state =
        mode == QBluetoothLocalDevice::HostPoweredOff ? CentralState::PoweredOff : CentralState::PoweredOn;
    if (state == m_status->state)
        return;
    setState(state);
    if (state != CentralState::PoweredOff)
        return;
    m_scanner->stop();
    m_status->scanning = false;
    std::deque<std::string> queued;
    queued.swap(m_connectQueue);
    for (const std::string& id : queued) {
        Light* light = lightFor(id);
        if (!light)
            continue;
        // A light still closing an earlier link reports that end itself.
        if (!liveSession(*light))
            light->peripheral->setState(PeripheralState::Disconnected);
        m_delegate.didFailToConnectPeripheral(light->peripheral,
                                              makeCentralError(QtCentralErrorCode::PoweredOff, kPoweredOffText));
    }
    for (auto& [id, light] : m_lights) {
        if (QtLightSession* session = liveSession(light))
            session->adapterLost(kPoweredOffText);
    }
}

void QtCentralWorker::scan(const std::vector<std::string>& serviceUuids, const ScanOptions& options)
{
    if (m_stopped || m_status->state != CentralState::PoweredOn || !m_scanner) {
        m_status->scanning = false;
        return;
    }
    std::vector<std::string> filter;
    for (const std::string& uuid : serviceUuids)
        filter.push_back(qtconv::normalizeUuidText(uuid));
    m_status->scanning = true;
    m_scanner->start(std::move(filter), options.allowDuplicates);
    // Qt may have refused at once (adapter gone); the stop handler then ran.
    m_status->scanning = m_scanner->isActive();
}

void QtCentralWorker::stopScan()
{
    if (m_scanner)
        m_scanner->stop();
    m_status->scanning = false;
}

void QtCentralWorker::onSighting(const QBluetoothDeviceInfo& info, const AdvertisementData& advertisement)
{
    const std::string id = qtconv::identifierFor(info);
    Light& light = m_lights[id];
    if (!light.peripheral)
        light.peripheral = std::make_shared<QtPeripheral>(id, m_post);
    light.device = info;
    // A light that advertises no name keeps the one it had.
    const bool renamed = !advertisement.localName.empty() && light.peripheral->setName(advertisement.localName);
    if (renamed && light.peripheral->state() == PeripheralState::Connected)
        m_delegate.didUpdateName(light.peripheral);
    m_delegate.didDiscoverPeripheral(light.peripheral, advertisement, info.rssi());
}

QtCentralWorker::Light* QtCentralWorker::lightFor(const std::string& identifier)
{
    auto it = m_lights.find(identifier);
    return it == m_lights.end() ? nullptr : &it->second;
}

QtCentralWorker::Light* QtCentralWorker::lightFor(const std::shared_ptr<Peripheral>& peripheral)
{
    return peripheral ? lightFor(peripheral->identifier()) : nullptr;
}

QtLightSession* QtCentralWorker::liveSession(const Light& light) const
{
    QtLightSession* session = light.session.data();
    return session && !session->isEnded() ? session : nullptr;
}

void QtCentralWorker::connectPeripheral(const std::shared_ptr<Peripheral>& peripheral)
{
    if (m_stopped)
        return;
    Light* light = lightFor(peripheral);
    if (!light || light->peripheral != peripheral) {
        m_delegate.didFailToConnectPeripheral(
            peripheral, makeCentralError(QtCentralErrorCode::UnknownPeripheral, "light not discovered by this central"));
        return;
    }
    if (m_status->state != CentralState::PoweredOn) {
        light->peripheral->setState(PeripheralState::Disconnected);
        m_delegate.didFailToConnectPeripheral(light->peripheral,
                                              makeCentralError(QtCentralErrorCode::PoweredOff, kPoweredOffText));
        return;
    }
    QtLightSession* session = liveSession(*light);
    if (session && session->isOpen()) {
        // Already connected: confirm again, as the request asks for.
        m_delegate.didConnectPeripheral(light->peripheral);
        return;
    }
    if (session && session->isOpening())
        return;  // the attempt in progress answers this request too
    const std::string& id = light->peripheral->identifier();
    if (std::find(m_connectQueue.begin(), m_connectQueue.end(), id) != m_connectQueue.end())
        return;
    if (!session)
        light->peripheral->setState(PeripheralState::Connecting);
    m_connectQueue.push_back(id);
    startNextConnect();
}

void QtCentralWorker::startNextConnect()
{
    if (m_stopped || (m_opening && m_opening->isOpening()) || m_connectQueue.empty())
        return;
    const std::string id = m_connectQueue.front();
    Light* light = lightFor(id);
    if (light && liveSession(*light))
        return;  // still closing an earlier link; its end restarts the queue
    m_connectQueue.pop_front();
    if (!light) {
        startNextConnect();
        return;
    }
    auto* session = new QtLightSession(light->peripheral, light->device, m_adapter, m_delegate,
                                       m_connectTimeout, this);
    light->session = session;
    m_opening = session;
    // Queued: the session may report from inside open(), and must not be
    // deleted while one of its own methods runs.
    connect(session, &QtLightSession::attemptEnded, this, &QtCentralWorker::startNextConnect,
            Qt::QueuedConnection);
    connect(
        session, &QtLightSession::ended, this,
        [this, session] {
            session->deleteLater();
            startNextConnect();
        },
        Qt::QueuedConnection);
    session->open();
}

void QtCentralWorker::cancelConnection(const std::shared_ptr<Peripheral>& peripheral)
{
    if (m_stopped)
        return;
    Light* light = lightFor(peripheral);
    if (!light || light->peripheral != peripheral)
        return;
    const std::string& id = light->peripheral->identifier();
    auto queued = std::find(m_connectQueue.begin(), m_connectQueue.end(), id);
    if (queued != m_connectQueue.end()) {
        m_connectQueue.erase(queued);
        if (!liveSession(*light)) {
            light->peripheral->setState(PeripheralState::Disconnected);
            m_delegate.didDisconnectPeripheral(light->peripheral, std::nullopt);
            return;
        }
    }
    if (QtLightSession* session = liveSession(*light)) {
        session->close();
        return;
    }
    // Not connected: nothing to end (its disconnection was reported already).
    light->peripheral->compareAndSetState(PeripheralState::Disconnecting, PeripheralState::Disconnected);
}

void QtCentralWorker::discoverServices(const std::string& identifier)
{
    if (Light* light = lightFor(identifier))
        if (QtLightSession* session = liveSession(*light))
            session->discoverServices();
}

void QtCentralWorker::discoverCharacteristics(const std::string& identifier,
                                              const std::shared_ptr<Service>& service)
{
    if (Light* light = lightFor(identifier))
        if (QtLightSession* session = liveSession(*light))
            session->discoverCharacteristics(service);
}

void QtCentralWorker::writeValue(const std::string& identifier, const Bytes& value,
                                 const std::shared_ptr<Characteristic>& characteristic, WriteType type)
{
    if (m_stopped)
        return;
    Light* light = lightFor(identifier);
    if (!light)
        return;
    QtLightSession* session = liveSession(*light);
    if (session && session->isOpen()) {
        session->writeValue(value, characteristic, type);
        return;
    }
    if (type == WriteType::WithResponse)
        m_delegate.didWriteValue(light->peripheral, characteristic,
                                 makeCentralError(QtCentralErrorCode::NotConnected, "not connected"));
}

void QtCentralWorker::setNotifyValue(const std::string& identifier, bool enabled,
                                     const std::shared_ptr<Characteristic>& characteristic)
{
    if (Light* light = lightFor(identifier))
        if (QtLightSession* session = liveSession(*light); session && session->isOpen())
            session->setNotifyValue(enabled, characteristic);
}

void QtCentralWorker::shutdown()
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_scanner)
        m_scanner->stop();
    m_status->scanning = false;
    m_connectQueue.clear();
    for (auto& [id, light] : m_lights) {
        if (QtLightSession* session = liveSession(light))
            session->abandon();
        light.peripheral->setState(PeripheralState::Disconnected);
    }
}

}  // namespace lightdeck
