#include "bluetooth/qt/qt_light_scanner.h"

#include <utility>

#include "bluetooth/qt/qt_conversions.h"
#include "common/log.h"

namespace lightdeck {

QtLightScanner::QtLightScanner(QBluetoothAddress adapter, SightingHandler onSighting,
                               StopHandler onStopped, QObject* parent)
    : QObject(parent)
    , m_adapter(adapter)
    , m_onSighting(std::move(onSighting))
    , m_onStopped(std::move(onStopped))
{
}

QtLightScanner::~QtLightScanner() { dropAgent(); }

void QtLightScanner::start(std::vector<std::string> serviceFilter, bool allowDuplicates)
{
    // A fresh agent per scan: Qt then reads BlueZ's known devices again, so a
    // light that stays in range is reported in every scan.
    dropAgent();
    m_filter = std::move(serviceFilter);
    m_allowDuplicates = allowDuplicates;
    m_reported.clear();

    auto* agent = new QBluetoothDeviceDiscoveryAgent(m_adapter, this);
    // No time limit: the scan runs until stopped (Qt's default ends LE
    // discovery after 40 s).
    agent->setLowEnergyDiscoveryTimeout(0);
    // Connected before start(): Qt reports some errors (no adapter, powered
    // off) from inside start().
    connect(agent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, this, &QtLightScanner::onDevice);
    connect(agent, &QBluetoothDeviceDiscoveryAgent::deviceUpdated, this,
            [this](const QBluetoothDeviceInfo& info, QBluetoothDeviceInfo::Fields) { onDevice(info); });
    connect(agent, &QBluetoothDeviceDiscoveryAgent::errorOccurred, this, &QtLightScanner::onError);
    connect(agent, &QBluetoothDeviceDiscoveryAgent::finished, this, &QtLightScanner::onFinished);
    m_agent = agent;
    agent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
}

void QtLightScanner::stop() { dropAgent(); }

void QtLightScanner::dropAgent()
{
    if (!m_agent)
        return;
    QBluetoothDeviceDiscoveryAgent* agent = m_agent;
    m_agent = nullptr;
    disconnect(agent, nullptr, this, nullptr);
    if (agent->isActive())
        agent->stop();
    // Later: this may run inside one of the agent's own signals.
    agent->deleteLater();
}

void QtLightScanner::onDevice(const QBluetoothDeviceInfo& info)
{
    if (!m_agent)
        return;
    AdvertisementData advertisement = qtconv::advertisementOf(info);
    if (!qtconv::matchesServiceFilter(advertisement, m_filter))
        return;
    const std::string id = qtconv::identifierFor(info);
    auto it = m_reported.find(id);
    const bool changed = it == m_reported.end() || !qtconv::sameAdvertisement(it->second, advertisement);
    if (!changed && !m_allowDuplicates)
        return;
    m_reported[id] = advertisement;
    m_onSighting(info, advertisement);
}

void QtLightScanner::onError(QBluetoothDeviceDiscoveryAgent::Error error)
{
    if (!m_agent)
        return;
    const std::string reason = "discovery error " + std::to_string(static_cast<int>(error)) + ": "
        + m_agent->errorString().toStdString();
    dropAgent();
    m_onStopped(reason);
}

void QtLightScanner::onFinished()
{
    if (!m_agent)
        return;
    // Without a time limit this means BlueZ ended the discovery (adapter
    // reset, another process).
    dropAgent();
    m_onStopped("discovery ended by the adapter");
}

}  // namespace lightdeck
