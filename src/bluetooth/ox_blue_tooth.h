#pragma once
// OxBlueTooth, the Bluetooth manager: the one object through which the program
// reaches the lights. It owns a Central, scans for lights that advertise FFF0
// with manufacturer data starting 4C 4D or 4D 4C, keeps four maps of the lights
// (seen, connected, writable, under control), writes command frames to every
// light under control, keeps every report the lights send on FFF2 in per-mode
// lists, and tells one delegate (the device scan screen) about every change.
//
// Threads. Screens call every operation on the main thread; the central's
// callbacks, and so every delegate event but disConnectPeripheral, arrive on
// the central's "centralQueue". One mutex guards the maps, the report lists
// and the flags. Getters return snapshots (copies). The mutex is never held
// while calling out to the central, the delegate or the log, so a delegate may
// call back into the manager from any event.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bluetooth/central.h"
#include "bluetooth/report_store.h"
#include "common/ordered_map.h"
#include "protocol/bytes.h"

namespace lightdeck {

// Events of the manager. Every event has an empty default: a delegate
// overrides the ones it handles. All arrive on centralQueue except
// disConnectPeripheral, which arrives on the thread that called
// disConnectDevice.
class OxBlueToothDelegate {
public:
    virtual ~OxBlueToothDelegate() = default;

    // Last step of a completed connection, after service discovery started.
    virtual void didConnnetPeripheralSuccess(const std::shared_ptr<Peripheral>&) {}
    virtual void didConnnetPeripheralFailure(const std::shared_ptr<Peripheral>&) {}
    // At once when disConnectDevice is called, before the central confirms
    // the disconnection.
    virtual void disConnectPeripheral(const std::shared_ptr<Peripheral>&) {}
    // After a disconnection has been handled, and after the rescan that
    // follows a rename.
    virtual void refreshDeviceList() {}
    // Declared for completeness; the manager never sends it.
    virtual void didFindCharacteristic() {}
    // After an accepted discovery has been recorded in discoverDict.
    virtual void didDiscoverPeripheral(const std::shared_ptr<Peripheral>&) {}
};

class OxBlueTooth final : private CentralDelegate {
public:
    using PeripheralMap = std::vector<std::pair<std::string, std::shared_ptr<Peripheral>>>;
    using CharacteristicMap = std::vector<std::pair<std::string, std::shared_ptr<Characteristic>>>;
    using ConnectMap = std::vector<std::pair<std::string, int>>;

    // A manager on its own central, created at once as startBlueTooth does.
    explicit OxBlueTooth(CentralFactory factory);
    // Stops the central (no callback runs after this returns).
    ~OxBlueTooth() override;

    OxBlueTooth(const OxBlueTooth&) = delete;
    OxBlueTooth& operator=(const OxBlueTooth&) = delete;

    // The program's one manager, created on the first call with the factory
    // given to setSharedCentralFactory (a simulated central with no lights
    // when none was given). Never destroyed.
    static OxBlueTooth& sharedInstance();
    // Must be called before the first sharedInstance(); later calls are
    // ignored (and logged).
    static void setSharedCentralFactory(CentralFactory factory);

    // Hex text to bytes: an odd length makes the first character a chunk of
    // its own ("abc" -> 0A BC). Empty text gives nothing. Logs "hexData = ".
    static std::optional<Bytes> convertHexStrToData(std::string_view hex);
    // Bytes to lower-case hex text, two digits a byte ("aa040f").
    static std::string convertDataToHexStr(const Bytes& data);

    void setDelegate(std::weak_ptr<OxBlueToothDelegate> delegate);
    // Service used as the scan filter ("FFF0"). Scans need it set.
    void setUuidString(std::string uuid);
    std::string uuidString() const;
    // UUID of the command characteristic ("FFF1").
    void setCharacteristicID(std::string uuid);
    std::string characteristicID() const;

    // Starts a scan at once when the central is powered on; otherwise the
    // scan starts when it reports powered on. The argument is not used.
    void startScannWithIdentifier(std::string_view identifier);
    void stopScann();
    // Stops scanning, then asks the central to connect the light.
    void connectToDevice(std::shared_ptr<Peripheral> peripheral);
    // Sends disConnectPeripheral, then asks the central to drop the light; the
    // central's confirmation (refreshDeviceList) always comes after the event.
    void disConnectDevice(std::shared_ptr<Peripheral> peripheral);

    // Writes the bytes, with response, to every light that is under control
    // and whose command characteristic has been found.
    void writeDataWithData(const Bytes& data);
    // The same for a frame given as hex text; text that converts to no bytes
    // writes nothing.
    void writeDataWithHexStr(std::string_view hex);

