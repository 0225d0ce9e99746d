#include "bluetooth/simulated/central_session.h"

#include <algorithm>
#include <functional>

#include "bluetooth/simulated/simulated_central.h"
#include "bluetooth/simulated/simulator_world.h"
#include "bluetooth/simulated/virtual_light.h"
#include "common/log.h"

namespace lightdeck {
namespace {

CentralError simulatedError(SimulatedErrorCode code, std::string message)
{
    return CentralError{static_cast<int>(code), std::move(message)};
}

bool sameAdvertisement(const AdvertisementData& a, const AdvertisementData& b)
{
    return a.manufacturerData == b.manufacturerData && a.serviceUuids == b.serviceUuids &&
           a.localName == b.localName;
}

}  // namespace

CentralSession::CentralSession(std::shared_ptr<SimulatorWorld> world, CentralDelegate& delegate)
    : m_world(std::move(world))
    , m_delegate(delegate)
    , m_queue(std::make_unique<SerialQueue>("centralQueue"))
{
}

// shutdown() has run (SimulatedCentral's destructor calls it); the queue is
// gone. Must not take the world's mutex: the last reference may be dropped
// while it is held.
CentralSession::~CentralSession() = default;

void CentralSession::start()
{
    m_world->addSession(shared_from_this());
    std::lock_guard lock(m_world->mutex());
    postStateLocked(m_world->poweredOnLocked() ? CentralState::PoweredOn : CentralState::PoweredOff);
}

void CentralSession::shutdown()
{
    std::unique_ptr<SerialQueue> queue;
    std::vector<std::string> changed;
    {
        std::lock_guard lock(m_world->mutex());
        if (m_closed)
            return;
        m_closed = true;
        m_world->tasksDoneLocked(m_pending);
        m_pending = 0;
        m_scanning = false;
        for (auto& [identifier, link] : m_links)
            if (link.state != PeripheralState::Disconnected)
                endConnectionLocked(link, changed);
        queue = std::move(m_queue);
    }
    queue.reset();  // discards what is queued, waits for a running callback
    m_world->notifyChanged(changed);
}

// ---- queue -----------------------------------------------------------------

void CentralSession::postLocked(std::chrono::nanoseconds delay, std::function<void()> task)
{
    postAtLocked(Clock::now() + delay, std::move(task));
}

void CentralSession::postAtLocked(Clock::time_point due, std::function<void()> task)
{
    if (m_closed || !m_queue)
        return;
    ++m_pending;
    m_world->tasksAddedLocked(1);
    // `this` outlives every task: the session owns the queue, and shutdown
    // joins it before the session can go.
    m_queue->asyncAt(due, [this, task = std::move(task)] {
        task();
        std::lock_guard lock(m_world->mutex());
        if (!m_closed) {  // shutdown already wrote off the tasks it found
            --m_pending;
            m_world->tasksDoneLocked(1);
        }
    });
}

bool CentralSession::isQueueThreadLocked() const { return m_queue && m_queue->isCurrent(); }

std::chrono::nanoseconds CentralSession::connectionIntervals(int count) const
{
    return m_world->options().timing.connectionInterval * count;
}

CentralSession::Clock::time_point CentralSession::nextEvent(const Link& link) const
{
    const auto now = Clock::now();
    const auto interval = connectionIntervals(1);
    if (interval <= std::chrono::nanoseconds::zero())
        return now;
    // Events fall at eventPhase + k * interval on the clock, so every write
    // of one interval meets the same event and they keep their order.
    const auto intoInterval = now.time_since_epoch() % interval;
    return now + (link.eventPhase - intoInterval + interval) % interval;
}

// ---- links -----------------------------------------------------------------

CentralSession::Link* CentralSession::linkLocked(const Peripheral* peripheral)
{
    if (!peripheral)
        return nullptr;
    auto it = m_links.find(peripheral->identifier());
    if (it == m_links.end() || it->second.peripheral.get() != peripheral)
        return nullptr;
    return &it->second;
}

CentralSession::Link* CentralSession::linkForLightLocked(const std::string& identifier)
{
    auto it = m_links.find(identifier);
    return it == m_links.end() ? nullptr : &it->second;
}

CentralSession::Link& CentralSession::ensureLinkLocked(VirtualLight& light)
{
    auto [it, added] = m_links.try_emplace(light.identifier());
    if (added) {
        it->second.peripheral = std::make_shared<SimulatedPeripheral>(light.identifier(), weak_from_this());
        it->second.light = &light;
        // From the identifier, not the random source: the seed's sequence of
        // draws (and so every event order) stays as it was.
        const auto interval = connectionIntervals(1).count();
        if (interval > 0)
            it->second.eventPhase = std::chrono::nanoseconds(
                static_cast<std::int64_t>(std::hash<std::string>{}(light.identifier()) % static_cast<std::size_t>(interval)));
    }
    return it->second;
}

void CentralSession::setLinkStateLocked(Link& link, PeripheralState state)
{
    link.state = state;
    link.peripheral->setState(state);
}

void CentralSession::endConnectionLocked(Link& link, std::vector<std::string>& changedLights)
{
    ++link.generation;
    setLinkStateLocked(link, PeripheralState::Disconnected);
    link.servicesDiscovered = false;
    link.characteristicsDiscovered = false;
    link.notifying = false;
    link.peripheral->setServicesVisible(false);
    if (link.light->linkLocked().get() == this) {
        link.light->setLinkLocked({});
        changedLights.push_back(link.light->identifier());
    }
}

CentralSession::Link* CentralSession::connectedLinkLocked(const std::string& identifier, std::uint64_t generation)
{
    Link* link = linkForLightLocked(identifier);
    if (!link || link->generation != generation || link->state != PeripheralState::Connected)
        return nullptr;
    return link;
}

// ---- central ---------------------------------------------------------------

CentralState CentralSession::state() const
{
    std::lock_guard lock(m_world->mutex());
    return m_state;
}

void CentralSession::postStateLocked(CentralState state)
{
    postLocked(std::chrono::nanoseconds::zero(), [this, state] {
        {
            std::lock_guard lock(m_world->mutex());
            m_state = state;
        }
        m_delegate.centralDidUpdateState(state);
    });
}

void CentralSession::scanForPeripherals(const std::vector<std::string>& serviceUuids, const ScanOptions& options)
{
    std::lock_guard lock(m_world->mutex());
    if (!m_world->poweredOnLocked() || m_state != CentralState::PoweredOn) {
        log::debug("simulated central: scan ignored, not powered on");
        return;
    }
    m_scanning = true;
    ++m_scanGeneration;
    m_allowDuplicates = options.allowDuplicates;
    m_filter.clear();
    for (const auto& uuid : serviceUuids)
        m_filter.push_back(normalisedUuid(uuid));
    m_reported.clear();

    // Each light is first heard after its own random delay. The reports are
    // chained in order of those delays, so their order depends on the seed
    // alone, not on how fast the tasks got queued.
    auto plan = std::make_shared<Plan>();
    const auto interval = m_world->options().timing.advertisingInterval;
    for (const VirtualLight* light : m_world->lightsLocked())
        plan->emplace_back(m_world->randomDelayLocked({}, interval), light->identifier());
    std::stable_sort(plan->begin(), plan->end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!plan->empty())
        scheduleAdvertisementsLocked(plan, 0, plan->front().first, m_scanGeneration);
}

void CentralSession::scheduleAdvertisementsLocked(std::shared_ptr<const Plan> plan, std::size_t index,
                                                  std::chrono::nanoseconds delay, std::uint64_t scanGeneration)
{
    postLocked(delay, [this, plan, index, scanGeneration] {
        reportAdvertisement(scanGeneration, (*plan)[index].second);
        const std::size_t next = index + 1;
        if (next >= plan->size())
            return;
        std::lock_guard lock(m_world->mutex());
        if (m_scanning && m_scanGeneration == scanGeneration)
            scheduleAdvertisementsLocked(plan, next, (*plan)[next].first - (*plan)[index].first, scanGeneration);
    });
}

void CentralSession::hearLightLocked(const VirtualLight& light)
{
    if (!m_scanning)
        return;
    const auto delay = m_world->randomDelayLocked({}, m_world->options().timing.advertisingInterval);
    postLocked(delay, [this, generation = m_scanGeneration, identifier = light.identifier()] {
        reportAdvertisement(generation, identifier);
    });
}

bool CentralSession::passesFilterLocked(const AdvertisementData& advertisement) const
{
    if (m_filter.empty())
        return true;
    // As a real stack does, the filter is on the advertised services only;
    // the manufacturer data is the delegate's business.
    for (const auto& uuid : advertisement.serviceUuids)
        if (std::find(m_filter.begin(), m_filter.end(), normalisedUuid(uuid)) != m_filter.end())
            return true;
    return false;
}

void CentralSession::reportAdvertisement(std::uint64_t scanGeneration, const std::string& identifier)
{
    std::shared_ptr<SimulatedPeripheral> peripheral;
    AdvertisementData advertisement;
    {
        std::lock_guard lock(m_world->mutex());
        if (!m_scanning || m_scanGeneration != scanGeneration || !m_world->poweredOnLocked())
            return;
        VirtualLight* light = m_world->findLightLocked(identifier);
        if (!light)
            return;
        advertisement = light->advertisementLocked();
        if (!passesFilterLocked(advertisement))
            return;
        auto reported = m_reported.find(identifier);
        if (!m_allowDuplicates && reported != m_reported.end() && sameAdvertisement(reported->second, advertisement))
            return;
        m_reported[identifier] = advertisement;
        Link& link = ensureLinkLocked(*light);
        link.peripheral->setName(advertisement.localName);
        peripheral = link.peripheral;
    }
    m_delegate.didDiscoverPeripheral(peripheral, advertisement, m_world->options().rssi);
}

void CentralSession::stopScan()
{
    std::lock_guard lock(m_world->mutex());
    m_scanning = false;
    ++m_scanGeneration;
}

bool CentralSession::isScanning() const
{
    std::lock_guard lock(m_world->mutex());
    return m_scanning;
}

void CentralSession::connect(const std::shared_ptr<Peripheral>& peripheral)
{
    std::lock_guard lock(m_world->mutex());
    Link* link = linkLocked(peripheral.get());
    if (!link) {
        log::warning("simulated central: connect ignored, the peripheral was not discovered by this central");
        return;
    }
    if (link->state == PeripheralState::Connected || link->state == PeripheralState::Connecting)
        return;
    const std::uint64_t generation = ++link->generation;
    setLinkStateLocked(*link, PeripheralState::Connecting);

    // Every random draw happens here, on the caller's thread, in call order.
    std::optional<CentralError> failure;
    const auto& options = m_world->options();
    if (!m_world->poweredOnLocked())
        failure = simulatedError(SimulatedErrorCode::PoweredOff, "Bluetooth is powered off");
    else if (link->light->takeConnectFaultLocked())
        failure = simulatedError(SimulatedErrorCode::ConnectionFailed, "Failed to connect to the peripheral");
    else if (options.connectFailureProbability > 0.0 && m_world->chanceLocked(options.connectFailureProbability))
        failure = simulatedError(SimulatedErrorCode::ConnectionFailed, "Failed to connect to the peripheral");
    const auto delay = failure && !m_world->poweredOnLocked()
                           ? std::chrono::nanoseconds::zero()
                           : m_world->randomDelayLocked(options.timing.connectionDelayMin,
                                                        options.timing.connectionDelayMax);
    postLocked(delay, [this, identifier = peripheral->identifier(), generation, failure] {
        completeConnect(identifier, generation, failure);
    });
}

void CentralSession::completeConnect(const std::string& identifier, std::uint64_t generation,
                                     std::optional<CentralError> failure)
{
    std::shared_ptr<SimulatedPeripheral> peripheral;
    std::vector<std::string> changed;
    {
        std::lock_guard lock(m_world->mutex());
        Link* link = linkForLightLocked(identifier);
        if (m_closed || !link || link->generation != generation || link->state != PeripheralState::Connecting)
            return;  // cancelled, or the adapter went off
        peripheral = link->peripheral;
        const auto holder = link->light->linkLocked();
        if (!failure && holder && holder.get() != this)
            failure = simulatedError(SimulatedErrorCode::PeripheralBusy, "The peripheral is connected to another central");
        if (failure) {
            setLinkStateLocked(*link, PeripheralState::Disconnected);
        } else {
            setLinkStateLocked(*link, PeripheralState::Connected);
            link->servicesDiscovered = link->characteristicsDiscovered = link->notifying = false;
            link->light->setLinkLocked(weak_from_this());
            changed.push_back(identifier);
        }
    }
    m_world->notifyChanged(changed);
    if (failure)
        m_delegate.didFailToConnectPeripheral(peripheral, failure);
    else
        m_delegate.didConnectPeripheral(peripheral);
}

void CentralSession::cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral)
{
    std::vector<std::string> changed;
    {
        std::lock_guard lock(m_world->mutex());
        Link* link = linkLocked(peripheral.get());
        if (!link || link->state == PeripheralState::Disconnected || link->state == PeripheralState::Disconnecting)
            return;
        endConnectionLocked(*link, changed);
        setLinkStateLocked(*link, PeripheralState::Disconnecting);
        const std::uint64_t generation = link->generation;
        postLocked(connectionIntervals(1), [this, identifier = peripheral->identifier(), generation] {
            std::shared_ptr<SimulatedPeripheral> p;
            {
                std::lock_guard lock(m_world->mutex());
                Link* l = linkForLightLocked(identifier);
                if (!l)
                    return;
                if (l->generation == generation)  // not reconnected meanwhile
                    setLinkStateLocked(*l, PeripheralState::Disconnected);
                p = l->peripheral;
            }
            m_delegate.didDisconnectPeripheral(p, std::nullopt);
        });
    }
    m_world->notifyChanged(changed);
}

