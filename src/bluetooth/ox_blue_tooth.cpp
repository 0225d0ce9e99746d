#include "bluetooth/ox_blue_tooth.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "common/log.h"
#include "common/log_text.h"
#include "protocol/hex_text.h"

namespace lightdeck {
namespace {

// The accepted starts of the manufacturer data (company id bytes as on the air).
constexpr std::uint8_t kFiltData1[2] = {0x4C, 0x4D};
constexpr std::uint8_t kFiltData2[2] = {0x4D, 0x4C};

// The characteristic on which the lights report.
constexpr const char* kReportCharacteristic = "FFF2";

bool sameUuid(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool acceptedManufacturerData(const std::optional<Bytes>& data)
{
    // Data shorter than the two company-id bytes cannot match either start.
    if (!data || data->size() < 2)
        return false;
    const auto& d = *data;
    return (d[0] == kFiltData1[0] && d[1] == kFiltData1[1]) || (d[0] == kFiltData2[0] && d[1] == kFiltData2[1]);
}

void logBytesPerByte(const Bytes& bytes)
{
    if (!log::debugEnabled())
        return;
    char line[16];
    for (std::uint8_t b : bytes) {
        std::snprintf(line, sizeof line, "--byte: %x ", b);
        log::debug(line);
    }
}

std::string describe(const OrderedMap<std::string, std::shared_ptr<Peripheral>>& map)
{
    std::string text = "{";
    for (const auto& [id, p] : map.entries()) {
        text += "\n    " + id + " = " + (p && !p->name().empty() ? escapedForLog(p->name()) : std::string("(no name)")) + ";";
    }
    return text + (map.empty() ? "}" : "\n}");
}

std::string describe(const OrderedMap<std::string, int>& map)
{
    std::string text = "{";
    for (const auto& [id, flag] : map.entries())
        text += "\n    " + id + " = " + std::to_string(flag) + ";";
    return text + (map.empty() ? "}" : "\n}");
}

std::string describe(const std::optional<CentralError>& error)
{
    if (!error)
        return {};
    return " (" + std::to_string(error->code) + ": " + error->message + ")";
}

struct SharedFactory {
    std::mutex mutex;
    CentralFactory factory;
    bool instanceCreated = false;
};

SharedFactory& sharedFactory()
{
    static SharedFactory shared;
    return shared;
}

}  // namespace

OxBlueTooth::OxBlueTooth(CentralFactory factory)
{
    // The central may call back on its queue before the factory returns; those
    // callbacks see no central until it is published here.
    m_centralManager = factory ? factory(*this) : nullptr;
    m_central.store(m_centralManager.get());
    if (!m_centralManager) {
        log::warning("OxBlueTooth: no central stack; no light can be reached");
        std::lock_guard lock(m_mutex);
        m_state = CentralState::Unsupported;
    }
}

OxBlueTooth::~OxBlueTooth()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_central.store(nullptr);
    m_stopSignal.notify_all();
    // m_centralManager, the last member, is destroyed first: it stops its
    // queue and waits for a callback in progress.
}

OxBlueTooth& OxBlueTooth::sharedInstance()
{
    static OxBlueTooth* const instance = [] {
        auto& shared = sharedFactory();
        std::lock_guard lock(shared.mutex);
        shared.instanceCreated = true;
        // Never destroyed: the manager lives for the whole run.
        return new OxBlueTooth(shared.factory);
    }();
    return *instance;
}

void OxBlueTooth::setSharedCentralFactory(CentralFactory factory)
{
    auto& shared = sharedFactory();
    std::lock_guard lock(shared.mutex);
    if (shared.instanceCreated) {
        log::warning("OxBlueTooth: the shared manager exists already; its central is kept");
        return;
    }
    shared.factory = std::move(factory);
}

std::optional<Bytes> OxBlueTooth::convertHexStrToData(std::string_view hex)
{
    auto bytes = bytesFromHexText(hex);
    if (bytes)
        log::info("hexData = <" + hexTextFromBytes(*bytes) + ">");
    return bytes;
}

std::string OxBlueTooth::convertDataToHexStr(const Bytes& data) { return hexTextFromBytes(data); }

void OxBlueTooth::setDelegate(std::weak_ptr<OxBlueToothDelegate> delegate)
{
    std::lock_guard lock(m_mutex);
    m_delegate = std::move(delegate);
}

void OxBlueTooth::setUuidString(std::string uuid)
{
    std::lock_guard lock(m_mutex);
    m_uuidString = std::move(uuid);
}

std::string OxBlueTooth::uuidString() const
{
    std::lock_guard lock(m_mutex);
    return m_uuidString;
}

void OxBlueTooth::setCharacteristicID(std::string uuid)
{
    std::lock_guard lock(m_mutex);
    m_characteristicID = std::move(uuid);
}

std::string OxBlueTooth::characteristicID() const
{
    std::lock_guard lock(m_mutex);
    return m_characteristicID;
}

void OxBlueTooth::startScannWithIdentifier(std::string_view) { updateScanForState(); }

void OxBlueTooth::stopScann()
{
    if (Central* c = central())
        c->stopScan();
}

void OxBlueTooth::connectToDevice(std::shared_ptr<Peripheral> peripheral)
{
    Central* c = central();
    if (!peripheral || !c)
        return;
    c->stopScan();
    c->connect(peripheral);
}

void OxBlueTooth::disConnectDevice(std::shared_ptr<Peripheral> peripheral)
{
    if (!peripheral)
        return;
    // The event goes out before the request: the central answers on its own
    // queue and could otherwise confirm the disconnection (and so send
    // refreshDeviceList) before the delegate heard that it was asked for.
    if (auto delegate = lockedDelegate())
        delegate->disConnectPeripheral(peripheral);
    if (Central* c = central())
        c->cancelPeripheralConnection(peripheral);
}

void OxBlueTooth::writeDataWithData(const Bytes& data)
{
    // The map is described only when someone reads the line: with a large
    // group it costs more than the writes.
    if (log::infoEnabled()) {
        std::string connected;
        {
            std::lock_guard lock(m_mutex);
            connected = describe(m_connectDict);
        }
        log::info("已连接设备：" + connected + " \n");
    }
    // Every write is requested before any completes: the central sends them
    // on each light's own link at once, so a group changes together.
    const auto targets = writeTargets();
    for (const auto& [light, characteristic] : *targets)
        light->writeValue(data, characteristic, WriteType::WithResponse);
}

void OxBlueTooth::writeDataWithHexStr(std::string_view hex)
{
    const auto targets = writeTargets();
    for (const auto& [light, characteristic] : *targets) {
        auto bytes = convertHexStrToData(hex);
        if (!bytes)
            return;
        light->writeValue(*bytes, characteristic, WriteType::WithResponse);
    }
}

void OxBlueTooth::setIsChangeName(bool changing)
{
    std::lock_guard lock(m_mutex);
    m_isChangeName = changing;
}

bool OxBlueTooth::isChangeName() const
{
    std::lock_guard lock(m_mutex);
    return m_isChangeName;
}

void OxBlueTooth::setRenameSettleDelay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(m_mutex);
    m_renameSettleDelay = delay;
}

