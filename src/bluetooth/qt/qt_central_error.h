#pragma once
// Error codes carried by the Qt central's callbacks (CentralError::code).
//   0..99     a QLowEnergyController::Error number (connection, discovery)
//   100..199  100 + a QLowEnergyService::ServiceError number (write, notify)
//   1000..    the central's own, below.

#include <string>

#include "bluetooth/central.h"

namespace lightdeck {

enum class QtCentralErrorCode : int {
    ServiceErrorBase = 100,
    // The light did not connect within the connection timeout.
    ConnectTimeout = 1000,
    // A write or other request for a light that is not connected.
    NotConnected = 1001,
    // The adapter is powered off (or was switched off during the operation).
    PoweredOff = 1002,
    // The peripheral was not discovered by this central.
    UnknownPeripheral = 1003,
    // The link dropped without Qt naming a reason.
    ConnectionLost = 1004,
    // No such service or characteristic on the light (or not yet discovered).
    UnknownAttribute = 1005,
    // Characteristic discovery of a service failed.
    DiscoveryFailed = 1006,
};

inline CentralError makeCentralError(QtCentralErrorCode code, std::string message)
{
    return CentralError{static_cast<int>(code), std::move(message)};
}

}  // namespace lightdeck
