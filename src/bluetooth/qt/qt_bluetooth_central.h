#pragma once
// The Central on Qt Bluetooth (BlueZ over D-Bus on Linux).
//
// A QThread named "centralQueue" owns every Qt Bluetooth object (through
// QtCentralWorker, which lives there). Calls from any thread are posted to it
// with queued invocations; every callback is made there, one at a time. The
// destructor stops the thread; when the QCoreApplication goes away first, the
// central stops then (Qt's D-Bus layer does not survive it), and later calls
// are ignored.
//
// Peripheral identifiers: see qtconv::identifierFor (the Bluetooth address in
// UUID-shaped text on Linux). Error codes: see qt_central_error.h.

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "bluetooth/central.h"

class QThread;

namespace lightdeck {

class QtCentralWorker;
class QtWorkerPost;
struct QtCentralStatus;

class QtBluetoothCentral final : public Central {
public:
    // connectTimeout: how long a connection attempt may take (zero or less:
    // no limit).
    QtBluetoothCentral(CentralDelegate& delegate, std::chrono::milliseconds connectTimeout);
    ~QtBluetoothCentral() override;

    QtBluetoothCentral(const QtBluetoothCentral&) = delete;
    QtBluetoothCentral& operator=(const QtBluetoothCentral&) = delete;

    CentralState state() const override;
    void scanForPeripherals(const std::vector<std::string>& serviceUuids, const ScanOptions& options) override;
    void stopScan() override;
    bool isScanning() const override;
    void connect(const std::shared_ptr<Peripheral>& peripheral) override;
    void cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral) override;

    // Ends every link quietly and stops the thread; no callback runs after it
    // returns. Idempotent. Must not be called from a callback.
    void shutdown();

private:
    std::shared_ptr<QtCentralStatus> m_status;
    std::unique_ptr<QThread> m_thread;
    QtCentralWorker* m_worker = nullptr;
    std::shared_ptr<QtWorkerPost> m_post;
    std::mutex m_shutdownMutex;
    bool m_shutDown = false;
};

}  // namespace lightdeck
