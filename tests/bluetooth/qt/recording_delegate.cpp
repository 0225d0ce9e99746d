#include "bluetooth/qt/recording_delegate.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace lightdeck::testing {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

std::vector<CentralEvent> RecordingDelegate::events() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::size_t RecordingDelegate::count(const Predicate& predicate) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(std::count_if(m_events.begin(), m_events.end(), predicate));
}

std::optional<CentralEvent> RecordingDelegate::waitFor(const Predicate& predicate, std::chrono::milliseconds limit)
{
    return waitForNth(1, predicate, limit);
}

std::optional<CentralEvent> RecordingDelegate::waitForNth(std::size_t n, const Predicate& predicate,
                                                          std::chrono::milliseconds limit)
{
    std::optional<CentralEvent> found;
    waitUntil(
        [&] {
            std::lock_guard lock(m_mutex);
            std::size_t seen = 0;
            for (const auto& event : m_events) {
                if (predicate(event) && ++seen == n) {
                    found = event;
                    return true;
                }
            }
            return false;
        },
        limit);
    return found;
}

void RecordingDelegate::setHook(std::function<void(const CentralEvent&)> hook)
{
    std::lock_guard lock(m_mutex);
    m_hook = std::move(hook);
}

void RecordingDelegate::record(CentralEvent event)
{
    if (m_inside.fetch_add(1) != 0)
        ++m_violations;
    if (QThread::currentThread()->objectName() != QStringLiteral("centralQueue"))
        ++m_violations;
    std::function<void(const CentralEvent&)> hook;
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
        hook = m_hook;
    }
    if (hook)
        hook(event);
    m_inside.fetch_sub(1);
}

void RecordingDelegate::centralDidUpdateState(CentralState state)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::State;
    e.state = state;
    record(std::move(e));
}

void RecordingDelegate::didDiscoverPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                              const AdvertisementData& advertisement, int rssi)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::Discover;
    e.peripheral = peripheral;
    e.advertisement = advertisement;
    e.rssi = rssi;
    record(std::move(e));
}

void RecordingDelegate::didConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::Connect;
    e.peripheral = peripheral;
    record(std::move(e));
}

void RecordingDelegate::didFailToConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                                   const std::optional<CentralError>& error)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::FailConnect;
    e.peripheral = peripheral;
    e.error = error;
    record(std::move(e));
}

void RecordingDelegate::didDisconnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                                const std::optional<CentralError>& error)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::Disconnect;
    e.peripheral = peripheral;
    e.error = error;
    record(std::move(e));
}

void RecordingDelegate::didDiscoverServices(const std::shared_ptr<Peripheral>& peripheral,
                                            const std::optional<CentralError>& error)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::Services;
    e.peripheral = peripheral;
    e.error = error;
    record(std::move(e));
}

void RecordingDelegate::didDiscoverCharacteristics(const std::shared_ptr<Peripheral>& peripheral,
                                                   const std::shared_ptr<Service>& service,
                                                   const std::optional<CentralError>& error)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::Characteristics;
    e.peripheral = peripheral;
    e.service = service;
    e.error = error;
    record(std::move(e));
}

void RecordingDelegate::didUpdateValue(const std::shared_ptr<Peripheral>& peripheral,
                                       const std::shared_ptr<Characteristic>& characteristic,
                                       const std::optional<CentralError>& error)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::Value;
    e.peripheral = peripheral;
    e.characteristic = characteristic;
    e.value = characteristic ? characteristic->value() : std::nullopt;
    e.error = error;
    record(std::move(e));
}

void RecordingDelegate::didWriteValue(const std::shared_ptr<Peripheral>& peripheral,
                                      const std::shared_ptr<Characteristic>& characteristic,
                                      const std::optional<CentralError>& error)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::Write;
    e.peripheral = peripheral;
    e.characteristic = characteristic;
    e.error = error;
    record(std::move(e));
}

void RecordingDelegate::didUpdateName(const std::shared_ptr<Peripheral>& peripheral)
{
    CentralEvent e;
    e.kind = CentralEvent::Kind::Name;
    e.peripheral = peripheral;
    e.name = peripheral->name();
    record(std::move(e));
}

RecordingDelegate::Predicate is(CentralEvent::Kind kind)
{
    return [kind](const CentralEvent& e) { return e.kind == kind; };
}

RecordingDelegate::Predicate is(CentralEvent::Kind kind, const std::string& identifier)
{
    return [kind, identifier](const CentralEvent& e) { return e.kind == kind && e.id() == identifier; };
}

}  // namespace lightdeck::testing
