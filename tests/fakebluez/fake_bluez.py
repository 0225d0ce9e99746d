#!/usr/bin/python3
"""A fake BlueZ 5 daemon for Lightdeck's tests.

It owns the name org.bluez on a private "system" bus and exports what Qt
Bluetooth's D-Bus backend reads: the object manager at "/", one adapter
/org/bluez/hci0 (Adapter1), and lights as Device1 objects with ManufacturerData
and UUIDs. While a light is connected its GATT tree is exported under the
device: service FFF0 with FFF1 (write) and FFF2 (notify, with its 2902 client
configuration descriptor).

Tests drive it through org.lightdeck.FakeBluez1 at /org/lightdeck/FakeBluez:
add a light, change its advertisement or name, send a notification, read back
the values written, make the next connect fail or hang, drop a connection,
power the adapter off. See ControlObject below for the exact methods.

Run it with /usr/bin/python3 (it needs python3-dbus and python3-gi):
    fake_bluez.py --address unix:path=... [--watch-pid PID] [--bus-pid PID]
With --watch-pid it exits when that process is gone, and then also stops the
bus daemon given by --bus-pid, so a crashed test leaves nothing behind.
"""

import argparse
import os
import signal
import sys

import dbus
import dbus.bus
import dbus.exceptions
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PROPS = "org.freedesktop.DBus.Properties"
OBJECT_MANAGER = "org.freedesktop.DBus.ObjectManager"
ADAPTER = "org.bluez.Adapter1"
DEVICE = "org.bluez.Device1"
GATT_SERVICE = "org.bluez.GattService1"
GATT_CHARACTERISTIC = "org.bluez.GattCharacteristic1"
GATT_DESCRIPTOR = "org.bluez.GattDescriptor1"
CONTROL = "org.lightdeck.FakeBluez1"

ADAPTER_PATH = "/org/bluez/hci0"
CONTROL_PATH = "/org/lightdeck/FakeBluez"


def full_uuid(short):
    """16-bit UUID text ("fff0") to its 128-bit form on the Bluetooth base."""
    short = short.lower()
    if len(short) == 4:
        return "0000%s-0000-1000-8000-00805f9b34fb" % short
    return short


def short_uuid(uuid):
    uuid = uuid.lower()
    if len(uuid) == 36 and uuid.startswith("0000") and uuid.endswith("-0000-1000-8000-00805f9b34fb"):
        return uuid[4:8]
    return uuid


def bluez_error(name, message):
    return dbus.exceptions.DBusException(message, name="org.bluez.Error." + name)


def byte_array(values):
    return dbus.Array([dbus.Byte(v) for v in values], signature="y")


def manufacturer_dict(text):
    """Raw manufacturer records as hex text, comma separated: each record is
    the company id low byte, high byte, then the payload ("4C4D0102"). A record
    shorter than two bytes cannot be expressed through BlueZ and is rejected."""
    result = dbus.Dictionary({}, signature="qv")
    for record in filter(None, (r.strip() for r in text.split(","))):
        raw = bytes.fromhex(record)
        if len(raw) < 2:
            raise dbus.exceptions.DBusException("record shorter than a company id: " + record,
                                                name="org.lightdeck.Error.Invalid")
        company = raw[0] | (raw[1] << 8)
        result[dbus.UInt16(company)] = dbus.Array([dbus.Byte(b) for b in raw[2:]], signature="y",
                                                  variant_level=1)
    return result


