#include "support/ui_test_support.h"

namespace lightdeck::testing {

QPointingDevice* touchDevice()
{
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

void processEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace lightdeck::testing
