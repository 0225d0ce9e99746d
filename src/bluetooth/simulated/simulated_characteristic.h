#pragma once
// A characteristic of a simulated light (FFF1 or FFF2) as one central sees it.

#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "bluetooth/central.h"

namespace lightdeck {

class SimulatedCharacteristic final : public Characteristic {
public:
    explicit SimulatedCharacteristic(std::string uuid)
        : m_uuid(std::move(uuid))
    {
    }

    std::string uuid() const override { return m_uuid; }

    std::optional<Bytes> value() const override
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }

    // Set on the central's queue just before didUpdateValue, so the delegate
    // reads the value it is told about.
    void setValue(Bytes value)
    {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

private:
    const std::string m_uuid;
    mutable std::mutex m_mutex;
    std::optional<Bytes> m_value;
};

}  // namespace lightdeck