// ---- peripheral ------------------------------------------------------------

void CentralSession::discoverServices(SimulatedPeripheral& peripheral)
{
    std::lock_guard lock(m_world->mutex());
    Link* link = linkLocked(&peripheral);
    if (!link || link->state != PeripheralState::Connected)
        return;
    postLocked(connectionIntervals(2), [this, identifier = peripheral.identifier(), generation = link->generation] {
        std::shared_ptr<SimulatedPeripheral> p;
        {
            std::lock_guard lock(m_world->mutex());
            Link* l = connectedLinkLocked(identifier, generation);
            if (!l)
                return;
            l->servicesDiscovered = true;
            p = l->peripheral;
            p->setServicesVisible(true);
        }
        m_delegate.didDiscoverServices(p, std::nullopt);
    });
}

void CentralSession::discoverCharacteristics(SimulatedPeripheral& peripheral, const std::shared_ptr<Service>& service)
{
    std::lock_guard lock(m_world->mutex());
    Link* link = linkLocked(&peripheral);
    if (!link || link->state != PeripheralState::Connected)
        return;
    std::optional<CentralError> error;
    if (service != peripheral.service() || !link->servicesDiscovered)
        error = simulatedError(SimulatedErrorCode::InvalidAttribute, "The service is unknown or not discovered");
    postLocked(connectionIntervals(2), [this, identifier = peripheral.identifier(), generation = link->generation,
                                        service, error] {
        std::shared_ptr<SimulatedPeripheral> p;
        {
            std::lock_guard lock(m_world->mutex());
            Link* l = connectedLinkLocked(identifier, generation);
            if (!l)
                return;
            p = l->peripheral;
            if (!error) {
                l->characteristicsDiscovered = true;
                p->service()->setDiscovered(true);
            }
        }
        m_delegate.didDiscoverCharacteristics(p, service, error);
    });
}

