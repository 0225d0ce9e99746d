// Conversions between Qt Bluetooth's types and the central's, where a naive
// reading of Qt's API goes wrong: repeated manufacturer ids, services listed
// twice, BlueZ's made-up names. UUID texts are shown end to end by the
// central's tests (the filter, FFF1 and FFF2).
#include <QBluetoothAddress>
#include <QBluetoothDeviceInfo>

#include <gtest/gtest.h>

#include "bluetooth/qt/qt_conversions.h"

namespace lightdeck {
namespace {

QBluetoothDeviceInfo device(const QString& name = QStringLiteral("Light"))
{
    QBluetoothDeviceInfo info(QBluetoothAddress(QStringLiteral("AA:BB:CC:DD:EE:01")), name, 0);
    info.setCoreConfigurations(QBluetoothDeviceInfo::LowEnergyCoreConfiguration);
    return info;
}

TEST(QtConversions, ManufacturerBytesPutTheCompanyIdLowByteFirstAndPreferTheLightsIds)
{
    struct Row {
        std::vector<std::pair<quint16, const char*>> records;  // id, payload in hex
        std::optional<Bytes> expected;
    };
    const Row rows[] = {
        {{}, std::nullopt},
        {{{0x4D4C, "0102"}}, Bytes{0x4C, 0x4D, 0x01, 0x02}},
        {{{0x4D4C, "0102"}, {0x4D4C, "0102"}}, Bytes{0x4C, 0x4D, 0x01, 0x02}},  // an id given twice: one record
        {{{0x4C4D, "03"}}, Bytes{0x4D, 0x4C, 0x03}},
        {{{0x4D4C, ""}}, Bytes{0x4C, 0x4D}},
        {{{0x004C, "0215"}}, Bytes{0x4C, 0x00, 0x02, 0x15}},
        {{{0x0006, "AA"}, {0x4D4C, "01"}}, Bytes{0x4C, 0x4D, 0x01}},  // the light's id first
        {{{0x0075, "01"}, {0x0006, "02"}}, Bytes{0x06, 0x00, 0x02}},  // two foreign: the lowest id
    };
    for (const auto& row : rows) {
        QBluetoothDeviceInfo info = device();
        for (const auto& [id, payload] : row.records)
            info.setManufacturerData(id, QByteArray::fromHex(payload));
        EXPECT_EQ(qtconv::manufacturerBytes(info), row.expected) << row.records.size() << " records";
    }
}

TEST(QtConversions, AdvertisementKeepsServicesOnceAndDropsBluezMadeUpNames)
{
    QBluetoothDeviceInfo info = device(QStringLiteral("AA-BB-CC-DD-EE-01"));
    info.setServiceUuids({QBluetoothUuid(quint16(0xFFF0)), QBluetoothUuid(quint16(0xFFF0)), QBluetoothUuid(quint16(0x180F))});
    const AdvertisementData data = qtconv::advertisementOf(info);
    EXPECT_EQ(data.serviceUuids, (std::vector<std::string>{"FFF0", "180F"}));
    EXPECT_EQ(data.localName, "");
    EXPECT_TRUE(qtconv::matchesServiceFilter(data, {"FFF0"}));
    EXPECT_TRUE(qtconv::matchesServiceFilter(data, {}));
    EXPECT_FALSE(qtconv::matchesServiceFilter(data, {"FFF1"}));
    EXPECT_EQ(qtconv::advertisementOf(device(QStringLiteral("灯 A"))).localName, "灯 A");
}

}  // namespace
}  // namespace lightdeck
