#include "bluetooth/qt/qt_conversions.h"

#include <QBluetoothAddress>

#include <algorithm>
#include <cctype>

namespace lightdeck::qtconv {
namespace {

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool isHex(const std::string& text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

}  // namespace

std::string uuidText(const QBluetoothUuid& uuid)
{
    bool isShort = false;
    const quint16 value = uuid.toUInt16(&isShort);
    if (isShort)
        return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper().toStdString();
    return uuid.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

QBluetoothUuid uuidFromText(const std::string& text)
{
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (isHex(digits) && digits.size() == 4)
        return QBluetoothUuid(static_cast<quint16>(std::stoul(digits, nullptr, 16)));
    if (isHex(digits) && digits.size() == 8)
        return QBluetoothUuid(static_cast<quint32>(std::stoul(digits, nullptr, 16)));
    return QBluetoothUuid(QString::fromStdString(text));
}

std::string normalizeUuidText(const std::string& text)
{
    const QBluetoothUuid uuid = uuidFromText(text);
    return uuid.isNull() ? upper(text) : uuidText(uuid);
}

std::string identifierFor(const QBluetoothDeviceInfo& info)
{
    const QBluetoothAddress address = info.address();
    if (!address.isNull()) {
        const QString hex = QStringLiteral("%1").arg(address.toUInt64(), 12, 16, QLatin1Char('0'));
        return "00000000-0000-0000-0000-" + hex.toUpper().toStdString();
    }
    return info.deviceUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

std::optional<Bytes> manufacturerBytes(const QBluetoothDeviceInfo& info)
{
    const QList<quint16> ids = info.manufacturerIds();
    if (ids.isEmpty())
        return std::nullopt;
    std::optional<quint16> chosen;
    for (quint16 id : kLightCompanyIds) {
        if (ids.contains(id)) {
            chosen = id;
            break;
        }
    }
    if (!chosen)
        chosen = *std::min_element(ids.begin(), ids.end());
    Bytes raw{static_cast<std::uint8_t>(*chosen & 0xFF), static_cast<std::uint8_t>(*chosen >> 8)};
    const Bytes payload = toBytes(info.manufacturerData(*chosen));
    raw.insert(raw.end(), payload.begin(), payload.end());
    return raw;
}

std::string advertisedName(const QBluetoothDeviceInfo& info)
{
    QString name = info.name();
    if (!info.address().isNull()) {
        QString madeUp = info.address().toString();
        madeUp.replace(QLatin1Char(':'), QLatin1Char('-'));
        if (name.compare(madeUp, Qt::CaseInsensitive) == 0)
            name.clear();
    }
    return name.toStdString();
}

AdvertisementData advertisementOf(const QBluetoothDeviceInfo& info)
{
    AdvertisementData data;
    data.manufacturerData = manufacturerBytes(info);
    for (const QBluetoothUuid& uuid : info.serviceUuids()) {
        std::string text = uuidText(uuid);
        if (std::find(data.serviceUuids.begin(), data.serviceUuids.end(), text) == data.serviceUuids.end())
            data.serviceUuids.push_back(std::move(text));
    }
    data.localName = advertisedName(info);
    return data;
}

bool sameAdvertisement(const AdvertisementData& a, const AdvertisementData& b)
{
    return a.manufacturerData == b.manufacturerData && a.serviceUuids == b.serviceUuids
        && a.localName == b.localName;
}

bool matchesServiceFilter(const AdvertisementData& advertisement,
                          const std::vector<std::string>& normalizedFilter)
{
    if (normalizedFilter.empty())
        return true;
    return std::any_of(advertisement.serviceUuids.begin(), advertisement.serviceUuids.end(),
                       [&](const std::string& uuid) {
                           return std::find(normalizedFilter.begin(), normalizedFilter.end(), uuid)
                               != normalizedFilter.end();
                       });
}

Bytes toBytes(const QByteArray& data)
{
    return Bytes(reinterpret_cast<const std::uint8_t*>(data.constData()),
                 reinterpret_cast<const std::uint8_t*>(data.constData()) + data.size());
}

QByteArray toByteArray(const Bytes& data)
{
    return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
}

}  // namespace lightdeck::qtconv