OxBlueTooth::PeripheralMap OxBlueTooth::discoverDict() const
{
    std::lock_guard lock(m_mutex);
    return m_discoverDict.entries();
}

OxBlueTooth::ConnectMap OxBlueTooth::connectDict() const
{
    std::lock_guard lock(m_mutex);
    return m_connectDict.entries();
}

OxBlueTooth::CharacteristicMap OxBlueTooth::characterDict() const
{
    std::lock_guard lock(m_mutex);
    return m_characterDict.entries();
}

OxBlueTooth::PeripheralMap OxBlueTooth::controlDict() const
{
    std::lock_guard lock(m_mutex);
    return m_controlDict.entries();
}

void OxBlueTooth::setControlDict(PeripheralMap lights)
{
    std::erase_if(lights, [](const auto& entry) { return !entry.second; });
    std::lock_guard lock(m_mutex);
    m_controlDict.assign(std::move(lights));
    m_writeTargets.reset();
}

void OxBlueTooth::removeUnconnectedFromDiscoverDict()
{
    std::lock_guard lock(m_mutex);
    m_discoverDict.eraseIf([](const std::string&, const std::shared_ptr<Peripheral>& p) {
        return !p || p->state() != PeripheralState::Connected;
    });
}

void OxBlueTooth::setPickFlag(const std::string& identifier, int flag)
{
    std::lock_guard lock(m_mutex);
    if (int* current = m_connectDict.get(identifier))
        *current = flag ? 1 : 0;
}

