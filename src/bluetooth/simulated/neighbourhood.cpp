#include "bluetooth/simulated/neighbourhood.h"

#include <cstdio>

namespace lightdeck {

void addDefaultNeighbourhood(LightSimulator& simulator)
{
    VirtualLightSpec key;
    key.identifier = "0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E701";
    key.name = "Key Light";
    key.manufacturerData = Bytes{0x4C, 0x4D, 0x01, 0x00};
    simulator.addLight(key);

    VirtualLightSpec fill;
    fill.identifier = "0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E702";
    fill.name = "Fill Panel";
    fill.manufacturerData = Bytes{0x4C, 0x4D, 0x02, 0x00};
    fill.capabilities.colourTemperature = false;
    fill.capabilities.unavailableEffects = {7, 9};
    fill.capabilities.unavailableOptions = {3};
    fill.capabilities.unavailablePresetColours = {6, 7};
    fill.initialOutput.mode = LightMode::Hue;
    fill.initialOutput.hue = 200;
    simulator.addLight(fill);

    VirtualLightSpec tube;
    tube.identifier = "0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E703";
    tube.name = "RGB Tube";
    tube.manufacturerData = Bytes{0x4D, 0x4C, 0x03, 0x01};
    tube.initialOutput.kelvin = 3200;
    simulator.addLight(tube);

    VirtualLightSpec pocket;
    pocket.identifier = "0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E704";
    pocket.name = "Pocket Light";
    pocket.manufacturerData = Bytes{0x4C, 0x4D, 0x04, 0x00};
    pocket.capabilities.hueControls = false;
    pocket.capabilities.unavailableEffects = {4};
    pocket.initialOutput.brightness = 80;
    simulator.addLight(pocket);

    // Another maker's device that happens to advertise FFF0: the manager's
    // manufacturer filter must keep it out of the list.
    VirtualLightSpec band;
    band.identifier = "0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E7F0";
    band.name = "Band 7";
    band.manufacturerData = Bytes{0x59, 0x00, 0x07, 0x01};
    simulator.addLight(band);
}

void addPlainLights(LightSimulator& simulator, int count)
{
    for (int i = 1; i <= count; ++i) {
        const std::size_t position = simulator.lightCount() + 1;
        char identifier[37];
        std::snprintf(identifier, sizeof identifier, "5E1A0000-0000-4000-8000-%012zX", position);
        VirtualLightSpec spec;
        spec.identifier = identifier;
        spec.name = "Light " + std::to_string(i);
        simulator.addLight(spec);
    }
}

}  // namespace lightdeck
