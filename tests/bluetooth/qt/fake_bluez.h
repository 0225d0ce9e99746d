#pragma once
// Calls on the control interface of the fake BlueZ (tests/fakebluez), which
// the test main starts on its private bus. A call the fake refuses fails the
// running test.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <string>

namespace lightdeck::testing {

QVariant fakeBluez(const QString& method, const QVariantList& args = {});
// A light as the fake sees it: "connected" or "-", "notifying" or "-", the
// number of Connect calls, then each value written to FFF1 in hex.
inline QStringList fakeLight(const QString& address)
{
    return fakeBluez(QStringLiteral("State"), {address}).toString().split(QLatin1Char(' '));
}
// Polls the condition until it holds or a generous deadline passes.
bool waitUntil(const std::function<bool()>& condition);

inline std::string idOf(const QString& address)
{
    return "00000000-0000-0000-0000-" + QString(address).remove(QLatin1Char(':')).toStdString();
}

}  // namespace lightdeck::testing