std::shared_ptr<Peripheral> OxBlueTooth::peripheral() const
{
    std::lock_guard lock(m_mutex);
    return m_peripheral;
}

CentralState OxBlueTooth::centralState() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::vector<Bytes> OxBlueTooth::reports(ReportList list) const
{
    std::lock_guard lock(m_mutex);
    return m_reports.reports(list);
}

std::size_t OxBlueTooth::reportCount(ReportList list) const
{
    std::lock_guard lock(m_mutex);
    return m_reports.size(list);
}

std::size_t OxBlueTooth::reportMemoryBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_reports.memoryBytes();
}

void OxBlueTooth::shieldModulesFromData(ReportList list, std::size_t index,
                                        const std::function<void(std::uint8_t)>& returnByte) const
{
    // The callback runs without the lock: it may call back into the manager.
    if (log::debugEnabled()) {
        // Every byte of every report is logged, between the callbacks, from a
        // snapshot (the log is never called with the lock held).
        for (const Bytes& report : reports(list)) {
            logBytesPerByte(report);
            if (index < report.size() && report[index] > 0xF0 && returnByte)
                returnByte(report[index]);
        }
        return;
    }
    // Without the per-byte lines only the markers matter: gather them in one
    // pass over the compact lists, no copy of the reports.
    std::vector<std::uint8_t> markers;
    {
        std::lock_guard lock(m_mutex);
        m_reports.collectMarkers(list, index, markers);
    }
    if (!returnByte)
        return;
    for (std::uint8_t marker : markers)
        returnByte(marker);
}

// --- central callbacks (centralQueue) ---------------------------------------

void OxBlueTooth::centralDidUpdateState(CentralState state)
{
    {
        std::lock_guard lock(m_mutex);
        m_state = state;
    }
    updateScanForState();
}

void OxBlueTooth::updateScanForState()
{
    Central* c = central();
    if (!c)
        return;
    const CentralState state = c->state();
    std::string service;
    {
        std::lock_guard lock(m_mutex);
        m_state = state;
        service = m_uuidString;
    }
    if (state != CentralState::PoweredOn)
        return;
    // The stack may report powered on before the scan screen has set the
    // service filter; the scan starts at the screen's first request instead.
    if (service.empty())
        return;
    c->scanForPeripherals({service}, ScanOptions{.allowDuplicates = false});
}

void OxBlueTooth::didDiscoverPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                        const AdvertisementData& advertisement, int)
{
    if (!peripheral || !acceptedManufacturerData(advertisement.manufacturerData))
        return;
    const bool logging = log::infoEnabled();
    std::string found;
    {
        std::lock_guard lock(m_mutex);
        m_discoverDict.set(peripheral->identifier(), peripheral);
        // The whole map, on every advertisement: built only when read.
        if (logging)
            found = describe(m_discoverDict);
    }
    if (logging)
        log::info("搜索到的设备：" + found);
    if (auto delegate = lockedDelegate())
        delegate->didDiscoverPeripheral(peripheral);
}

void OxBlueTooth::didConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral)
{
    if (!peripheral)
        return;
    log::info("连接成功");
    stopScann();
    {
        std::lock_guard lock(m_mutex);
        m_connectDict.set(peripheral->identifier(), 0);
        m_discoverDict.set(peripheral->identifier(), peripheral);
        m_peripheral = peripheral;
    }
    peripheral->discoverServices();
    if (auto delegate = lockedDelegate())
        delegate->didConnnetPeripheralSuccess(peripheral);
}

void OxBlueTooth::didFailToConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                             const std::optional<CentralError>& error)
{
    log::info("连接外围设备失败！" + describe(error));
    if (auto delegate = lockedDelegate())
        delegate->didConnnetPeripheralFailure(peripheral);
}

void OxBlueTooth::didDisconnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                          const std::optional<CentralError>& error)
{
    if (!peripheral)
        return;
    log::info("断开连接：" + peripheral->identifier() + describe(error));
    // The light leaves the lists of seen and connected lights whatever the
    // delegate is; it stays under control and keeps its characteristic, so a
    // reconnected light receives frames again without being chosen anew.
    {
        std::lock_guard lock(m_mutex);
        m_discoverDict.erase(peripheral->identifier());
        m_connectDict.erase(peripheral->identifier());
    }
    if (auto delegate = lockedDelegate())
        delegate->refreshDeviceList();
}