class BluezObject(dbus.service.Object):
    """One exported object with a single BlueZ interface and its properties."""

    interface = None

    def __init__(self, daemon, path, props):
        self.daemon = daemon
        self.path = path
        self.props = props
        self.exported = False

    def export(self):
        if not self.exported:
            dbus.service.Object.__init__(self, self.daemon.bus, self.path)
            self.exported = True
            self.daemon.interfaces_added(self)

    def unexport(self):
        if self.exported:
            self.daemon.interfaces_removed(self)
            self.remove_from_connection()
            self.exported = False

    def update(self, **changes):
        """Sets properties and signals the ones that really changed."""
        changed = {}
        for key, value in changes.items():
            if key not in self.props or self.props[key] != value:
                self.props[key] = value
                changed[key] = value
        if changed and self.exported:
            self.PropertiesChanged(self.interface, dbus.Dictionary(changed, signature="sv"),
                                   dbus.Array([], signature="s"))

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface != self.interface or name not in self.props:
            raise dbus.exceptions.DBusException("No such property " + name,
                                                name="org.freedesktop.DBus.Error.InvalidArgs")
        return self.props[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        if interface != self.interface:
            return dbus.Dictionary({}, signature="sv")
        return dbus.Dictionary(self.props, signature="sv")

    @dbus.service.method(PROPS, in_signature="ssv", out_signature="")
    def Set(self, interface, name, value):
        if interface != self.interface or name not in self.props:
            raise dbus.exceptions.DBusException("No such property " + name,
                                                name="org.freedesktop.DBus.Error.InvalidArgs")
        self.on_set(name, value)

    def on_set(self, name, value):
        raise dbus.exceptions.DBusException("Property is read-only",
                                            name="org.freedesktop.DBus.Error.PropertyReadOnly")

    @dbus.service.signal(PROPS, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Adapter(BluezObject):
    interface = ADAPTER

    def __init__(self, daemon):
        super().__init__(daemon, ADAPTER_PATH, {
            "Address": dbus.String("00:1A:7D:DA:71:13"),
            "AddressType": dbus.String("public"),
            "Name": dbus.String("lightdeck-fake"),
            "Alias": dbus.String("lightdeck-fake"),
            "Class": dbus.UInt32(0),
            "Powered": dbus.Boolean(True),
            "Discoverable": dbus.Boolean(False),
            "DiscoverableTimeout": dbus.UInt32(180),
            "Pairable": dbus.Boolean(True),
            "PairableTimeout": dbus.UInt32(0),
            "Discovering": dbus.Boolean(False),
            "UUIDs": dbus.Array([], signature="s"),
            "Modalias": dbus.String("usb:v1D6Bp0246d0542"),
            "Roles": dbus.Array(["central", "peripheral"], signature="s"),
        })
        # Clients (unique bus names) that asked for discovery, as BlueZ keeps them.
        self.discovery_clients = set()

    def powered(self):
        return bool(self.props["Powered"])

    def on_set(self, name, value):
        if name == "Powered":
            self.daemon.set_powered(bool(value))
        elif name in ("Discoverable", "Pairable"):
            self.update(**{name: dbus.Boolean(bool(value))})
        elif name == "Alias":
            self.update(Alias=dbus.String(value))
        else:
            super().on_set(name, value)

    @dbus.service.method(ADAPTER, in_signature="", out_signature="", sender_keyword="sender")
    def StartDiscovery(self, sender=None):
        if not self.powered():
            raise bluez_error("NotReady", "Resource Not Ready")
        self.discovery_clients.add(sender)
        self.update(Discovering=dbus.Boolean(True))

    @dbus.service.method(ADAPTER, in_signature="", out_signature="", sender_keyword="sender")
    def StopDiscovery(self, sender=None):
        if not self.powered():
            raise bluez_error("NotReady", "Resource Not Ready")
        if sender not in self.discovery_clients:
            raise bluez_error("Failed", "No discovery started")
        self.discovery_clients.discard(sender)
        if not self.discovery_clients:
            self.update(Discovering=dbus.Boolean(False))

    @dbus.service.method(ADAPTER, in_signature="a{sv}", out_signature="")
    def SetDiscoveryFilter(self, properties):
        pass

    @dbus.service.method(ADAPTER, in_signature="", out_signature="as")
    def GetDiscoveryFilters(self):
        return dbus.Array(["UUIDs", "RSSI", "Pathloss", "Transport", "DuplicateData"], signature="s")

    @dbus.service.method(ADAPTER, in_signature="o", out_signature="")
    def RemoveDevice(self, path):
        light = self.daemon.light_by_path(str(path))
        if light is None:
            raise bluez_error("DoesNotExist", "Does Not Exist")
        self.daemon.remove_light(light)

    def stop_all_discovery(self):
        self.discovery_clients.clear()
        self.update(Discovering=dbus.Boolean(False))


class Descriptor(BluezObject):
    interface = GATT_DESCRIPTOR

    def __init__(self, daemon, characteristic, index, uuid):
        super().__init__(daemon, "%s/desc%04x" % (characteristic.path, index), {
            "UUID": dbus.String(full_uuid(uuid)),
            "Characteristic": dbus.ObjectPath(characteristic.path),
            "Value": byte_array([0, 0]),
            "Flags": dbus.Array(["read", "write"], signature="s"),
        })
        self.characteristic = characteristic

    @dbus.service.method(GATT_DESCRIPTOR, in_signature="a{sv}", out_signature="ay")
    def ReadValue(self, options):
        self.characteristic.light.require_connected()
        return self.props["Value"]

    @dbus.service.method(GATT_DESCRIPTOR, in_signature="aya{sv}", out_signature="")
    def WriteValue(self, value, options):
        self.characteristic.light.require_connected()
        # Real BlueZ refuses direct writes to the client configuration
        # descriptor; clients use StartNotify. Accept it anyway and map it.
        self.update(Value=byte_array(value))
        if short_uuid(self.props["UUID"]) == "2902":
            self.characteristic.set_notifying(len(value) > 0 and (value[0] & 0x03) != 0)


class Characteristic(BluezObject):
    interface = GATT_CHARACTERISTIC

    def __init__(self, daemon, service, index, uuid, flags):
        super().__init__(daemon, "%s/char%04x" % (service.path, index), {
            "UUID": dbus.String(full_uuid(uuid)),
            "Service": dbus.ObjectPath(service.path),
            "Value": byte_array([]),
            "Notifying": dbus.Boolean(False),
            "Flags": dbus.Array(flags, signature="s"),
        })
        self.light = service.light
        self.descriptors = []
        if "notify" in flags:
            self.descriptors.append(Descriptor(daemon, self, index + 2, "2902"))

    def short(self):
        return short_uuid(self.props["UUID"])

    def set_notifying(self, on):
        self.update(Notifying=dbus.Boolean(on))

    @dbus.service.method(GATT_CHARACTERISTIC, in_signature="a{sv}", out_signature="ay")
    def ReadValue(self, options):
        self.light.require_connected()
        if "read" not in self.props["Flags"]:
            raise bluez_error("NotPermitted", "Read not permitted")
        return self.props["Value"]

    @dbus.service.method(GATT_CHARACTERISTIC, in_signature="aya{sv}", out_signature="")
    def WriteValue(self, value, options):
        self.light.require_connected()
        if "write" not in self.props["Flags"] and "write-without-response" not in self.props["Flags"]:
            raise bluez_error("NotPermitted", "Write not permitted")
        failure = self.light.next_write_failure.pop(self.short(), None)
        if failure is not None:
            raise bluez_error(failure, "Write failed")
        data = bytes(value)
        self.light.written.setdefault(self.short(), []).append(data)
        self.light.on_written(self.short(), data)

    @dbus.service.method(GATT_CHARACTERISTIC, in_signature="", out_signature="")
    def StartNotify(self):
        self.light.require_connected()
        if "notify" not in self.props["Flags"]:
            raise bluez_error("NotSupported", "Operation is not supported")
        self.set_notifying(True)

    @dbus.service.method(GATT_CHARACTERISTIC, in_signature="", out_signature="")
    def StopNotify(self):
        self.set_notifying(False)

    def notify(self, value):
        if not self.exported or not self.props["Notifying"]:
            return False
        self.update(Value=byte_array(value))
        return True


class GattService(BluezObject):
    interface = GATT_SERVICE

    def __init__(self, daemon, light, index, uuid):
        super().__init__(daemon, "%s/service%04x" % (light.path, index), {
            "UUID": dbus.String(full_uuid(uuid)),
            "Device": dbus.ObjectPath(light.path),
            "Primary": dbus.Boolean(True),
            "Includes": dbus.Array([], signature="o"),
        })
        self.light = light
        self.characteristics = [
            Characteristic(daemon, self, index + 1, "fff1", ["write", "write-without-response"]),
            Characteristic(daemon, self, index + 3, "fff2", ["read", "notify"]),
        ]

    def all_objects(self):
        objects = [self]
        for characteristic in self.characteristics:
            objects.append(characteristic)
            objects.extend(characteristic.descriptors)
        return objects


class Light(BluezObject):
    """A light: a Device1 object and, while connected, its GATT tree."""

    interface = DEVICE

    def __init__(self, daemon, address, name, manufacturer, uuids):
        super().__init__(daemon, "%s/dev_%s" % (ADAPTER_PATH, address.upper().replace(":", "_")), {
            "Address": dbus.String(address.upper()),
            "AddressType": dbus.String("public"),
            "Name": dbus.String(name),
            "Alias": dbus.String(name or address.upper().replace(":", "-")),
            "Paired": dbus.Boolean(False),
            "Trusted": dbus.Boolean(False),
            "Blocked": dbus.Boolean(False),
            "LegacyPairing": dbus.Boolean(False),
            "Connected": dbus.Boolean(False),
            "ServicesResolved": dbus.Boolean(False),
            "UUIDs": dbus.Array([full_uuid(u) for u in uuids], signature="s"),
            "Adapter": dbus.ObjectPath(ADAPTER_PATH),
            "RSSI": dbus.Int16(-60),
            "ManufacturerData": manufacturer_dict(manufacturer),
        })
        if not name:
            del self.props["Name"]
        self.service = GattService(daemon, self, 0x000a, "fff0")
        self.written = {}
        self.next_write_failure = {}
        # Set by FailNextConnect / HangNextConnect; used by the next Connect.
        self.next_connect = None
        self.pending_connect = None
        self.connect_calls = 0

    def address(self):
        return str(self.props["Address"])

    def connected(self):
        return bool(self.props["Connected"])

    def require_connected(self):
        if not self.connected():
            raise bluez_error("Failed", "Not connected")

    def on_written(self, uuid, data):
        # The light applies a rename message (AA 00 and the UTF-8 name) as a
        # real one does: it takes the new name and advertises it. Done before
        # the write is answered, so a scan started on the answer sees it.
        if uuid == "fff1" and len(data) >= 2 and data[0] == 0xAA and data[1] == 0x00:
            self.set_name(data[2:].decode("utf-8", errors="replace"))

    def set_name(self, name):
        self.update(Name=dbus.String(name), Alias=dbus.String(name))
        return True

    @dbus.service.method(DEVICE, in_signature="", out_signature="",
                         async_callbacks=("reply", "error"))
    def Connect(self, reply, error):
        self.connect_calls += 1
        adapter = self.daemon.adapter
        if not adapter.powered():
            error(bluez_error("NotReady", "Resource Not Ready"))
            return
        if self.connected():
            if self.props["ServicesResolved"]:
                reply()
                return
            error(bluez_error("InProgress", "In Progress"))
            return
        if self.pending_connect is not None or self.daemon.connect_in_progress():
            # BlueZ runs one LE connection attempt at a time.
            error(bluez_error("InProgress", "In Progress"))
            return
        plan, self.next_connect = self.next_connect, None
        if plan is not None and plan[0] == "fail":
            error(bluez_error(plan[1], plan[2]))
            return
        self.pending_connect = (reply, error)
        if plan is not None and plan[0] == "hang":
            if plan[1] == "resolve":
                # Linked, but the services never resolve: the reply never comes.
                self.update(Connected=dbus.Boolean(True))
            return
        GLib.idle_add(self.finish_connect)

    def finish_connect(self):
        if self.pending_connect is None:
            return False
        reply, _ = self.pending_connect
        self.pending_connect = None
        self.update(Connected=dbus.Boolean(True))
        for obj in self.service.all_objects():
            obj.export()
        self.update(ServicesResolved=dbus.Boolean(True))
        reply()
        return False

    @dbus.service.method(DEVICE, in_signature="", out_signature="")
    def Disconnect(self):
        self.drop("org.bluez.Error.Failed", "Operation aborted")

    def drop(self, error_name="org.bluez.Error.Failed", message="Connection lost"):
        if self.pending_connect is not None:
            _, error = self.pending_connect
            self.pending_connect = None
            error(dbus.exceptions.DBusException(message, name=error_name))
        if self.props["ServicesResolved"]:
            self.update(ServicesResolved=dbus.Boolean(False))
        for obj in reversed(self.service.all_objects()):
            if isinstance(obj, Characteristic):
                obj.props["Notifying"] = dbus.Boolean(False)
            obj.unexport()
        self.update(Connected=dbus.Boolean(False))

    @dbus.service.method(DEVICE, in_signature="s", out_signature="")
    def ConnectProfile(self, uuid):
        raise bluez_error("NotSupported", "Operation is not supported")

    @dbus.service.method(DEVICE, in_signature="", out_signature="")
    def Pair(self):
        raise bluez_error("NotSupported", "Operation is not supported")

    @dbus.service.method(DEVICE, in_signature="", out_signature="")
    def CancelPairing(self):
        pass

    def characteristic(self, uuid):
        for c in self.service.characteristics:
            if c.short() == short_uuid(full_uuid(uuid)):
                return c
        raise dbus.exceptions.DBusException("no characteristic " + uuid,
                                            name="org.lightdeck.Error.Invalid")


class ObjectManagerRoot(dbus.service.Object):
    def __init__(self, daemon):
        super().__init__(daemon.bus, "/")
        self.daemon = daemon

    @dbus.service.method(OBJECT_MANAGER, in_signature="", out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        result = dbus.Dictionary({}, signature="oa{sa{sv}}")
        for obj in self.daemon.all_exported():
            result[dbus.ObjectPath(obj.path)] = dbus.Dictionary(
                {obj.interface: dbus.Dictionary(obj.props, signature="sv")}, signature="sa{sv}")
        return result

    @dbus.service.signal(OBJECT_MANAGER, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OBJECT_MANAGER, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass


class ControlObject(dbus.service.Object):
    """The tests' handle on the fake; addresses are "AA:BB:CC:DD:EE:FF" and
    characteristic UUIDs short ("fff1")."""

    def __init__(self, daemon):
        super().__init__(daemon.bus, CONTROL_PATH)
        self.daemon = daemon

    def light(self, address):
        light = self.daemon.lights.get(str(address).upper())
        if light is None:
            raise dbus.exceptions.DBusException("no light " + address,
                                                name="org.lightdeck.Error.NoLight")
        return light

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def Reset(self):
        for light in list(self.daemon.lights.values()):
            self.daemon.remove_light(light)
        self.daemon.set_adapter_present(True)
        self.daemon.set_powered(True)

    @dbus.service.method(CONTROL, in_signature="b", out_signature="")
    def SetAdapterPresent(self, present):
        """Unplugs (false) or plugs in the adapter; its lights go and come
        with it, as BlueZ's device objects do."""
        self.daemon.set_adapter_present(bool(present))

    @dbus.service.method(CONTROL, in_signature="sssas", out_signature="o")
    def AddLight(self, address, name, manufacturer, uuids):
        """manufacturer: raw records as hex, see manufacturer_dict; uuids:
        advertised services, short or long form."""
        if str(address).upper() in self.daemon.lights:
            raise dbus.exceptions.DBusException("light exists", name="org.lightdeck.Error.Exists")
        light = Light(self.daemon, str(address), str(name), str(manufacturer), [str(u) for u in uuids])
        self.daemon.lights[light.address()] = light
        if self.daemon.adapter.exported:
            light.export()
        return dbus.ObjectPath(light.path)

    @dbus.service.method(CONTROL, in_signature="s", out_signature="")
    def RemoveLight(self, address):
        self.daemon.remove_light(self.light(address))

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="")
    def SetManufacturerData(self, address, manufacturer):
        self.light(address).update(ManufacturerData=manufacturer_dict(str(manufacturer)))

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="")
    def SetName(self, address, name):
        self.light(address).set_name(str(name))

    @dbus.service.method(CONTROL, in_signature="ssay", out_signature="b")
    def Notify(self, address, uuid, value):
        """Sends a value on a notifying characteristic; false when the client
        has not enabled notifications (or the light is not connected)."""
        return self.light(address).characteristic(uuid).notify(value)

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="b")
    def IsNotifying(self, address, uuid):
        c = self.light(address).characteristic(uuid)
        return c.exported and bool(c.props["Notifying"])

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="aay")
    def WrittenValues(self, address, uuid):
        values = self.light(address).written.get(short_uuid(full_uuid(str(uuid))), [])
        return dbus.Array([byte_array(v) for v in values], signature="ay")

    @dbus.service.method(CONTROL, in_signature="sss", out_signature="")
    def FailNextConnect(self, address, error_name, message):
        """The next Connect answers org.bluez.Error.<error_name>."""
        self.light(address).next_connect = ("fail", str(error_name), str(message))

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="")
    def HangNextConnect(self, address, stage):
        """stage "reply": the next Connect never answers; "resolve": the link
        comes up (Connected) but the services never resolve."""
        if stage not in ("reply", "resolve"):
            raise dbus.exceptions.DBusException("stage is reply or resolve",
                                                name="org.lightdeck.Error.Invalid")
        self.light(address).next_connect = ("hang", str(stage))

    @dbus.service.method(CONTROL, in_signature="sss", out_signature="")
    def FailNextWrite(self, address, uuid, error_name):
        self.light(address).next_write_failure[short_uuid(full_uuid(str(uuid)))] = str(error_name)

    @dbus.service.method(CONTROL, in_signature="s", out_signature="")
    def Drop(self, address):
        """The light drops the link (out of range, switched off)."""
        self.light(address).drop()

    @dbus.service.method(CONTROL, in_signature="s", out_signature="b")
    def IsConnected(self, address):
        return self.light(address).connected()

    @dbus.service.method(CONTROL, in_signature="s", out_signature="u")
    def ConnectCalls(self, address):
        return dbus.UInt32(self.light(address).connect_calls)

    @dbus.service.method(CONTROL, in_signature="b", out_signature="")
    def SetPowered(self, on):
        self.daemon.set_powered(bool(on))

    @dbus.service.method(CONTROL, in_signature="", out_signature="b")
    def IsDiscovering(self):
        return bool(self.daemon.adapter.props["Discovering"])


