#pragma once
// The fake BlueZ (tests/fakebluez/fake_bluez.py) on the private bus it starts,
// and calls on its control interface org.lightdeck.FakeBluez1. A call the
// fake refuses fails the running test.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <string>

namespace lightdeck::testing {

// Starts the fake and points Qt at its bus; an empty text, or what went wrong.
QString startFakeBluez();
void stopFakeBluez();
QVariant fakeBluez(const QString& method, const QVariantList& args = {});
// A light as the fake sees it: "connected" or "-", "notifying" or "-", the
// number of Connect calls, then each value written to FFF1 in hex.
QStringList fakeLight(const QString& address);
// Polls the condition until it holds or a generous deadline passes.
bool waitUntil(const std::function<bool()>& condition);

inline std::string idOf(const QString& address)
{
    return "00000000-0000-0000-0000-" + QString(address).remove(QLatin1Char(':')).toStdString();
}

}  // namespace lightdeck::testing