    // Set before a rename message is written: every write completion then
    // waits renameSettleDelay on centralQueue, rescans and sends
    // refreshDeviceList, until the flag is cleared.
    void setIsChangeName(bool changing);
    bool isChangeName() const;
    // 3 s by default; tests shorten it.
    void setRenameSettleDelay(std::chrono::milliseconds delay);

    // Snapshots of the maps, in each map's own (insertion) order.
    PeripheralMap discoverDict() const;
    ConnectMap connectDict() const;
    CharacteristicMap characterDict() const;
    PeripheralMap controlDict() const;

    // Replaces the lights under control.
    void setControlDict(PeripheralMap lights);
    // Removes from discoverDict every light whose state is not connected
    // (done by the scan screen before each scan).
    void removeUnconnectedFromDiscoverDict();
    // The device picker's tick for a connected light (0 or 1); ignored for a
    // light not in connectDict.
    void setPickFlag(const std::string& identifier, int flag);

    // The light most recently connected.
    std::shared_ptr<Peripheral> peripheral() const;
    CentralState centralState() const;

    // Every report of that list, in order of arrival (copies).
    std::vector<Bytes> reports(ReportList list) const;
    // Number of reports in that list.
    std::size_t reportCount(ReportList list) const;
    // Heap bytes the stored reports take (see ReportStore).
    std::size_t reportMemoryBytes() const;
    // Calls back, on the caller's thread, with each marker byte (above F0)
    // found at that position of the list's reports, in order of arrival.
    // Reports too short to have that position are skipped. The lists are
    // read under the lock, the callback runs without it.
    void shieldModulesFromData(ReportList list, std::size_t index,
                               const std::function<void(std::uint8_t)>& returnByte) const;

private:
    // CentralDelegate, all on centralQueue.
    void centralDidUpdateState(CentralState state) override;
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                               const AdvertisementData& advertisement, int rssi) override;
    void didConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral) override;
    void didFailToConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                    const std::optional<CentralError>& error) override;
    void didDisconnectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                 const std::optional<CentralError>& error) override;
    void didDiscoverServices(const std::shared_ptr<Peripheral>& peripheral,
                             const std::optional<CentralError>& error) override;
    void didDiscoverCharacteristics(const std::shared_ptr<Peripheral>& peripheral,
                                    const std::shared_ptr<Service>& service,
                                    const std::optional<CentralError>& error) override;
    void didUpdateValue(const std::shared_ptr<Peripheral>& peripheral,
                        const std::shared_ptr<Characteristic>& characteristic,
                        const std::optional<CentralError>& error) override;
    void didWriteValue(const std::shared_ptr<Peripheral>& peripheral,
                       const std::shared_ptr<Characteristic>& characteristic,
                       const std::optional<CentralError>& error) override;
    void didUpdateName(const std::shared_ptr<Peripheral>& peripheral) override;

    // The state handler: scans when powered on and a service filter is set.
    void updateScanForState();
    std::shared_ptr<OxBlueToothDelegate> lockedDelegate() const;
    // The targets of one frame: (light, command characteristic) pairs, in
    // characterDict order. Kept between frames and built again only after
    // characterDict or controlDict changed, so a frame to a large group costs
    // one reference count, not a join of the two maps.
    using WriteTargets = std::vector<std::pair<std::shared_ptr<Peripheral>, std::shared_ptr<Characteristic>>>;
    std::shared_ptr<const WriteTargets> writeTargets() const;

    mutable std::mutex m_mutex;
    // Wakes the rename settle wait early when the manager is destroyed.
    std::condition_variable m_stopSignal;
    bool m_stopping = false;
    OrderedMap<std::string, std::shared_ptr<Peripheral>> m_discoverDict;
    OrderedMap<std::string, int> m_connectDict;
    OrderedMap<std::string, std::shared_ptr<Characteristic>> m_characterDict;
    OrderedMap<std::string, std::shared_ptr<Peripheral>> m_controlDict;
    std::string m_uuidString;
    std::string m_characteristicID;
    std::shared_ptr<Peripheral> m_peripheral;
    std::weak_ptr<OxBlueToothDelegate> m_delegate;
    bool m_isChangeName = false;
    std::chrono::milliseconds m_renameSettleDelay{3000};
    CentralState m_state = CentralState::Unknown;
    ReportStore m_reports;
    // Built by writeTargets(), dropped whenever the maps it joins change.
    mutable std::shared_ptr<const WriteTargets> m_writeTargets;

    // The central as the callbacks see it: published once the factory has
    // returned, withdrawn first thing in the destructor.
    Central* central() const { return m_central.load(); }
    std::atomic<Central*> m_central{nullptr};
    // Last member: destroyed first, so no callback outlives the fields above.
    std::unique_ptr<Central> m_centralManager;
};

}  // namespace lightdeck