std::optional<CentralError> CentralSession::writeErrorLocked(
    const Link& link, const std::shared_ptr<Characteristic>& characteristic) const
{
    if (link.state != PeripheralState::Connected)
        return simulatedError(SimulatedErrorCode::NotConnected, "The peripheral is not connected");
    if (!characteristic || !link.peripheral->service()->owns(characteristic) || !link.characteristicsDiscovered)
        return simulatedError(SimulatedErrorCode::InvalidAttribute,
                              "The characteristic is unknown or not discovered");
    if (characteristic == link.peripheral->reportCharacteristic())
        return simulatedError(SimulatedErrorCode::WriteNotPermitted, "Writing is not permitted");
    return std::nullopt;
}

void CentralSession::writeValue(SimulatedPeripheral& peripheral, const Bytes& value,
                                const std::shared_ptr<Characteristic>& characteristic, WriteType type)
{
    std::lock_guard lock(m_world->mutex());
    Link* link = linkLocked(&peripheral);
    if (!link)
        return;
    if (auto error = writeErrorLocked(*link, characteristic)) {
        log::debug("simulated central: write refused: " + error->message);
        if (type == WriteType::WithResponse)
            postLocked(std::chrono::nanoseconds::zero(), [this, p = link->peripheral, characteristic, error] {
                m_delegate.didWriteValue(p, characteristic, error);
            });
        return;
    }
    // The request goes at the link's next connection event and the response
    // comes one event later. Links do not wait for each other: writes to a
    // group go out together, each on its own link's events.
    postAtLocked(nextEvent(*link) + connectionIntervals(1), [this, identifier = peripheral.identifier(), generation = link->generation,
                                        value, characteristic, type] {
        completeWrite(identifier, generation, value, characteristic, type);
    });
}

