#include "bluetooth/simulated/simulated_central.h"

#include "bluetooth/simulated/central_session.h"

namespace lightdeck {

SimulatedCentral::SimulatedCentral(std::shared_ptr<SimulatorWorld> world, CentralDelegate& delegate)
    : m_session(std::make_shared<CentralSession>(std::move(world), delegate))
{
    m_session->start();
}

SimulatedCentral::~SimulatedCentral() { m_session->shutdown(); }

CentralState SimulatedCentral::state() const { return m_session->state(); }

void SimulatedCentral::scanForPeripherals(const std::vector<std::string>& serviceUuids, const ScanOptions& options)
{
    m_session->scanForPeripherals(serviceUuids, options);
}

void SimulatedCentral::stopScan() { m_session->stopScan(); }

bool SimulatedCentral::isScanning() const { return m_session->isScanning(); }

void SimulatedCentral::connect(const std::shared_ptr<Peripheral>& peripheral) { m_session->connect(peripheral); }

void SimulatedCentral::cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral)
{
    m_session->cancelPeripheralConnection(peripheral);
}

}  // namespace lightdeck
