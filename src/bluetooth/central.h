#pragma once
// The central-stack interface: everything the Bluetooth manager (OxBlueTooth)
// needs from a Bluetooth Low Energy central, and nothing more.
//
// Two implementations exist: SimulatedCentral (bluetooth/simulated/, a
// neighbourhood of virtual lights, the default where no adapter is present and
// the peer of every test) and QtBluetoothCentral (bluetooth/qt/, BlueZ through
// Qt Bluetooth). A CentralFactory picks one; nothing else in the program knows
// which one runs.
//
// Contract for implementers
// -------------------------
// Threads.
//   * Every CentralDelegate callback is delivered on ONE thread owned by the
//     central, named "centralQueue", one callback at a time, never on the
//     caller's thread and never re-entrantly from inside a Central or
//     Peripheral call. Treat callbacks like interrupt handlers: the delegate may
//     block the queue (the manager does, for 3 s after a rename), so the
//     central must not rely on callbacks returning quickly.
//   * Every Central and Peripheral operation may be called from any thread
//     (in practice the main thread and centralQueue itself). Operations only
//     request work: they return at once and their outcome arrives later as a
//     callback.
//   * Peripheral getters (identifier, name, state, services) are thread-safe
//     and return the latest known value.
// Lifetime.
//   * The delegate outlives the central. The central's destructor stops its
//     queue: after it returns no callback runs. Destroying a central from
//     inside one of its own callbacks is not allowed.
//   * Peripherals, services and characteristics are shared_ptr: they stay
//     valid (if inert) after their central is gone. The same light always
//     comes back as the same Peripheral object from one central.
// Identifiers.
//   * Peripheral::identifier() is stable for the life of the central and is
//     upper-case UUID text ("0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E79E").
//   * Service and characteristic UUIDs are upper-case text; 16-bit UUIDs are
//     given in their short form ("FFF0", "FFF1", "FFF2").

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/bytes.h"

namespace lightdeck {

// Power state of the central. Only PoweredOn (5) allows scanning and
// connecting; the numbers follow the values the manager was written against.
enum class CentralState : int {
    Unknown = 0,
    Resetting = 1,
    Unsupported = 2,
    Unauthorized = 3,
    PoweredOff = 4,
    PoweredOn = 5,
};

// Connection state of one peripheral; screens show it on each row.
enum class PeripheralState : int {
    Disconnected = 0,
    Connecting = 1,
    Connected = 2,
    Disconnecting = 3,
};

// An error carried by a callback. The code is the implementation's own
// (a Qt Bluetooth error number, or a simulated fault's number); the message is
// meant for the log.
struct CentralError {
    int code = 0;
    std::string message;
};

// What a light put in its advertisement.
struct AdvertisementData {
    // Raw manufacturer-specific data as on the air: company id low byte, high
    // byte, then the payload. Absent when the advertisement had none.
    std::optional<Bytes> manufacturerData;
    // Advertised service UUIDs, upper-case ("FFF0").
    std::vector<std::string> serviceUuids;
    // Advertised local name; empty when none.
    std::string localName;
};

struct ScanOptions {
    // false: one discovery callback per light per scan, plus one more whenever
    // its advertisement data changes. true: every advertisement is reported.
    bool allowDuplicates = false;
};

enum class WriteType : int {
    WithResponse = 0,     // one didWriteValue callback per write
    WithoutResponse = 1,  // no completion callback
};

class Characteristic {
public:
    virtual ~Characteristic() = default;
    // Upper-case UUID text, "FFF1" for the command characteristic.
    virtual std::string uuid() const = 0;
    // Last value received from the light (a notification or a read); absent
    // before any. Valid inside didUpdateValue for the value just received.
    virtual std::optional<Bytes> value() const = 0;
};

class Service {
public:
    virtual ~Service() = default;
    virtual std::string uuid() const = 0;
    // Empty until didDiscoverCharacteristics for this service.
    virtual std::vector<std::shared_ptr<Characteristic>> characteristics() const = 0;
};

class Peripheral {
public:
    virtual ~Peripheral() = default;

