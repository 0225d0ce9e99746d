#pragma once
// One light's connection on Qt Bluetooth, from the connection attempt to the
// disconnection: its QLowEnergyController, its services, pending writes and
// notifications. Lives on centralQueue and calls the delegate there.
//
// A session reports exactly one of: didConnectPeripheral (then, later,
// exactly one didDisconnectPeripheral), didFailToConnectPeripheral, or -- when
// cancelled while connecting -- didDisconnectPeripheral without error. After
// that it is over (isEnded) and emits ended(); the central deletes it. Every
// write with response gets one didWriteValue, with an error when the link
// went before the light answered.

#include <QBluetoothAddress>
#include <QBluetoothDeviceInfo>
#include <QLowEnergyCharacteristic>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bluetooth/central.h"

namespace lightdeck {

class QtPeripheral;
class QtService;

class QtLightSession : public QObject {
    Q_OBJECT
public:
    // connectTimeout: how long the attempt may take until the light's
    // services are resolved; zero or less waits for ever (Qt's D-Bus backend
    // has no limit of its own).
    QtLightSession(std::shared_ptr<QtPeripheral> peripheral, const QBluetoothDeviceInfo& device,
                   const QBluetoothAddress& adapter, CentralDelegate& delegate,
                   std::chrono::milliseconds connectTimeout, QObject* parent);
    ~QtLightSession() override;

    void open();
    // cancelPeripheralConnection: ends the link, or the attempt.
    void close();
    // The adapter went off: the session ends now, with an error.
    void adapterLost(const std::string& reason);
    // The central is stopping: ends the link without any callback.
    void abandon();

    bool isOpening() const { return m_phase == Phase::Opening; }
    bool isOpen() const { return m_phase == Phase::Open; }
    bool isEnded() const { return m_phase == Phase::Ended; }

    void discoverServices();
    void discoverCharacteristics(const std::shared_ptr<Service>& service);
    void writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic,
                    WriteType type);
    void setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic);

signals:
    // The connection attempt is over (connected or not): the central may
    // start the next one.
    void attemptEnded();
    // The session is over.
    void ended();

private:
    enum class Phase { Idle, Opening, Open, Closing, Ended };

    struct ServiceEntry {
        QLowEnergyService* qt = nullptr;
        std::shared_ptr<QtService> model;
        // Writes with response waiting for the light's answer, oldest first.
        std::deque<std::shared_ptr<Characteristic>> pendingWrites;
        bool detailsRequested = false;
    };

    void onConnected();
    void onDisconnected();
    void onControllerError(QLowEnergyController::Error error);
    void onServicesDiscovered();
    void onTimeout();
    void onServiceState(ServiceEntry* entry, QLowEnergyService::ServiceState state);
    void onServiceError(ServiceEntry* entry, QLowEnergyService::ServiceError error);
    void onWritten(ServiceEntry* entry, const QLowEnergyCharacteristic& characteristic);
    void onChanged(ServiceEntry* entry, const QLowEnergyCharacteristic& characteristic,
                   const QByteArray& value);

    void fail(const CentralError& error);
    void endDisconnected(const std::optional<CentralError>& error);
    // Fails every write still waiting for an answer.
    void failPendingWrites(const CentralError& error);
    void teardown();
    void publishCharacteristics(ServiceEntry& entry);
    ServiceEntry* entryForService(const std::string& uuid);
    // The service and Qt characteristic a characteristic of ours stands for;
    // entry null when there is none (or its service is not discovered).
    std::pair<ServiceEntry*, QLowEnergyCharacteristic> find(const Characteristic& characteristic);
    std::string describe() const;

    std::shared_ptr<QtPeripheral> m_peripheral;
    QBluetoothDeviceInfo m_device;
    QBluetoothAddress m_adapter;
    CentralDelegate& m_delegate;
    std::chrono::milliseconds m_connectTimeout{0};
    Phase m_phase = Phase::Idle;
    QLowEnergyController* m_controller = nullptr;
    QTimer m_timer;
    std::vector<std::unique_ptr<ServiceEntry>> m_services;
    bool m_servicesRequested = false;
    bool m_servicesDiscovered = false;
    // The last error Qt reported on the link; the reason a drop is given.
    std::optional<CentralError> m_lastError;
    // Set while writeCharacteristic runs: Qt reports some refusals from
    // inside the call.
    ServiceEntry* m_writingEntry = nullptr;
};

}  // namespace lightdeck