void CentralSession::completeWrite(const std::string& identifier, std::uint64_t generation, const Bytes& value,
                                   const std::shared_ptr<Characteristic>& characteristic, WriteType type)
{
    std::shared_ptr<SimulatedPeripheral> peripheral;
    std::optional<CentralError> error;
    std::vector<std::string> changed;
    {
        std::lock_guard lock(m_world->mutex());
        Link* link = linkForLightLocked(identifier);
        if (!link)
            return;
        peripheral = link->peripheral;
        if (link->generation != generation || link->state != PeripheralState::Connected) {
            error = simulatedError(SimulatedErrorCode::NotConnected, "The peripheral is not connected");
        } else {
            const auto result = link->light->receiveWriteLocked(value);
            if (result.failed) {
                error = simulatedError(SimulatedErrorCode::WriteFailed, "The write failed");
            } else {
                changed.push_back(identifier);
                if (result.renamed)
                    m_world->nameChangedLocked(*link->light);
            }
        }
    }
    m_world->notifyChanged(changed);
    if (type == WriteType::WithResponse)
        m_delegate.didWriteValue(peripheral, characteristic, error);
}

void CentralSession::setNotifyValue(SimulatedPeripheral& peripheral, bool enabled,
                                    const std::shared_ptr<Characteristic>& characteristic)
{
    std::lock_guard lock(m_world->mutex());
    Link* link = linkLocked(&peripheral);
    if (!link || link->state != PeripheralState::Connected)
        return;
    if (characteristic != peripheral.reportCharacteristic() || !link->characteristicsDiscovered) {
        log::debug("simulated central: notifications not available on that characteristic");
        return;
    }
    if (!enabled) {
        link->notifying = false;
        return;
    }
    if (link->notifying)
        return;
    link->notifying = true;
    // The light answers a subscription with the controls it lacks.
    for (auto& report : link->light->m_capabilities.markerReports())
        queueReportLocked(*link, std::move(report));
}

