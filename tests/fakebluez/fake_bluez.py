#!/usr/bin/python3
# A fake BlueZ 5 for qtcentral_tests on a private bus it starts (and stops with its parent).

import ctypes
import os
import signal
import subprocess

import dbus
import dbus.bus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

ADAPTER, DEVICE = "org.bluez.Adapter1", "org.bluez.Device1"
CHARACTERISTIC, DESCRIPTOR = "org.bluez.GattCharacteristic1", "org.bluez.GattDescriptor1"
CONTROL = "org.lightdeck.FakeBluez1"


def uuid(short):
    return "0000%s-0000-1000-8000-00805f9b34fb" % short


def error(name, text="failed"):
    return dbus.exceptions.DBusException(text, name="org.bluez.Error." + name)


def manufacturer(text):
    # Records as hex, comma separated, company id low byte first: "4C4D0102".
    records = dbus.Dictionary({}, signature="qv")
    for raw in (bytes.fromhex(r) for r in text.split(",") if r):
        records[dbus.UInt16(raw[0] | raw[1] << 8)] = dbus.Array(raw[2:], signature="y", variant_level=1)
    return records


class Obj(dbus.service.Object):
    def __init__(self, fake, path, interface, props):
        self.fake, self.path, self.interface, self.props, self.exported = fake, path, interface, props, False

    def export(self):
        if not self.exported:
            dbus.service.Object.__init__(self, self.fake.bus, self.path)
            self.exported = True
            self.fake.root.InterfacesAdded(self.path, {self.interface: self.props})

    def unexport(self):
        if self.exported:
            self.fake.root.InterfacesRemoved(self.path, [self.interface])
            self.remove_from_connection()
            self.exported = False

    def update(self, **changes):
        changed = {k: v for k, v in changes.items() if self.props.get(k) != v}
        self.props.update(changed)
        if changed and self.exported:
            self.PropertiesChanged(self.interface, changed, [])

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.props[name]

    @dbus.service.signal("org.freedesktop.DBus.Properties", signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Adapter(Obj):
    def __init__(self, fake):
        super().__init__(fake, "/org/bluez/hci0", ADAPTER, {
            "Address": "00:1A:7D:DA:71:13", "Powered": True, "Discovering": False})

    @dbus.service.method(ADAPTER)
    def StartDiscovery(self):
        if not self.props["Powered"]:
            raise error("NotReady")
        self.update(Discovering=True)

    @dbus.service.method(ADAPTER)
    def StopDiscovery(self):
        self.update(Discovering=False)

    @dbus.service.method(ADAPTER, in_signature="a{sv}")
    def SetDiscoveryFilter(self, properties):
        pass


class Descriptor(Obj):
    @dbus.service.method(DESCRIPTOR, in_signature="a{sv}", out_signature="ay")
    def ReadValue(self, options):
        return self.props["Value"]


class Characteristic(Obj):
    def __init__(self, light, short, flags):
        path = light.path + "/service000a/char" + short
        super().__init__(light.fake, path, CHARACTERISTIC, {
            "UUID": uuid(short), "Service": dbus.ObjectPath(light.path + "/service000a"),
            "Value": dbus.Array([], signature="y"), "Notifying": False, "Flags": flags})
        self.light = light
        self.descriptor = Descriptor(light.fake, path + "/desc2902", DESCRIPTOR, {
            "UUID": uuid("2902"), "Characteristic": dbus.ObjectPath(path), "Value": dbus.Array([0, 0], signature="y")})

    @dbus.service.method(CHARACTERISTIC, in_signature="aya{sv}")
    def WriteValue(self, value, options):
        if not self.light.props["Connected"]:
            raise error("Failed", "Not connected")
        if self.light.fail_next_write:
            self.light.fail_next_write = False
            raise error("Failed")
        self.light.written.append(bytes(value).hex())

    @dbus.service.method(CHARACTERISTIC)
    def StartNotify(self):
        self.update(Notifying=True)


class Light(Obj):
    def __init__(self, fake, address, name, data, uuids):
        super().__init__(fake, "/org/bluez/hci0/dev_" + address.replace(":", "_"), DEVICE, {
            "Address": address, "Name": name, "Alias": name, "Connected": False, "ServicesResolved": False,
            "UUIDs": dbus.Array([u if len(u) > 4 else uuid(u) for u in uuids], signature="s"),
            "Adapter": dbus.ObjectPath("/org/bluez/hci0"), "RSSI": dbus.Int16(-60), "ManufacturerData": manufacturer(data)})
        self.service = Obj(fake, self.path + "/service000a", "org.bluez.GattService1", {
            "UUID": uuid("fff0"), "Device": dbus.ObjectPath(self.path), "Primary": True})
        self.fff1 = Characteristic(self, "fff1", ["write", "write-without-response"])
        self.fff2 = Characteristic(self, "fff2", ["notify"])
        self.gatt = [self.service, self.fff1, self.fff1.descriptor, self.fff2, self.fff2.descriptor]
        self.written, self.fail_next_write, self.plan, self.pending, self.connect_calls = [], False, None, None, 0

    @dbus.service.method(DEVICE, async_callbacks=("reply", "fail"))
    def Connect(self, reply, fail):
        self.connect_calls += 1
        plan, self.plan = self.plan, None
        if not self.fake.adapter.props["Powered"]:
            fail(error("NotReady"))
        elif any(light.pending for light in self.fake.lights.values()):
            fail(error("InProgress"))  # BlueZ runs one LE connection attempt at a time
        elif plan == "fail":
            fail(error("Failed", "Software caused connection abort"))
        else:
            self.pending = fail
            if plan == "resolve":  # linked, but the services never resolve
                self.update(Connected=True)
            elif plan != "reply":  # "reply": Connect never answers
                GLib.idle_add(self.resolve, reply)

    def resolve(self, reply):
        if self.pending:
            self.pending = None
            self.update(Connected=True)
            for obj in self.gatt:
                obj.export()
            self.update(ServicesResolved=True)
            reply()

    @dbus.service.method(DEVICE)
    def Disconnect(self):
        self.drop("Operation aborted")

    def drop(self, why="Connection lost"):
        if self.pending:
            self.pending(error("Failed", why))
            self.pending = None
        self.update(ServicesResolved=False)
        self.fff2.props["Notifying"] = False
        for obj in reversed(self.gatt):
            obj.unexport()
        self.update(Connected=False)


class Control(dbus.service.Object):
    """The object manager, and the tests' handle on lights by address."""

    def __init__(self, bus):
        super().__init__(bus, "/")
        self.bus, self.lights, self.root = bus, {}, self
        self.adapter = Adapter(self)
        self.adapter.export()

    @dbus.service.method("org.freedesktop.DBus.ObjectManager", out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        objects = [self.adapter] + [o for light in self.lights.values() for o in [light] + light.gatt]
        return {o.path: {o.interface: o.props} for o in objects if o.exported}

    @dbus.service.signal("org.freedesktop.DBus.ObjectManager", signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal("org.freedesktop.DBus.ObjectManager", signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass

    @dbus.service.method(CONTROL)
    def Reset(self):
        for light in list(self.lights.values()):
            light.drop()
            light.unexport()
        self.lights.clear()
        self.SetPowered(True)

    @dbus.service.method(CONTROL, in_signature="sssas")
    def AddLight(self, address, name, data, uuids):
        self.lights[address] = Light(self, address, name, data, uuids)
        self.lights[address].export()

    @dbus.service.method(CONTROL, in_signature="ss")
    def SetManufacturerData(self, address, data):
        self.lights[address].update(ManufacturerData=manufacturer(data))

    @dbus.service.method(CONTROL, in_signature="ss")
    def SetName(self, address, name):
        self.lights[address].update(Name=name, Alias=name)

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="b")
    def Notify(self, address, hex_value):
        # A value on FFF2; false when notifications are off.
        fff2 = self.lights[address].fff2
        if fff2.exported and fff2.props["Notifying"]:
            fff2.update(Value=dbus.Array(bytes.fromhex(hex_value), signature="y"))
            return True
        return False

    @dbus.service.method(CONTROL, in_signature="s", out_signature="s")
    def State(self, address):
        # "connected notifying 1 aa01 aa02": the link, FFF2, Connect calls, values written to FFF1.
        light = self.lights[address]
        words = ["connected" if light.props["Connected"] else "-", "notifying" if light.fff2.props["Notifying"] else "-"]
        return " ".join(words + [str(light.connect_calls)] + light.written)

    @dbus.service.method(CONTROL, in_signature="ss")
    def NextConnect(self, address, plan):
        # The next Connect: "fail"s, never "reply"s, or links but never "resolve"s the services.
        self.lights[address].plan = plan

    @dbus.service.method(CONTROL, in_signature="s")
    def FailNextWrite(self, address):
        self.lights[address].fail_next_write = True

    @dbus.service.method(CONTROL, in_signature="s")
    def Drop(self, address):
        self.lights[address].drop()

    @dbus.service.method(CONTROL, in_signature="b")
    def SetPowered(self, on):
        if not on:  # as BlueZ: discovery ends and every link drops before Powered turns false
            self.adapter.update(Discovering=False)
            for light in self.lights.values():
                light.drop("Adapter powered off")
        self.adapter.update(Powered=bool(on))

    @dbus.service.method(CONTROL, out_signature="b")
    def IsDiscovering(self):
        return self.adapter.props["Discovering"]


def main():
    # PR_SET_PDEATHSIG: the fake ends with the test binary, however it ends, and the bus with the fake.
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True,
                              preexec_fn=lambda: ctypes.CDLL(None).prctl(1, signal.SIGTERM))
    address = daemon.stdout.readline().strip()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(address)
    Control(bus)
    name = dbus.service.BusName("org.bluez", bus)  # held to the end; objects first: whoever sees it finds them
    print(address, flush=True)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGTERM, loop.quit)
    loop.run()
    os._exit(0)  # at once: the bus goes with us


if __name__ == "__main__":
    main()
