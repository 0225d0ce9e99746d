#pragma once
// A simulator, a recording delegate and a central on them, with the steps the
// manager takes spelled out as helpers. For the simulator's own tests.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "bluetooth/simulated/light_simulator.h"
#include "support/recording_central_delegate.h"

namespace lightdeck::testing {

inline Bytes frame(std::uint8_t command, std::uint8_t b2 = 0, std::uint8_t b3 = 0, std::uint8_t b4 = 0,
                   std::uint8_t b5 = 0)
{
    return {0xAA, command, b2, b3, b4, b5, 0xBB};
}

inline Bytes renameMessage(const std::string& name)
{
    Bytes message{0xAA, 0x00};
    message.insert(message.end(), name.begin(), name.end());
    return message;
}

// One connected light as the test sees it.
struct Connection {
    std::shared_ptr<Peripheral> peripheral;
    std::shared_ptr<Characteristic> command;  // FFF1
    std::shared_ptr<Characteristic> report;   // FFF2
};

struct SimulatorRig {
    using Kind = CentralEvent::Kind;

    explicit SimulatorRig(SimulatorOptions options = {})
        : simulator(options)
    {
    }

    // Members in this order: the central goes first, the delegate outlives it.
    LightSimulator simulator;
    RecordingDelegate delegate;
    std::unique_ptr<Central> central;

    void start()
    {
        central = simulator.centralFactory()(delegate);
        simulator.waitIdle();
    }

    std::shared_ptr<Peripheral> discover(const VirtualLight& light)
    {
        central->scanForPeripherals({"FFF0"}, {});
        simulator.waitIdle();
        central->stopScan();
        return delegate.discovered(light.identifier());
    }

    // Scan, connect, discover services and characteristics: the manager's way.
    Connection connect(const VirtualLight& light)
    {
        Connection connection;
        connection.peripheral = discover(light);
        EXPECT_TRUE(connection.peripheral) << light.identifier();
        if (!connection.peripheral)
            return connection;
        central->connect(connection.peripheral);
        simulator.waitIdle();
        connection.peripheral->discoverServices();
        simulator.waitIdle();
        for (const auto& service : connection.peripheral->services())
            connection.peripheral->discoverCharacteristics(service);
        simulator.waitIdle();
        for (const auto& service : connection.peripheral->services()) {
            for (const auto& characteristic : service->characteristics()) {
                if (characteristic->uuid() == "FFF1")
                    connection.command = characteristic;
                if (characteristic->uuid() == "FFF2")
                    connection.report = characteristic;
            }
        }
        EXPECT_TRUE(connection.command && connection.report);
        return connection;
    }

    void write(const Connection& connection, const Bytes& value, WriteType type = WriteType::WithResponse)
    {
        connection.peripheral->writeValue(value, connection.command, type);
        simulator.waitIdle();
    }

    // Holds the central's queue inside the first callback that `trigger`
    // causes, runs `whileHeld` on the test's thread, then lets the queue go
    // and waits for it to drain. What whileHeld requests is thus sure to be
    // queued behind that callback.
    void holdQueue(const std::function<void()>& trigger, const std::function<void()>& whileHeld)
    {
        std::promise<void> entered;
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<bool> armed{true};
        delegate.setHook([&](const CentralEvent&) {
            if (armed.exchange(false)) {
                entered.set_value();
                released.wait();
            }
        });
        trigger();
        entered.get_future().wait();
        whileHeld();
        release.set_value();
        simulator.waitIdle();
        delegate.setHook(nullptr);
    }
};

}  // namespace lightdeck::testing
