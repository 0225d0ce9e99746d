#include "bluetooth/qt/central_outlives_application.h"

#include <QCoreApplication>
#include <QString>

#include <chrono>
#include <memory>

#include "bluetooth/qt/qt_bluetooth_central.h"
#include "bluetooth/qt/recording_delegate.h"

namespace lightdeck::testing {

int runCentralThatOutlivesTheApplication(const char* program, const char* address)
{
    using namespace std::chrono_literals;
    // Statics, like the shared manager: the delegate outlives the central.
    static RecordingDelegate delegate;
    static std::unique_ptr<QtBluetoothCentral> central;

    int argc = 1;
    char* argv[] = {const_cast<char*>(program), nullptr};
    {
        QCoreApplication app(argc, argv);
        const std::string id =
            "00000000-0000-0000-0000-" + QString::fromLatin1(address).remove(QLatin1Char(':')).toUpper().toStdString();
        central = std::make_unique<QtBluetoothCentral>(delegate, 10s);
        if (!delegate.waitFor([](const CentralEvent& e) {
                return e.kind == CentralEvent::Kind::State && e.state == CentralState::PoweredOn;
            }))
            return 2;
        central->scanForPeripherals({"FFF0"}, {});
        auto found = delegate.waitFor(is(CentralEvent::Kind::Discover, id));
        if (!found)
            return 3;
        central->stopScan();
        central->connect(found->peripheral);
        if (!delegate.waitFor(is(CentralEvent::Kind::Connect, id)))
            return 4;
    }
    // The application object is gone; the central goes with the statics.
    return delegate.threadViolations() == 0 ? 0 : 5;
}

}  // namespace lightdeck::testing
