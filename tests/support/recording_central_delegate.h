#pragma once
// A CentralDelegate that records every callback of a Central (simulated or
// Qt) and lets a test wait, with a bounded deadline, for the one it expects.
// It also counts callbacks that break the threading contract: one that came
// on a thread not named "centralQueue", or while another was still running.

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "bluetooth/central.h"  // and the standard headers it includes

namespace lightdeck::testing {

struct CentralEvent {
    enum class Kind { State, Discover, Connect, FailConnect, Disconnect, Services, Characteristics, Value, Write, Name };
    Kind kind = Kind::State;
    std::shared_ptr<Peripheral> peripheral{};
    std::optional<CentralError> error{};
    CentralState state = CentralState::Unknown;
    AdvertisementData advertisement{};
    int rssi = 0;
    std::shared_ptr<Characteristic> characteristic{};
    // Read inside the callback: the peripheral's identifier and name, and the
    // characteristic's value.
    std::string id{};
    std::string name{};
    std::optional<Bytes> value{};
};

// Matches the callbacks of that kind (for that peripheral, when given).
inline std::function<bool(const CentralEvent&)> is(CentralEvent::Kind kind, std::string id = {})
{
    return [kind, id](const CentralEvent& e) { return e.kind == kind && (id.empty() || e.id == id); };
}

class RecordingDelegate final : public CentralDelegate {
public:
    using Kind = CentralEvent::Kind;
    using Predicate = std::function<bool(const CentralEvent&)>;

    std::vector<CentralEvent> events(const Predicate& match = {}) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<CentralEvent> found;
        std::copy_if(m_events.begin(), m_events.end(), std::back_inserter(found),
                     [&](const CentralEvent& e) { return !match || match(e); });
        return found;
    }
    std::size_t count(const Predicate& match) const { return events(match).size(); }
    // The n-th (1-based) matching event, waiting up to 20 s for it.
    std::optional<CentralEvent> waitFor(const Predicate& match, std::size_t n = 1)
    {
        std::unique_lock lock(m_mutex);
        std::optional<CentralEvent> found;
        m_changed.wait_for(lock, std::chrono::seconds(20), [&] {
            std::size_t seen = 0;
            for (const auto& e : m_events)
                if (match(e) && ++seen == n)
                    found = e;
            return found.has_value();
        });
        return found;
    }
    // The peripheral of the latest discovery of that identifier.
    std::shared_ptr<Peripheral> discovered(const std::string& id) const
    {
        const auto found = events(is(Kind::Discover, id));
        return found.empty() ? nullptr : found.back().peripheral;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }
    int violations() const { return m_violations; }

    using P = std::shared_ptr<Peripheral>;
    using E = std::optional<CentralError>;
    using C = std::shared_ptr<Characteristic>;
    void centralDidUpdateState(CentralState s) override { record({.kind = Kind::State, .state = s}); }
    void didDiscoverPeripheral(const P& p, const AdvertisementData& a, int rssi) override
    {
        record({.kind = Kind::Discover, .peripheral = p, .advertisement = a, .rssi = rssi});
    }
    void didConnectPeripheral(const P& p) override { record({.kind = Kind::Connect, .peripheral = p}); }
    void didFailToConnectPeripheral(const P& p, const E& e) override { record({Kind::FailConnect, p, e}); }
    void didDisconnectPeripheral(const P& p, const E& e) override { record({Kind::Disconnect, p, e}); }
    void didDiscoverServices(const P& p, const E& e) override { record({Kind::Services, p, e}); }
    void didDiscoverCharacteristics(const P& p, const std::shared_ptr<Service>&, const E& e) override
    {
        record({.kind = Kind::Characteristics, .peripheral = p, .error = e});
    }
    void didUpdateValue(const P& p, const C& c, const E& e) override
    {
        record({.kind = Kind::Value, .peripheral = p, .error = e, .characteristic = c});
    }
    void didWriteValue(const P& p, const C& c, const E& e) override
    {
        record({.kind = Kind::Write, .peripheral = p, .error = e, .characteristic = c});
    }
    void didUpdateName(const P& p) override { record({.kind = Kind::Name, .peripheral = p}); }

private:
    void record(CentralEvent event)
    {
        char thread[16] = {};
        pthread_getname_np(pthread_self(), thread, sizeof thread);
        if (m_inside.fetch_add(1) != 0 || std::string(thread) != "centralQueue")
            ++m_violations;
        if (event.peripheral) {
            event.id = event.peripheral->identifier();
            event.name = event.peripheral->name();
        }
        if (event.characteristic)
            event.value = event.characteristic->value();
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back(event);
        }
        m_changed.notify_all();
        m_inside.fetch_sub(1);
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<CentralEvent> m_events;
    std::atomic<int> m_violations{0};
    std::atomic<int> m_inside{0};
};

}  // namespace lightdeck::testing
