#include "bluetooth/simulated/light_simulator.h"

#include "bluetooth/simulated/simulator_world.h"

namespace lightdeck {

LightSimulator::LightSimulator()
    : LightSimulator(SimulatorOptions{})
{
}

LightSimulator::LightSimulator(SimulatorOptions options)
    : m_options(options)
    , m_world(std::make_shared<SimulatorWorld>(options))
{
}

// The observer usually belongs to a window that goes with the simulator.
LightSimulator::~LightSimulator() { m_world->setObserver({}); }

VirtualLight& LightSimulator::addLight(VirtualLightSpec spec) { return m_world->addLight(std::move(spec)); }

std::vector<VirtualLight*> LightSimulator::lights() const { return m_world->lights(); }

VirtualLight* LightSimulator::light(const std::string& identifier) const { return m_world->findLight(identifier); }

std::size_t LightSimulator::lightCount() const { return m_world->lights().size(); }

CentralFactory LightSimulator::centralFactory()
{
    return [world = m_world](CentralDelegate& delegate) -> std::unique_ptr<Central> {
        return std::make_unique<SimulatedCentral>(world, delegate);
    };
}

void LightSimulator::setPoweredOn(bool on) { m_world->setPoweredOn(on); }

bool LightSimulator::isPoweredOn() const
{
    std::lock_guard lock(m_world->mutex());
    return m_world->poweredOnLocked();
}

void LightSimulator::waitIdle() { m_world->waitIdle(); }

void LightSimulator::setChangeObserver(ChangeObserver observer) { m_world->setObserver(std::move(observer)); }

}  // namespace lightdeck
