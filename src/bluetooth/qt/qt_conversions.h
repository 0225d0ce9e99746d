#pragma once
// Conversions between Qt Bluetooth's types and the central interface's
// Qt-free ones: UUID texts, peripheral identifiers, advertisement data.

#include <QBluetoothDeviceInfo>
#include <QBluetoothUuid>
#include <QByteArray>

#include <optional>
#include <string>
#include <vector>

#include "bluetooth/central.h"
#include "protocol/bytes.h"

namespace lightdeck::qtconv {

// Company ids whose data the lights send: bytes 4C 4D and 4D 4C on the air
// (the id is sent low byte first).
inline constexpr quint16 kLightCompanyIds[] = {0x4D4C, 0x4C4D};

// Upper-case UUID text as the central interface gives it: the 4-digit short
// form for a 16-bit UUID on the Bluetooth base ("FFF0"), otherwise the full
// form without braces ("0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E79E").
std::string uuidText(const QBluetoothUuid& uuid);
// The same normalisation for text: "fff0", "0xFFF0" and
// "0000fff0-0000-1000-8000-00805f9b34fb" all give "FFF0". Text that is not
// a UUID comes back upper-cased.
std::string normalizeUuidText(const std::string& text);
// Text to a QBluetoothUuid: 4 or 8 hex digits are short forms on the base.
// A null UUID when the text is not one.
QBluetoothUuid uuidFromText(const std::string& text);

// The peripheral identifier, upper-case UUID text, stable for a light.
// On Linux Qt knows a light by its Bluetooth address, not a UUID: the address
// becomes the last 12 digits after 24 zero digits, so AA:BB:CC:DD:EE:01 is
// "00000000-0000-0000-0000-AABBCCDDEE01" (readable, reversible, and stable
// across runs for lights with a public address). Where Qt gives a device UUID
// instead (Apple platforms), that UUID is used.
std::string identifierFor(const QBluetoothDeviceInfo& info);

// The raw manufacturer bytes as on the air: company id low byte, high byte,
// then the payload. The lights' ids (kLightCompanyIds) win over others, as
// Qt's id list can repeat ids and its order varies; otherwise the lowest id
// present. Absent when the advertisement has no manufacturer data.
std::optional<Bytes> manufacturerBytes(const QBluetoothDeviceInfo& info);

// The advertised name, empty when the light gave none (BlueZ then makes one
// up from the address, "AA-BB-CC-DD-EE-01", which is not the light's name).
std::string advertisedName(const QBluetoothDeviceInfo& info);

// Everything the central reports about one advertisement.
AdvertisementData advertisementOf(const QBluetoothDeviceInfo& info);
bool sameAdvertisement(const AdvertisementData& a, const AdvertisementData& b);

// True when the filter is empty or the advertisement lists one of its
// services (both sides normalised by normalizeUuidText).
bool matchesServiceFilter(const AdvertisementData& advertisement,
                          const std::vector<std::string>& normalizedFilter);

Bytes toBytes(const QByteArray& data);
QByteArray toByteArray(const Bytes& data);

}  // namespace lightdeck::qtconv
