#pragma once
// A characteristic as the Qt central reports it: its UUID text, the UUID of
// the service it belongs to, and the last value the light sent. Written on
// centralQueue, read from any thread.

#include <mutex>
#include <optional>
#include <string>

#include "bluetooth/central.h"

namespace lightdeck {

class QtCharacteristic final : public Characteristic {
public:
    // Both UUIDs as normalised text ("FFF2", "FFF0").
    QtCharacteristic(std::string uuid, std::string serviceUuid);

    std::string uuid() const override { return m_uuid; }
    std::optional<Bytes> value() const override;

    const std::string& serviceUuid() const { return m_serviceUuid; }
    void setValue(Bytes value);

private:
    const std::string m_uuid;
    const std::string m_serviceUuid;
    mutable std::mutex m_mutex;
    std::optional<Bytes> m_value;
};

}  // namespace lightdeck
