// Conversions between Qt Bluetooth's types and the central's: the parts where
// a naive reading of Qt's API goes wrong (repeated manufacturer ids, 16-bit
// UUIDs in 128-bit form, BlueZ's made-up names).
#include <QBluetoothAddress>
#include <QBluetoothDeviceInfo>

#include <gtest/gtest.h>

#include "bluetooth/qt/qt_conversions.h"

namespace lightdeck {
namespace {

QBluetoothDeviceInfo device(const QString& address, const QString& name = QStringLiteral("Light"))
{
    QBluetoothDeviceInfo info(QBluetoothAddress(address), name, 0);
    info.setCoreConfigurations(QBluetoothDeviceInfo::LowEnergyCoreConfiguration);
    return info;
}

TEST(QtConversions, UuidTextsAreUpperCaseAndShortForBaseUuids)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"fff0", "FFF0"},
        {"FFF1", "FFF1"},
        {"0xfff2", "FFF2"},
        {"0000fff0-0000-1000-8000-00805f9b34fb", "FFF0"},
        {"{0000FFF0-0000-1000-8000-00805F9B34FB}", "FFF0"},
        {"0d3f2c1a-5b6e-4f70-8192-a3b4c5d6e79e", "0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E79E"},
        {"not a uuid", "NOT A UUID"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qtconv::normalizeUuidText(c.in), c.out) << c.in;
    EXPECT_EQ(qtconv::uuidText(QBluetoothUuid(quint16(0x2902))), "2902");
    EXPECT_EQ(qtconv::uuidFromText("FFF1"), QBluetoothUuid(quint16(0xFFF1)));
}

TEST(QtConversions, IdentifierIsTheAddressInUuidShape)
{
    EXPECT_EQ(qtconv::identifierFor(device(QStringLiteral("AA:BB:CC:DD:EE:01"))),
              "00000000-0000-0000-0000-AABBCCDDEE01");
    EXPECT_EQ(qtconv::identifierFor(device(QStringLiteral("0a:0b:0c:0d:0e:0f"))),
              "00000000-0000-0000-0000-0A0B0C0D0E0F");
    // Where Qt knows the light by a UUID (Apple platforms), that UUID is used.
    QBluetoothDeviceInfo byUuid(QBluetoothUuid(QStringLiteral("0d3f2c1a-5b6e-4f70-8192-a3b4c5d6e79e")),
                                QStringLiteral("Light"), 0);
    EXPECT_EQ(qtconv::identifierFor(byUuid), "0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E79E");
}

TEST(QtConversions, ManufacturerBytesPutCompanyIdLowByteFirstAndPreferTheLightsIds)
{
    struct Record {
        quint16 id;
        QByteArray data;
    };
    struct Case {
        const char* what;
        std::vector<Record> records;
        std::optional<Bytes> expected;
    };
    const Case cases[] = {
        {"none", {}, std::nullopt},
        {"4C 4D", {{0x4D4C, QByteArray::fromHex("0102")}}, Bytes{0x4C, 0x4D, 0x01, 0x02}},
        {"4D 4C", {{0x4C4D, QByteArray::fromHex("03")}}, Bytes{0x4D, 0x4C, 0x03}},
        {"id only", {{0x4D4C, QByteArray()}}, Bytes{0x4C, 0x4D}},
        {"foreign only", {{0x004C, QByteArray::fromHex("0215")}}, Bytes{0x4C, 0x00, 0x02, 0x15}},
        {"foreign first, light second",
         {{0x0006, QByteArray::fromHex("AA")}, {0x4D4C, QByteArray::fromHex("01")}},
         Bytes{0x4C, 0x4D, 0x01}},
        {"two foreign: lowest id", {{0x0075, QByteArray::fromHex("01")}, {0x0006, QByteArray::fromHex("02")}},
         Bytes{0x06, 0x00, 0x02}},
    };
    for (const auto& c : cases) {
        QBluetoothDeviceInfo info = device(QStringLiteral("AA:BB:CC:DD:EE:01"));
        for (const auto& r : c.records)
            info.setManufacturerData(r.id, r.data);
        EXPECT_EQ(qtconv::manufacturerBytes(info), c.expected) << c.what;
    }
}

TEST(QtConversions, ARepeatedManufacturerIdGivesOneRecord)
{
    QBluetoothDeviceInfo info = device(QStringLiteral("AA:BB:CC:DD:EE:01"));
    info.setManufacturerData(0x4D4C, QByteArray::fromHex("0102"));
    info.setManufacturerData(0x4D4C, QByteArray::fromHex("0102"));
    const auto bytes = qtconv::manufacturerBytes(info);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, (Bytes{0x4C, 0x4D, 0x01, 0x02}));
}

TEST(QtConversions, AdvertisementKeepsServicesOnceAndDropsBluezMadeUpNames)
{
    QBluetoothDeviceInfo info = device(QStringLiteral("AA:BB:CC:DD:EE:01"), QStringLiteral("AA-BB-CC-DD-EE-01"));
    info.setServiceUuids({QBluetoothUuid(quint16(0xFFF0)), QBluetoothUuid(quint16(0xFFF0)),
                          QBluetoothUuid(quint16(0x180F))});
    const AdvertisementData data = qtconv::advertisementOf(info);
    EXPECT_EQ(data.serviceUuids, (std::vector<std::string>{"FFF0", "180F"}));
    EXPECT_EQ(data.localName, "");
    EXPECT_FALSE(data.manufacturerData.has_value());

    EXPECT_TRUE(qtconv::matchesServiceFilter(data, {"FFF0"}));
    EXPECT_TRUE(qtconv::matchesServiceFilter(data, {}));
    EXPECT_FALSE(qtconv::matchesServiceFilter(data, {"FFF1"}));

    const QBluetoothDeviceInfo named = device(QStringLiteral("AA:BB:CC:DD:EE:01"), QStringLiteral("灯 A"));
    EXPECT_EQ(qtconv::advertisementOf(named).localName, "灯 A");
}

}  // namespace
}  // namespace lightdeck
