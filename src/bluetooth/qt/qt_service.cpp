#include "bluetooth/qt/qt_service.h"

#include <utility>

namespace lightdeck {

QtService::QtService(std::string uuid)
    : m_uuid(std::move(uuid))
{
}

std::vector<std::shared_ptr<Characteristic>> QtService::characteristics() const
{
    std::lock_guard lock(m_mutex);
    return m_characteristics;
}

void QtService::setCharacteristics(std::vector<std::shared_ptr<Characteristic>> characteristics)
{
    std::lock_guard lock(m_mutex);
    m_characteristics = std::move(characteristics);
}

}  // namespace lightdeck
