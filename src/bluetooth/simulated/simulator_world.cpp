#include "bluetooth/simulated/simulator_world.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "bluetooth/simulated/central_session.h"
#include "common/log.h"

namespace lightdeck {
namespace {

std::string upperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

std::string normalisedUuid(const std::string& uuid)
{
    std::string upper = upperCase(uuid);
    static const std::string kBaseSuffix = "-0000-1000-8000-00805F9B34FB";
    if (upper.size() == 36 && upper.compare(0, 4, "0000") == 0 && upper.compare(8, kBaseSuffix.size(), kBaseSuffix) == 0)
        return upper.substr(4, 4);
    return upper;
}

SimulatorWorld::SimulatorWorld(SimulatorOptions options)
    : m_options(options)
    , m_random(options.seed)
{
}

std::string SimulatorWorld::makeIdentifierLocked(std::size_t position) const
{
    // Its own generator per light: the identifier depends on the seed and the
    // light's position only, not on what else drew random numbers before.
    std::seed_seq seeds{m_options.seed, static_cast<std::uint32_t>(position), 0x4C44u};
    std::mt19937 generator(seeds);
    std::uint8_t bytes[16];
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(generator() >> 24);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

VirtualLight& SimulatorWorld::addLight(VirtualLightSpec spec)
{
    VirtualLight* added = nullptr;
    std::vector<std::shared_ptr<CentralSession>> sessions;
    {
        std::lock_guard lock(m_mutex);
        spec.identifier = upperCase(spec.identifier);
        if (!spec.identifier.empty() && findLightLocked(spec.identifier)) {
            log::warning("simulated lights: identifier " + spec.identifier + " already used; a new one is made");
            spec.identifier.clear();
        }
        for (std::size_t salt = m_lights.size(); spec.identifier.empty() || findLightLocked(spec.identifier); ++salt)
            spec.identifier = makeIdentifierLocked(salt);
        m_lights.push_back(std::make_unique<VirtualLight>(*this, std::move(spec)));
        added = m_lights.back().get();
        sessions = sessionsLocked();
        for (const auto& session : sessions)
            session->hearLightLocked(*added);
    }
    notifyChanged(added->identifier());
    return *added;
}

std::vector<VirtualLight*> SimulatorWorld::lights() const
{
    std::lock_guard lock(m_mutex);
    return lightsLocked();
}

std::vector<VirtualLight*> SimulatorWorld::lightsLocked() const
{
    std::vector<VirtualLight*> lights;
    for (const auto& light : m_lights)
        lights.push_back(light.get());
    return lights;
}

VirtualLight* SimulatorWorld::findLight(const std::string& identifier) const
{
    std::lock_guard lock(m_mutex);
    return findLightLocked(upperCase(identifier));
}

VirtualLight* SimulatorWorld::findLightLocked(const std::string& identifier) const
{
    for (const auto& light : m_lights)
        if (light->identifier() == identifier)
            return light.get();
    return nullptr;
}

void SimulatorWorld::addSession(const std::shared_ptr<CentralSession>& session)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_sessions, [](const auto& weak) { return weak.expired(); });
    m_sessions.push_back(session);
}

std::vector<std::shared_ptr<CentralSession>> SimulatorWorld::sessionsLocked() const
{
    std::vector<std::shared_ptr<CentralSession>> sessions;
    for (const auto& weak : m_sessions)
        if (auto session = weak.lock())
            sessions.push_back(std::move(session));
    return sessions;
}

void SimulatorWorld::setPoweredOn(bool on)
{
    std::vector<std::string> changed;
    std::vector<std::shared_ptr<CentralSession>> sessions;
    {
        std::lock_guard lock(m_mutex);
        if (m_poweredOn == on)
            return;
        m_poweredOn = on;
        sessions = sessionsLocked();
        for (const auto& session : sessions)
            session->powerChangedLocked(on, changed);
    }
    notifyChanged(changed);
}

std::chrono::nanoseconds SimulatorWorld::randomDelayLocked(std::chrono::nanoseconds low,
                                                           std::chrono::nanoseconds high)
{
    if (high <= low)
        return low;
    // Spelled out rather than a std::uniform_int_distribution, whose results
    // differ between standard libraries: a seed must mean the same everywhere.
    const auto span = static_cast<std::uint64_t>((high - low).count()) + 1;
    const std::uint64_t draw = (static_cast<std::uint64_t>(m_random()) << 32) | m_random();
    return low + std::chrono::nanoseconds(static_cast<std::int64_t>(draw % span));
}

bool SimulatorWorld::chanceLocked(double probability)
{
    return static_cast<double>(m_random()) / 4294967296.0 < probability;
}

void SimulatorWorld::tasksDoneLocked(std::size_t count)
{
    m_pendingTasks -= std::min(count, m_pendingTasks);
    if (m_pendingTasks == 0)
        m_idle.notify_all();
}

void SimulatorWorld::waitIdle()
{
    std::unique_lock lock(m_mutex);
    for (const auto& session : sessionsLocked()) {
        if (session->isQueueThreadLocked()) {
            lock.unlock();
            log::warning("simulated lights: waitIdle called on a central's queue; not waiting");
            return;
        }
    }
    m_idle.wait(lock, [this] { return m_pendingTasks == 0; });
}

void SimulatorWorld::advertisementChangedLocked(const VirtualLight& light)
{
    for (const auto& session : sessionsLocked())
        session->hearLightLocked(light);
}

void SimulatorWorld::nameChangedLocked(const VirtualLight& light)
{
    for (const auto& session : sessionsLocked()) {
        session->lightRenamedLocked(light);
        session->hearLightLocked(light);
    }
}

void SimulatorWorld::setObserver(ChangeObserver observer)
{
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

void SimulatorWorld::notifyChanged(const std::vector<std::string>& identifiers) const
{
    if (identifiers.empty())
        return;
    ChangeObserver observer;
    {
        std::lock_guard lock(m_mutex);
        observer = m_observer;
    }
    if (!observer)
        return;
    for (const auto& identifier : identifiers)
        observer(identifier);
}

}  // namespace lightdeck