class FakeBluez:
    def __init__(self, bus):
        self.bus = bus
        self.lights = {}
        self.root = ObjectManagerRoot(self)
        self.adapter = Adapter(self)
        self.adapter.export()
        self.control = ControlObject(self)

    def all_exported(self):
        objects = [self.adapter]
        for light in self.lights.values():
            objects.append(light)
            objects.extend(o for o in light.service.all_objects() if o.exported)
        return [o for o in objects if o.exported]

    def interfaces_added(self, obj):
        self.root.InterfacesAdded(
            dbus.ObjectPath(obj.path),
            dbus.Dictionary({obj.interface: dbus.Dictionary(obj.props, signature="sv")},
                            signature="sa{sv}"))

    def interfaces_removed(self, obj):
        self.root.InterfacesRemoved(dbus.ObjectPath(obj.path), dbus.Array([obj.interface], signature="s"))

    def light_by_path(self, path):
        for light in self.lights.values():
            if light.path == path:
                return light
        return None

    def connect_in_progress(self):
        return any(light.pending_connect is not None for light in self.lights.values())

    def remove_light(self, light):
        light.drop()
        light.unexport()
        del self.lights[light.address()]

    def set_adapter_present(self, present):
        if present == self.adapter.exported:
            return
        if present:
            self.adapter.export()
            for light in self.lights.values():
                light.export()
        else:
            for light in self.lights.values():
                light.drop()
                light.unexport()
            self.adapter.discovery_clients.clear()
            self.adapter.props["Discovering"] = dbus.Boolean(False)
            self.adapter.unexport()

    def set_powered(self, on):
        if on == self.adapter.powered():
            return
        if not on:
            # As BlueZ: discovery ends and every link drops before Powered
            # turns false.
            self.adapter.stop_all_discovery()
            for light in self.lights.values():
                light.drop("org.bluez.Error.NotReady", "Adapter powered off")
        self.adapter.update(Powered=dbus.Boolean(on))


