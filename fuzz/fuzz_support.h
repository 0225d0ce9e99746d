#pragma once
// Shared by the fuzz targets: an invariant check that stops the run, a quiet
// log, a reader over the fuzzer's bytes, and a scripted central whose
// callbacks the target delivers itself.
//
// The scripted central delivers nothing on its own: the target calls the
// manager's CentralDelegate methods directly, one at a time, on the fuzzer's
// thread. The manager only relies on callbacks arriving one at a time, so this
// drives the same code as a real queue, deterministically and fast. Writes
// and notification requests are recorded for the target to check.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bluetooth/central.h"
#include "common/log.h"
#include "protocol/bytes.h"

namespace lightdeck::fuzz {

// A broken invariant is a finding: print why and abort so that libFuzzer
// keeps the input as a crash.
#define LIGHTDECK_FUZZ_CHECK(condition)                                                          \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)

// The core logs every discovery and report; a fuzz run would spend its time
// there. Call once from each target.
inline void silenceLog()
{
    static const bool done = [] {
        log::setSink([](log::Level, std::string_view) {});
        return true;
    }();
    (void)done;
}

// Takes the fuzzer's bytes front to back; past the end every read gives 0
// or nothing.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size)
        : m_data(data), m_size(size)
    {
    }

    bool empty() const { return m_offset >= m_size; }
    std::uint8_t byte() { return empty() ? 0 : m_data[m_offset++]; }
    // Up to `count` bytes (fewer near the end).
    Bytes bytes(std::size_t count)
    {
        const std::size_t n = std::min(count, m_size - std::min(m_offset, m_size));
        Bytes out(m_data + m_offset, m_data + m_offset + n);
        m_offset += n;
        return out;
    }
    // A length byte, then that many bytes: any length from 0 to 255.
    Bytes chunk() { return bytes(byte()); }

private:
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_offset = 0;
};

class ScriptedCharacteristic final : public Characteristic {
public:
    explicit ScriptedCharacteristic(std::string uuid)
        : m_uuid(std::move(uuid))
    {
    }
    std::string uuid() const override { return m_uuid; }
    std::optional<Bytes> value() const override
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void setValue(std::optional<Bytes> value)
    {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

private:
    const std::string m_uuid;
    mutable std::mutex m_mutex;
    std::optional<Bytes> m_value;
};

class ScriptedService final : public Service {
public:
    ScriptedService(std::string uuid, std::vector<std::shared_ptr<Characteristic>> characteristics)
        : m_uuid(std::move(uuid)), m_characteristics(std::move(characteristics))
    {
    }
    std::string uuid() const override { return m_uuid; }
    std::vector<std::shared_ptr<Characteristic>> characteristics() const override { return m_characteristics; }

private:
    const std::string m_uuid;
    const std::vector<std::shared_ptr<Characteristic>> m_characteristics;
};

// A light with FFF0 holding FFF1 (commands) and FFF2 (reports).
class ScriptedPeripheral final : public Peripheral {
public:
    struct Write {
        Bytes value;
        std::string characteristic;
    };

    explicit ScriptedPeripheral(std::string identifier)
        : m_identifier(std::move(identifier)),
          command(std::make_shared<ScriptedCharacteristic>("FFF1")),
          report(std::make_shared<ScriptedCharacteristic>("FFF2")),
          service(std::make_shared<ScriptedService>(
              "FFF0", std::vector<std::shared_ptr<Characteristic>>{command, report}))
    {
    }

    std::string identifier() const override { return m_identifier; }
    std::string name() const override { return "Scripted"; }
    PeripheralState state() const override
    {
        std::lock_guard lock(m_mutex);
        return m_state;
    }
    std::vector<std::shared_ptr<Service>> services() const override { return {service}; }
    void discoverServices() override {}
    void discoverCharacteristics(const std::shared_ptr<Service>&) override {}
    void writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic, WriteType) override
    {
        std::lock_guard lock(m_mutex);
        m_writes.push_back({value, characteristic ? characteristic->uuid() : std::string()});
    }
    void setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic) override
    {
        std::lock_guard lock(m_mutex);
        if (characteristic && characteristic->uuid() == "FFF2")
            m_notifying = enabled;
    }

    void setState(PeripheralState state)
    {
        std::lock_guard lock(m_mutex);
        m_state = state;
    }
    std::vector<Write> writes() const
    {
        std::lock_guard lock(m_mutex);
        return m_writes;
    }
    bool notifying() const
    {
        std::lock_guard lock(m_mutex);
        return m_notifying;
    }

private:
    const std::string m_identifier;
    mutable std::mutex m_mutex;
    PeripheralState m_state = PeripheralState::Disconnected;
    std::vector<Write> m_writes;
    bool m_notifying = false;

public:
    const std::shared_ptr<ScriptedCharacteristic> command;
    const std::shared_ptr<ScriptedCharacteristic> report;
    const std::shared_ptr<ScriptedService> service;
};

// Powered on from the start; remembers the delegate so the target can call it.
class ScriptedCentral final : public Central {
public:
    explicit ScriptedCentral(CentralDelegate& delegate)
        : delegate(delegate)
    {
    }
    CentralState state() const override { return CentralState::PoweredOn; }
    void scanForPeripherals(const std::vector<std::string>&, const ScanOptions&) override { m_scanning = true; }
    void stopScan() override { m_scanning = false; }
    bool isScanning() const override { return m_scanning; }
    void connect(const std::shared_ptr<Peripheral>&) override {}
    void cancelPeripheralConnection(const std::shared_ptr<Peripheral>&) override {}

    CentralDelegate& delegate;

private:
    bool m_scanning = false;
};

// A factory that hands the made central back to the target.
inline CentralFactory scriptedFactory(ScriptedCentral*& made)
{
    return [&made](CentralDelegate& delegate) {
        auto central = std::make_unique<ScriptedCentral>(delegate);
        made = central.get();
        return central;
    };
}

// The identifier of scripted light number n (n < 16).
inline std::string scriptedIdentifier(unsigned n)
{
    static const char* const kDigits = "0123456789ABCDEF";
    std::string id = "00000000-0000-4000-8000-00000000000";
    id += kDigits[n % 16];
    return id;
}

// Connects a scripted light the way the manager's own steps go: connected,
// services, characteristics (FFF1 becomes the command characteristic, FFF2
// gets notifications).
inline void connectScripted(ScriptedCentral& central, const std::shared_ptr<ScriptedPeripheral>& light)
{
    light->setState(PeripheralState::Connected);
    central.delegate.didConnectPeripheral(light);
    central.delegate.didDiscoverServices(light, std::nullopt);
    central.delegate.didDiscoverCharacteristics(light, light->service, std::nullopt);
}

}  // namespace lightdeck::fuzz
