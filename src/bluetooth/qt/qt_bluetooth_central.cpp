#include "bluetooth/qt/qt_bluetooth_central.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <set>

#include "bluetooth/qt/qt_central_worker.h"
#include "bluetooth/qt/qt_peripheral.h"
#include "bluetooth/qt/qt_worker_post.h"
#include "common/log.h"

namespace lightdeck {
namespace {

// Live centrals, so that they can be stopped while the QCoreApplication still
// exists (the manager holding one may only be destroyed at exit).
std::mutex g_liveMutex;
std::set<QtBluetoothCentral*> g_live;
bool g_postRoutineAdded = false;

void stopLiveCentrals()
{
    std::set<QtBluetoothCentral*> live;
    {
        std::lock_guard lock(g_liveMutex);
        live = g_live;
        // Qt forgets its post routines once they have run.
        g_postRoutineAdded = false;
    }
    for (QtBluetoothCentral* central : live)
        central->shutdown();
}

void registerCentral(QtBluetoothCentral* central)
{
    std::lock_guard lock(g_liveMutex);
    g_live.insert(central);
    if (!g_postRoutineAdded) {
        qAddPostRoutine(stopLiveCentrals);
        g_postRoutineAdded = true;
    }
}

void unregisterCentral(QtBluetoothCentral* central)
{
    std::lock_guard lock(g_liveMutex);
    g_live.erase(central);
}

}  // namespace

QtBluetoothCentral::QtBluetoothCentral(CentralDelegate& delegate, std::chrono::milliseconds connectTimeout)
    : m_status(std::make_shared<QtCentralStatus>())
    , m_thread(std::make_unique<QThread>())
{
    m_thread->setObjectName(QStringLiteral("centralQueue"));
    m_worker = new QtCentralWorker(delegate, connectTimeout, m_status);
    m_post = std::make_shared<QtWorkerPost>(m_worker);
    m_worker->setPost(m_post);
    m_worker->moveToThread(m_thread.get());
    registerCentral(this);
    m_thread->start();
    m_post->post([](QtCentralWorker& worker) { worker.start(); });
}

QtBluetoothCentral::~QtBluetoothCentral() { shutdown(); }

void QtBluetoothCentral::shutdown()
{
    {
        std::lock_guard lock(m_shutdownMutex);
        if (m_shutDown)
            return;
        m_shutDown = true;
    }
    unregisterCentral(this);
    // Nothing is posted after this; what was posted before still runs, then
    // the worker ends the links and is deleted on its own thread.
    m_post->detach();
    QtCentralWorker* worker = m_worker;
    m_worker = nullptr;
    if (QThread::currentThread() == m_thread.get()) {
        log::warning("Qt central: stopped from its own queue; the thread is left to end by itself");
        worker->shutdown();
        worker->deleteLater();
        m_thread->quit();
        (void)m_thread.release();
        return;
    }
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            worker->shutdown();
            delete worker;
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    m_thread->wait();
    m_status->scanning = false;
}

CentralState QtBluetoothCentral::state() const { return m_status->state.load(); }

bool QtBluetoothCentral::isScanning() const { return m_status->scanning.load(); }

void QtBluetoothCentral::scanForPeripherals(const std::vector<std::string>& serviceUuids,
                                            const ScanOptions& options)
{
    if (m_status->state != CentralState::PoweredOn)
        return;
    // Set before posting, so that a refusal on the queue has the last word.
    m_status->scanning = true;
    if (!m_post->post([serviceUuids, options](QtCentralWorker& worker) { worker.scan(serviceUuids, options); }))
        m_status->scanning = false;
}

void QtBluetoothCentral::stopScan()
{
    m_status->scanning = false;
    m_post->post([](QtCentralWorker& worker) { worker.stopScan(); });
}

void QtBluetoothCentral::connect(const std::shared_ptr<Peripheral>& peripheral)
{
    if (!peripheral)
        return;
    // Shown at once; the queue confirms (or undoes) it. Never for another
    // central's peripheral: this central will refuse it.
    if (auto* ours = dynamic_cast<QtPeripheral*>(peripheral.get()); ours && ours->belongsTo(m_post.get()))
        ours->compareAndSetState(PeripheralState::Disconnected, PeripheralState::Connecting);
    m_post->post([peripheral](QtCentralWorker& worker) { worker.connectPeripheral(peripheral); });
}

void QtBluetoothCentral::cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral)
{
    if (!peripheral)
        return;
    if (auto* ours = dynamic_cast<QtPeripheral*>(peripheral.get()); ours && ours->belongsTo(m_post.get()))
        ours->compareAndSetState(PeripheralState::Connected, PeripheralState::Disconnecting);
    m_post->post([peripheral](QtCentralWorker& worker) { worker.cancelConnection(peripheral); });
}

}  // namespace lightdeck
