#pragma once
// Scanning on Qt Bluetooth: a low-energy discovery without a time limit,
// filtered on the advertised services, reporting each light once per scan and
// again whenever its advertisement changes (or every sighting when duplicates
// are allowed). Lives on centralQueue.

#include <QBluetoothAddress>
#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QObject>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bluetooth/central.h"

namespace lightdeck {

class QtLightScanner : public QObject {
    Q_OBJECT
public:
    using SightingHandler = std::function<void(const QBluetoothDeviceInfo&, const AdvertisementData&)>;
    // Called when the scan ends by itself (adapter error); reason for the log.
    using StopHandler = std::function<void(const std::string& reason)>;

    QtLightScanner(QBluetoothAddress adapter, SightingHandler onSighting, StopHandler onStopped,
                   QObject* parent);
    ~QtLightScanner() override;

    // (Re)starts the scan: every light in range is reported anew. The filter
    // holds normalised UUID texts ("FFF0"); empty means every light.
    void start(std::vector<std::string> serviceFilter, bool allowDuplicates);
    // Stops without calling the stop handler.
    void stop();
    bool isActive() const { return m_agent != nullptr; }

private:
    void onDevice(const QBluetoothDeviceInfo& info);
    void onError(QBluetoothDeviceDiscoveryAgent::Error error);
    void onFinished();
    void dropAgent();

    QBluetoothAddress m_adapter;
    SightingHandler m_onSighting;
    StopHandler m_onStopped;
    QBluetoothDeviceDiscoveryAgent* m_agent = nullptr;
    std::vector<std::string> m_filter;
    bool m_allowDuplicates = false;
    // What was last reported in this scan, per identifier.
    std::map<std::string, AdvertisementData> m_reported;
};

}  // namespace lightdeck