void OxBlueTooth::didDiscoverServices(const std::shared_ptr<Peripheral>& peripheral,
                                      const std::optional<CentralError>& error)
{
    if (!peripheral)
        return;
    if (error) {
        log::warning("服务发现失败" + describe(error));
        return;
    }
    for (const auto& service : peripheral->services())
        peripheral->discoverCharacteristics(service);
}

void OxBlueTooth::didDiscoverCharacteristics(const std::shared_ptr<Peripheral>& peripheral,
                                             const std::shared_ptr<Service>& service,
                                             const std::optional<CentralError>&)
{
    if (!peripheral || !service)
        return;
    const std::string wanted = characteristicID();
    for (const auto& characteristic : service->characteristics()) {
        if (!characteristic)
            continue;
        const std::string uuid = characteristic->uuid();
        if (!wanted.empty() && sameUuid(uuid, wanted)) {
            std::lock_guard lock(m_mutex);
            m_characterDict.set(peripheral->identifier(), characteristic);
            m_writeTargets.reset();
        }
        // Reports arrive as notifications: a stack delivers them only once
        // they are enabled.
        if (sameUuid(uuid, kReportCharacteristic))
            peripheral->setNotifyValue(true, characteristic);
    }
}

void OxBlueTooth::didUpdateValue(const std::shared_ptr<Peripheral>&,
                                 const std::shared_ptr<Characteristic>& characteristic,
                                 const std::optional<CentralError>&)
{
    if (!characteristic || !sameUuid(characteristic->uuid(), kReportCharacteristic))
        return;
    const std::optional<Bytes> value = characteristic->value();
    // Reports may come by the thousand a second: the hex text is built only
    // when the line is read.
    if (log::infoEnabled())
        log::info("特定的vale = <" + (value ? hexTextFromBytes(*value) : std::string("(null)")) + ">");
    if (!value)
        return;
    {
        // Into ALLData and the list of its mode; a report too short to carry
        // its mode byte stays in ALLData only.
        std::lock_guard lock(m_mutex);
        m_reports.append(*value);
    }
    logBytesPerByte(*value);
}

void OxBlueTooth::didWriteValue(const std::shared_ptr<Peripheral>& peripheral,
                                const std::shared_ptr<Characteristic>&, const std::optional<CentralError>& error)
{
    if (error)
        log::warning("写入失败" + std::string(peripheral ? "：" + peripheral->identifier() : "") + describe(error));
    else
        log::info("写入成功");

    std::chrono::milliseconds settle{};
    {
        std::unique_lock lock(m_mutex);
        if (!m_isChangeName || m_stopping)
            return;
        settle = m_renameSettleDelay;
        // The light needs time to take its new name before a new scan can
        // report it; this deliberately holds up centralQueue meanwhile.
        if (m_stopSignal.wait_for(lock, settle, [this] { return m_stopping; }))
            return;
    }
    startScannWithIdentifier("");
    if (auto delegate = lockedDelegate())
        delegate->refreshDeviceList();
}

void OxBlueTooth::didUpdateName(const std::shared_ptr<Peripheral>& peripheral)
{
    log::info("修改名字成功" + std::string(peripheral ? "：" + escapedForLog(peripheral->name()) : ""));
}

std::shared_ptr<OxBlueToothDelegate> OxBlueTooth::lockedDelegate() const
{
    std::lock_guard lock(m_mutex);
    return m_delegate.lock();
}

std::shared_ptr<const OxBlueTooth::WriteTargets> OxBlueTooth::writeTargets() const
{
    std::lock_guard lock(m_mutex);
    if (m_writeTargets)
        return m_writeTargets;
    auto targets = std::make_shared<WriteTargets>();
    // Lights under control by identifier, so the join is linear in the maps.
    std::unordered_map<std::string_view, const std::shared_ptr<Peripheral>*> control;
    control.reserve(m_controlDict.size());
    for (const auto& [id, light] : m_controlDict.entries())
        control.emplace(id, &light);
    for (const auto& [id, characteristic] : m_characterDict.entries()) {
        auto it = control.find(id);
        if (it != control.end() && *it->second && characteristic)
            targets->emplace_back(*it->second, characteristic);
    }
    m_writeTargets = std::move(targets);
    return m_writeTargets;
}

}  // namespace lightdeck
