#pragma once
// The light's service FFF0 as one central sees it: its characteristics FFF1
// and FFF2 become visible once the central discovered them.

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bluetooth/central.h"
#include "bluetooth/simulated/simulated_characteristic.h"

namespace lightdeck {

class SimulatedService final : public Service {
public:
    SimulatedService(std::string uuid, std::vector<std::shared_ptr<SimulatedCharacteristic>> characteristics)
        : m_uuid(std::move(uuid))
        , m_all(std::move(characteristics))
    {
    }

    std::string uuid() const override { return m_uuid; }

    std::vector<std::shared_ptr<Characteristic>> characteristics() const override
    {
        std::lock_guard lock(m_mutex);
        if (!m_discovered)
            return {};
        return {m_all.begin(), m_all.end()};
    }

    void setDiscovered(bool discovered)
    {
        std::lock_guard lock(m_mutex);
        m_discovered = discovered;
    }

    bool owns(const std::shared_ptr<Characteristic>& characteristic) const
    {
        for (const auto& c : m_all)
            if (c == characteristic)
                return true;
        return false;
    }

private:
    const std::string m_uuid;
    // Fixed at creation; only their visibility changes.
    const std::vector<std::shared_ptr<SimulatedCharacteristic>> m_all;
    mutable std::mutex m_mutex;
    bool m_discovered = false;
};

}  // namespace lightdeck
