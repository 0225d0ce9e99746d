#pragma once
// A CentralDelegate that records every callback, with the thread it ran on,
// for tests of a Central (the simulated one, or any other).
//
//   RecordingDelegate delegate;
//   auto central = simulator.centralFactory()(delegate);
//   central->scanForPeripherals({"FFF0"}, {});
//   simulator.waitIdle();
//   EXPECT_EQ(delegate.count(CentralEvent::Kind::Discover), 3u);
//
// A hook runs inside each callback (on the central's queue) for tests that
// must act there, as the manager does.

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bluetooth/central.h"

namespace lightdeck::testing {

struct CentralEvent {
    enum class Kind { State, Discover, Connect, FailToConnect, Disconnect, Services, Characteristics, Value, Write, Name };

    Kind kind = Kind::State;
    std::shared_ptr<Peripheral> peripheral;
    // The peripheral's identifier and name when the callback ran.
    std::string identifier;
    std::string name;
    CentralState state = CentralState::Unknown;
    AdvertisementData advertisement;
    int rssi = 0;
    std::optional<CentralError> error;
    std::shared_ptr<Service> service;
    std::shared_ptr<Characteristic> characteristic;
    // characteristic->value() read inside the callback.
    std::optional<Bytes> value;
    std::string threadName;
    std::thread::id threadId;
};

class RecordingDelegate : public CentralDelegate {
public:
    using Kind = CentralEvent::Kind;
    using Hook = std::function<void(const CentralEvent&)>;

    void setHook(Hook hook)
    {
        std::lock_guard lock(m_mutex);
        m_hook = std::move(hook);
    }

    std::vector<CentralEvent> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

    std::vector<CentralEvent> events(Kind kind) const
    {
        std::vector<CentralEvent> matching;
        for (auto& event : events())
            if (event.kind == kind)
                matching.push_back(std::move(event));
        return matching;
    }

    std::vector<Kind> kinds() const
    {
        std::vector<Kind> result;
        for (const auto& event : events())
            result.push_back(event.kind);
        return result;
    }

    std::size_t count(Kind kind) const { return events(kind).size(); }

    // The peripheral of the latest discovery of that identifier.
    std::shared_ptr<Peripheral> discovered(const std::string& identifier) const
    {
        auto found = events(Kind::Discover);
        for (auto it = found.rbegin(); it != found.rend(); ++it)
            if (it->identifier == identifier)
                return it->peripheral;
        return nullptr;
    }

    // True when a callback started while another was still running.
    bool sawOverlap() const { return m_overlap; }

    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

    void centralDidUpdateState(CentralState state) override
    {
        CentralEvent event = make(Kind::State, nullptr);
        event.state = state;
        record(std::move(event));
    }
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>& peripheral, const AdvertisementData& advertisement,
                               int rssi) override
    {
        CentralEvent event = make(Kind::Discover, peripheral);
        event.advertisement = advertisement;
        event.rssi = rssi;
        record(std::move(event));
    }
    void didConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral) override
    {
        record(make(Kind::Connect, peripheral));
    }
    void didFailToConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                    const std::optional<CentralError>& error) override
    {
        record(make(Kind::FailToConnect, peripheral, error));
    }
    void didDisconnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                 const std::optional<CentralError>& error) override
    {
        record(make(Kind::Disconnect, peripheral, error));
    }
    void didDiscoverServices(const std::shared_ptr<Peripheral>& peripheral,
                             const std::optional<CentralError>& error) override
    {
        record(make(Kind::Services, peripheral, error));
    }
    void didDiscoverCharacteristics(const std::shared_ptr<Peripheral>& peripheral,
                                    const std::shared_ptr<Service>& service,
                                    const std::optional<CentralError>& error) override
    {
        CentralEvent event = make(Kind::Characteristics, peripheral, error);
        event.service = service;
        record(std::move(event));
    }
    void didUpdateValue(const std::shared_ptr<Peripheral>& peripheral,
                        const std::shared_ptr<Characteristic>& characteristic,
                        const std::optional<CentralError>& error) override
    {
        CentralEvent event = make(Kind::Value, peripheral, error);
        event.characteristic = characteristic;
        event.value = characteristic ? characteristic->value() : std::nullopt;
        record(std::move(event));
    }
    void didWriteValue(const std::shared_ptr<Peripheral>& peripheral,
                       const std::shared_ptr<Characteristic>& characteristic,
                       const std::optional<CentralError>& error) override
    {
        CentralEvent event = make(Kind::Write, peripheral, error);
        event.characteristic = characteristic;
        record(std::move(event));
    }
    void didUpdateName(const std::shared_ptr<Peripheral>& peripheral) override
    {
        record(make(Kind::Name, peripheral));
    }

private:
    static CentralEvent make(Kind kind, const std::shared_ptr<Peripheral>& peripheral,
                             const std::optional<CentralError>& error = std::nullopt)
    {
        CentralEvent event;
        event.kind = kind;
        event.peripheral = peripheral;
        if (peripheral) {
            event.identifier = peripheral->identifier();
            event.name = peripheral->name();
        }
        event.error = error;
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        event.threadName = name;
        event.threadId = std::this_thread::get_id();
        return event;
    }

    void record(CentralEvent event)
    {
        if (m_running.fetch_add(1) != 0)
            m_overlap = true;
        Hook hook;
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back(event);
            hook = m_hook;
        }
        if (hook)
            hook(event);
        m_running.fetch_sub(1);
    }

    mutable std::mutex m_mutex;
    std::vector<CentralEvent> m_events;
    Hook m_hook;
    std::atomic<int> m_running{0};
    std::atomic<bool> m_overlap{false};
};

}  // namespace lightdeck::testing