def main():
    parser = argparse.ArgumentParser(description="Fake BlueZ daemon for Lightdeck's tests")
    parser.add_argument("--address", help="bus address (default: DBUS_SYSTEM_BUS_ADDRESS)")
    parser.add_argument("--watch-pid", type=int, default=0,
                        help="exit when this process is gone")
    parser.add_argument("--bus-pid", type=int, default=0,
                        help="bus daemon to stop when --watch-pid is gone")
    args = parser.parse_args()

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    address = args.address or os.environ.get("DBUS_SYSTEM_BUS_ADDRESS")
    if not address:
        print("fake_bluez: no bus address", file=sys.stderr)
        return 2
    bus = dbus.bus.BusConnection(address)
    loop = GLib.MainLoop()

    FakeBluez(bus)
    bus.call_on_disconnection(lambda _connection: loop.quit())
    # Objects first, name last: a client that sees org.bluez finds the tree.
    name = dbus.service.BusName("org.bluez", bus, do_not_queue=True)

    def quit_loop():
        loop.quit()
        return False

    GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGTERM, quit_loop)
    GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGINT, quit_loop)

    if args.watch_pid:
        def watch():
            try:
                os.kill(args.watch_pid, 0)
                return True
            except ProcessLookupError:
                if args.bus_pid:
                    try:
                        os.kill(args.bus_pid, signal.SIGTERM)
                    except ProcessLookupError:
                        pass
                loop.quit()
                return False
        GLib.timeout_add(500, watch)

    loop.run()
    del name
    return 0


if __name__ == "__main__":
    sys.exit(main())
