#pragma once
// The application's entry to the Qt Bluetooth central, with Qt-free
// signatures so that start-up code can choose a backend without Qt Bluetooth
// headers. Call order at start-up, after the QCoreApplication/QApplication
// exists and before anything else touches Qt Bluetooth:
//
//   prepareQtBluetoothEnvironment();
//   if (bluetoothAdapterPresent())
//       OxBlueTooth::setSharedCentralFactory(qtBluetoothCentralFactory());

#include <chrono>

#include "bluetooth/central.h"

namespace lightdeck {

struct QtCentralOptions {
    // How long a connection attempt may take until the light's services are
    // resolved; zero or less waits for ever. BlueZ's D-Bus interface has no
    // limit of its own, and a light out of range would stay "connecting".
    std::chrono::milliseconds connectTimeout{10000};
};

// Makes Qt Bluetooth use BlueZ's D-Bus API for the central role. Qt picks it
// only when it can tell that bluetoothd is 5.42 or later, and it finds the
// version by running the daemon's executable, which an ordinary user usually
// cannot see; it then falls back to raw kernel sockets that need privileges.
// Sets BLUETOOTH_FORCE_DBUS_LE_VERSION to the installed bluetoothd's version
// ("5.66" when it cannot be found), unless the variable is set already or the
// installed daemon is older than 5.42. Must run before Qt Bluetooth is first
// used: Qt reads the variable once.
void prepareQtBluetoothEnvironment();

// True when Qt Bluetooth sees at least one local adapter (BlueZ running and an
// adapter present, powered or not).
bool bluetoothAdapterPresent();

// Creates QtBluetoothCentral instances.
CentralFactory qtBluetoothCentralFactory(QtCentralOptions options = {});

}  // namespace lightdeck