void CentralSession::queueReportLocked(Link& link, Bytes report)
{
    postLocked(connectionIntervals(1), [this, identifier = link.light->identifier(), generation = link.generation,
                                        report = std::move(report)] {
        std::shared_ptr<SimulatedPeripheral> p;
        {
            std::lock_guard lock(m_world->mutex());
            Link* l = connectedLinkLocked(identifier, generation);
            if (!l)
                return;
            p = l->peripheral;
        }
        p->reportCharacteristic()->setValue(report);
        m_delegate.didUpdateValue(p, p->reportCharacteristic(), std::nullopt);
    });
}

// ---- from the lights and the world -----------------------------------------

bool CentralSession::deliverReportLocked(const VirtualLight& light, Bytes report)
{
    Link* link = linkForLightLocked(light.identifier());
    if (m_closed || !link || link->state != PeripheralState::Connected || !link->servicesDiscovered)
        return false;
    queueReportLocked(*link, std::move(report));
    return true;
}

void CentralSession::lightRenamedLocked(const VirtualLight& light)
{
    Link* link = linkForLightLocked(light.identifier());
    if (!link || link->state != PeripheralState::Connected)
        return;
    // The new name reaches the central a connection event later.
    postLocked(connectionIntervals(1), [this, identifier = light.identifier(), generation = link->generation,
                                        name = light.m_name] {
        std::shared_ptr<SimulatedPeripheral> p;
        {
            std::lock_guard lock(m_world->mutex());
            Link* l = connectedLinkLocked(identifier, generation);
            if (!l)
                return;
            p = l->peripheral;
            p->setName(name);
        }
        m_delegate.didUpdateName(p);
    });
}

bool CentralSession::dropConnectionLocked(VirtualLight& light)
{
    Link* link = linkForLightLocked(light.identifier());
    if (!link || link->state != PeripheralState::Connected)
        return false;
    std::vector<std::string> ignored;  // the light reports its own change
    endConnectionLocked(*link, ignored);
    postLocked(connectionIntervals(1), [this, p = link->peripheral] {
        m_delegate.didDisconnectPeripheral(
            p, simulatedError(SimulatedErrorCode::ConnectionLost, "The connection has timed out unexpectedly"));
    });
    return true;
}

void CentralSession::powerChangedLocked(bool on, std::vector<std::string>& changedLights)
{
    if (on) {
        postStateLocked(CentralState::PoweredOn);
        return;
    }
    m_scanning = false;
    ++m_scanGeneration;
    const auto error = simulatedError(SimulatedErrorCode::PoweredOff, "Bluetooth is powered off");
    for (auto& [identifier, link] : m_links) {
        const PeripheralState before = link.state;
        if (before == PeripheralState::Disconnected)
            continue;
        endConnectionLocked(link, changedLights);
        if (before == PeripheralState::Connected)
            postLocked({}, [this, p = link.peripheral, error] { m_delegate.didDisconnectPeripheral(p, error); });
        else if (before == PeripheralState::Connecting)
            postLocked({}, [this, p = link.peripheral, error] { m_delegate.didFailToConnectPeripheral(p, error); });
        // Disconnecting: the queued didDisconnectPeripheral still comes.
    }
    postStateLocked(CentralState::PoweredOff);
}

}  // namespace lightdeck
