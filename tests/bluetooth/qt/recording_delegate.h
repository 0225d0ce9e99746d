#pragma once
// A CentralDelegate that records every callback, with the thread it came on,
// and lets a test wait (bounded) for one.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bluetooth/central.h"

namespace lightdeck::testing {

struct CentralEvent {
    enum class Kind { State, Discover, Connect, FailConnect, Disconnect, Services, Characteristics, Value, Write, Name };
    Kind kind = Kind::State;
    CentralState state = CentralState::Unknown;
    std::shared_ptr<Peripheral> peripheral;
    AdvertisementData advertisement;
    int rssi = 0;
    std::shared_ptr<Service> service;
    std::shared_ptr<Characteristic> characteristic;
    // didUpdateValue: the characteristic's value at the callback.
    std::optional<Bytes> value;
    std::optional<CentralError> error;
    // didUpdateName: the name at the callback.
    std::string name;

    std::string id() const { return peripheral ? peripheral->identifier() : std::string(); }
};

// Waits until the condition holds, keeping the test thread's events flowing;
// false when the limit passed first. The limit is a safety net, never a
// measurement.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(20));

class RecordingDelegate final : public CentralDelegate {
public:
    using Predicate = std::function<bool(const CentralEvent&)>;

    std::vector<CentralEvent> events() const;
    std::size_t count(const Predicate& predicate) const;
    // The first matching event, waiting for it when there is none yet.
    std::optional<CentralEvent> waitFor(const Predicate& predicate,
                                        std::chrono::milliseconds limit = std::chrono::seconds(20));
    // The n-th (1-based) matching event.
    std::optional<CentralEvent> waitForNth(std::size_t n, const Predicate& predicate,
                                           std::chrono::milliseconds limit = std::chrono::seconds(20));

    // Callbacks that came on a thread not named "centralQueue", or while
    // another callback was running.
    int threadViolations() const { return m_violations; }

    // Runs inside every callback, on centralQueue, after it is recorded.
    void setHook(std::function<void(const CentralEvent&)> hook);

    void centralDidUpdateState(CentralState state) override;
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                               const AdvertisementData& advertisement, int rssi) override;
    void didConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral) override;
    void didFailToConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                    const std::optional<CentralError>& error) override;
    void didDisconnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                 const std::optional<CentralError>& error) override;
    void didDiscoverServices(const std::shared_ptr<Peripheral>& peripheral,
                             const std::optional<CentralError>& error) override;
    void didDiscoverCharacteristics(const std::shared_ptr<Peripheral>& peripheral,
                                    const std::shared_ptr<Service>& service,
                                    const std::optional<CentralError>& error) override;
    void didUpdateValue(const std::shared_ptr<Peripheral>& peripheral,
                        const std::shared_ptr<Characteristic>& characteristic,
                        const std::optional<CentralError>& error) override;
    void didWriteValue(const std::shared_ptr<Peripheral>& peripheral,
                       const std::shared_ptr<Characteristic>& characteristic,
                       const std::optional<CentralError>& error) override;
    void didUpdateName(const std::shared_ptr<Peripheral>& peripheral) override;

private:
    void record(CentralEvent event);

    mutable std::mutex m_mutex;
    std::vector<CentralEvent> m_events;
    std::function<void(const CentralEvent&)> m_hook;
    std::atomic<int> m_violations{0};
    std::atomic<int> m_inside{0};
};

// Predicates.
RecordingDelegate::Predicate is(CentralEvent::Kind kind);
RecordingDelegate::Predicate is(CentralEvent::Kind kind, const std::string& identifier);

}  // namespace lightdeck::testing