    virtual std::string identifier() const = 0;
    // The light's current name; empty when it reports none.
    virtual std::string name() const = 0;
    virtual PeripheralState state() const = 0;
    // Empty until didDiscoverServices.
    virtual std::vector<std::shared_ptr<Service>> services() const = 0;

    // Connected peripherals only; otherwise the call is ignored (no callback).
    // -> didDiscoverServices
    virtual void discoverServices() = 0;
    // -> didDiscoverCharacteristics for that service
    virtual void discoverCharacteristics(const std::shared_ptr<Service>& service) = 0;
    // Writes the bytes whole, in one write. WithResponse -> didWriteValue,
    // with an error when the write failed (including "not connected").
    virtual void writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic,
                            WriteType type) = 0;
    // Enables or disables notifications; values then arrive as didUpdateValue.
    virtual void setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic) = 0;
};

// Receives every callback of one central, on its "centralQueue" thread.
class CentralDelegate {
public:
    virtual ~CentralDelegate() = default;

    // After creation (the first report) and on every change of power state.
    virtual void centralDidUpdateState(CentralState state) = 0;
    // An advertisement of a light matching the scan's service filter.
    // rssi in dBm.
    virtual void didDiscoverPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                       const AdvertisementData& advertisement, int rssi) = 0;
    virtual void didConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral) = 0;
    virtual void didFailToConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                            const std::optional<CentralError>& error) = 0;
    // Either side dropped the link, or cancelPeripheralConnection completed.
    // error is absent for a disconnection the central asked for.
    virtual void didDisconnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                         const std::optional<CentralError>& error) = 0;
    virtual void didDiscoverServices(const std::shared_ptr<Peripheral>& peripheral,
                                     const std::optional<CentralError>& error) = 0;
    virtual void didDiscoverCharacteristics(const std::shared_ptr<Peripheral>& peripheral,
                                            const std::shared_ptr<Service>& service,
                                            const std::optional<CentralError>& error) = 0;
    // A notification (or read) arrived; the bytes are characteristic->value().
    virtual void didUpdateValue(const std::shared_ptr<Peripheral>& peripheral,
                                const std::shared_ptr<Characteristic>& characteristic,
                                const std::optional<CentralError>& error) = 0;
    // Completion of a WithResponse write.
    virtual void didWriteValue(const std::shared_ptr<Peripheral>& peripheral,
                               const std::shared_ptr<Characteristic>& characteristic,
                               const std::optional<CentralError>& error) = 0;
    // The light's name changed (peripheral->name() holds the new one).
    virtual void didUpdateName(const std::shared_ptr<Peripheral>& peripheral) = 0;
};

class Central {
public:
    virtual ~Central() = default;

    virtual CentralState state() const = 0;
    // Starts (or restarts, with the new filter) scanning for lights that
    // advertise one of serviceUuids. Ignored unless powered on. A light that
    // stays in range is reported again in every new scan.
    virtual void scanForPeripherals(const std::vector<std::string>& serviceUuids,
                                    const ScanOptions& options) = 0;
    virtual void stopScan() = 0;
    virtual bool isScanning() const = 0;
    // -> didConnectPeripheral or didFailToConnectPeripheral.
    virtual void connect(const std::shared_ptr<Peripheral>& peripheral) = 0;
    // -> didDisconnectPeripheral (also when the light was still connecting:
    // then didFailToConnectPeripheral is not sent).
    virtual void cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral) = 0;
};

// Creates a central that reports to the delegate. The central sends
// centralDidUpdateState with its first state soon after creation, on its queue.
using CentralFactory = std::function<std::unique_ptr<Central>(CentralDelegate& delegate)>;

}  // namespace lightdeck
