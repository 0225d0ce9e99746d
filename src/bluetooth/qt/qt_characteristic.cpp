#include "bluetooth/qt/qt_characteristic.h"

#include <utility>

namespace lightdeck {

QtCharacteristic::QtCharacteristic(std::string uuid, std::string serviceUuid)
    : m_uuid(std::move(uuid))
    , m_serviceUuid(std::move(serviceUuid))
{
}

std::optional<Bytes> QtCharacteristic::value() const
{
    std::lock_guard lock(m_mutex);
    return m_value;
}

void QtCharacteristic::setValue(Bytes value)
{
    std::lock_guard lock(m_mutex);
    m_value = std::move(value);
}

}  // namespace lightdeck
