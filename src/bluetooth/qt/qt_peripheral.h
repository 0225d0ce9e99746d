#pragma once
// One light as the Qt central knows it. The getters are thread-safe; the
// operations are posted to centralQueue, where the light's session carries
// them out. The same light is always the same QtPeripheral object for the
// life of its central, and the object stays valid (inert) after it.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bluetooth/central.h"

namespace lightdeck {

class QtWorkerPost;

class QtPeripheral final : public Peripheral {
public:
    QtPeripheral(std::string identifier, std::shared_ptr<QtWorkerPost> post);

    std::string identifier() const override { return m_identifier; }
    std::string name() const override;
    PeripheralState state() const override { return m_state.load(); }
    std::vector<std::shared_ptr<Service>> services() const override;

    void discoverServices() override;
    void discoverCharacteristics(const std::shared_ptr<Service>& service) override;
    void writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic,
                    WriteType type) override;
    void setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic) override;

    // True when this peripheral was made by the central that owns the post.
    bool belongsTo(const QtWorkerPost* post) const { return m_post.get() == post; }

    // Central side (centralQueue, except compareAndSetState which the central
    // also uses from the caller's thread).
    // Returns true when the name changed.
    bool setName(const std::string& name);
    void setState(PeripheralState state) { m_state.store(state); }
    bool compareAndSetState(PeripheralState expected, PeripheralState desired);
    void setServices(std::vector<std::shared_ptr<Service>> services);

private:
    const std::string m_identifier;
    const std::shared_ptr<QtWorkerPost> m_post;
    std::atomic<PeripheralState> m_state{PeripheralState::Disconnected};
    mutable std::mutex m_mutex;
    std::string m_name;
    std::vector<std::shared_ptr<Service>> m_services;
};

}  // namespace lightdeck
