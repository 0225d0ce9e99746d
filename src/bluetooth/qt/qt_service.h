#pragma once
// A GATT service as the Qt central reports it. Its characteristics are filled
// on centralQueue when they have been discovered; read from any thread.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bluetooth/central.h"

namespace lightdeck {

class QtService final : public Service {
public:
    explicit QtService(std::string uuid);

    std::string uuid() const override { return m_uuid; }
    std::vector<std::shared_ptr<Characteristic>> characteristics() const override;

    void setCharacteristics(std::vector<std::shared_ptr<Characteristic>> characteristics);

private:
    const std::string m_uuid;
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Characteristic>> m_characteristics;
};

}  // namespace lightdeck
