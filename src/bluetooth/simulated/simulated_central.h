#pragma once
// SimulatedCentral: the Central that sees a LightSimulator's neighbourhood.
// Made by LightSimulator::centralFactory(). It keeps the contract written in
// bluetooth/central.h: every callback on its own serial queue named
// "centralQueue", operations callable from any thread, destruction stops the
// queue. The work itself is done by its CentralSession, which the lights and
// the queued tasks share.
//
// Behaviour worth knowing:
//   * state() is Unknown until the first centralDidUpdateState has been
//     delivered; scans requested before then are ignored, as on a real stack.
//   * Each light is heard once per scan and again when its advertisement
//     changes. allowDuplicates = true also repeats an unchanged advertisement
//     on such events; periodic repeats are not simulated (waitIdle would
//     never return).
//   * The filter is on the advertised services only; manufacturer data is
//     passed on as the light sends it, however malformed.
//   * A light accepts one connection: a second central gets
//     didFailToConnectPeripheral (PeripheralBusy). Lights keep advertising
//     while connected.
//   * Writes need a connection on which the characteristics were discovered;
//     a characteristic kept from an earlier connection works again once they
//     are discovered anew.
//   * cancelPeripheralConnection on a light that is not connected or
//     connecting does nothing.

#include <memory>
#include <string>
#include <vector>

#include "bluetooth/central.h"

namespace lightdeck {

class CentralSession;
class SimulatorWorld;

// CentralError::code of the errors the simulated central reports; the message
// says the same in words.
enum class SimulatedErrorCode : int {
    NotConnected = 1,       // a write to a light that is not connected
    ConnectionFailed = 2,   // an injected or random connection failure
    ConnectionLost = 3,     // the light dropped the link
    PoweredOff = 4,         // the adapter was switched off
    WriteFailed = 5,        // an injected write failure
    WriteNotPermitted = 6,  // a write to FFF2
    InvalidAttribute = 7,   // another light's service or characteristic, or one not discovered yet
    PeripheralBusy = 8,     // the light is connected to another central
};

class SimulatedCentral final : public Central {
public:
    SimulatedCentral(std::shared_ptr<SimulatorWorld> world, CentralDelegate& delegate);
    // Discards every pending callback, ends its connections (the lights see
    // the link go) and joins the queue.
    ~SimulatedCentral() override;

    SimulatedCentral(const SimulatedCentral&) = delete;
    SimulatedCentral& operator=(const SimulatedCentral&) = delete;

    CentralState state() const override;
    void scanForPeripherals(const std::vector<std::string>& serviceUuids, const ScanOptions& options) override;
    void stopScan() override;
    bool isScanning() const override;
    void connect(const std::shared_ptr<Peripheral>& peripheral) override;
    void cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral) override;

private:
    std::shared_ptr<CentralSession> m_session;
};

}  // namespace lightdeck
