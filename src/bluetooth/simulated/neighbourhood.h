#pragma once
// The built-in neighbourhoods of the simulated backend.

#include "bluetooth/simulated/light_simulator.h"

namespace lightdeck {

// The application's default neighbourhood (`--simulate`):
//   "Key Light"    4C 4D, every control
//   "Fill Panel"   4C 4D, no colour temperature, effects 7 and 9, option 3,
//                  preset colours blue and purple unavailable
//   "RGB Tube"     4D 4C, every control
//   "Pocket Light" 4C 4D, no hue controls, effect 4 unavailable
//   "Band 7"       foreign maker (59 00) advertising FFF0: never listed
// Identifiers are fixed, so groups saved by one run find the lights again.
void addDefaultNeighbourhood(LightSimulator& simulator);

// `count` lights with every control (`--simulate=N`), named "Light 1" ..
// "Light N", with fixed identifiers ("5E1A0000-0000-4000-8000-00000000000N",
// numbered by the light's position in the simulator).
void addPlainLights(LightSimulator& simulator, int count);

}  // namespace lightdeck
