#pragma once
// The Qt central's inside: lives on the "centralQueue" thread and owns every
// Qt Bluetooth object there -- the local adapter (power state), the scanner,
// one session per connected light -- and the registry of lights seen. Every
// method runs on centralQueue (posted by QtBluetoothCentral and QtPeripheral
// through QtWorkerPost); every delegate callback is made from here.
//
// Connection attempts are serialised: BlueZ refuses a second Connect while one
// is in progress, so requests wait in a queue and start one at a time.

#include <QBluetoothAddress>
#include <QBluetoothDeviceInfo>
#include <QBluetoothLocalDevice>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bluetooth/central.h"

class QTimer;

namespace lightdeck {

class QtLightScanner;
class QtLightSession;
class QtPeripheral;
class QtWorkerPost;

// What the central's getters read from any thread; written on centralQueue
// (and optimistically by the central when it posts a request).
struct QtCentralStatus {
    std::atomic<CentralState> state{CentralState::Unknown};
    std::atomic<bool> scanning{false};
};

class QtCentralWorker : public QObject {
    Q_OBJECT
public:
    QtCentralWorker(CentralDelegate& delegate, std::chrono::milliseconds connectTimeout,
                    std::shared_ptr<QtCentralStatus> status);
    ~QtCentralWorker() override;

    // Before the thread starts: the handle the peripherals post through.
    void setPost(std::shared_ptr<QtWorkerPost> post) { m_post = std::move(post); }

    // Finds the adapter and reports the first state.
    void start();
    // Ends every link and the scan without a callback; nothing runs after.
    void shutdown();

    void scan(const std::vector<std::string>& serviceUuids, const ScanOptions& options);
    void stopScan();
    void connectPeripheral(const std::shared_ptr<Peripheral>& peripheral);
    void cancelConnection(const std::shared_ptr<Peripheral>& peripheral);
    void discoverServices(const std::string& identifier);
    void discoverCharacteristics(const std::string& identifier, const std::shared_ptr<Service>& service);
    void writeValue(const std::string& identifier, const Bytes& value,
                    const std::shared_ptr<Characteristic>& characteristic, WriteType type);
    void setNotifyValue(const std::string& identifier, bool enabled,
                        const std::shared_ptr<Characteristic>& characteristic);

private:
    struct Light {
        std::shared_ptr<QtPeripheral> peripheral;
        QBluetoothDeviceInfo device;
        QPointer<QtLightSession> session;
    };

    void findAdapter();
    void onHostMode(QBluetoothLocalDevice::HostMode mode);
    void setState(CentralState state);
    void onSighting(const QBluetoothDeviceInfo& info, const AdvertisementData& advertisement);
    void startNextConnect();
    // The light's live session, or null (none, or over).
    QtLightSession* liveSession(const Light& light) const;
    Light* lightFor(const std::shared_ptr<Peripheral>& peripheral);
    Light* lightFor(const std::string& identifier);

    CentralDelegate& m_delegate;
    const std::chrono::milliseconds m_connectTimeout;
    const std::shared_ptr<QtCentralStatus> m_status;
    std::shared_ptr<QtWorkerPost> m_post;
    bool m_stopped = false;

    QBluetoothAddress m_adapter;
    QBluetoothLocalDevice* m_localDevice = nullptr;
    QtLightScanner* m_scanner = nullptr;
    // Looks for an adapter again while there is none.
    QTimer* m_adapterPoll = nullptr;

    std::map<std::string, Light> m_lights;
    std::deque<std::string> m_connectQueue;
    QPointer<QtLightSession> m_opening;
};

}  // namespace lightdeck
