#pragma once
// The frames of each mode, the values that go into them, and the rename
// message.
//
// Colour temperature, hue and effect frames are each one buffer that lives
// for the whole run: a send patches only the bytes its panel sets and writes
// all 7, so a byte not set keeps its last value (an effect frame sent before
// any option was chosen carries option 0). The buffers are for the main
// thread only; take bytes() before handing a frame to another thread.
//
//   auto& frame = effectFrame();
//   frame.setParameter(frame_byte::kEffectNumber, 4);
//   OxBlueTooth::sharedInstance().writeDataWithData(frame.bytes());

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/bytes.h"
#include "protocol/command_frame.h"

namespace lightdeck {

// Positions of the parameter bytes, per command.
namespace frame_byte {
inline constexpr std::size_t kBrightness = 2;         // 0x01, 0x02, 0x04: percent, 0 to 100
inline constexpr std::size_t kColourTemperature = 3;  // 0x01: hundreds of kelvin, 30 to 65
inline constexpr std::size_t kCntValue = 3;           // 0x02: 0 to 100 (always 0 today)
inline constexpr std::size_t kHueHigh = 4;            // 0x02: hue in degrees / 256
inline constexpr std::size_t kHueLow = 5;             // 0x02: hue in degrees % 256
inline constexpr std::size_t kEffectNumber = 3;       // 0x03: effect, 1 to 10
inline constexpr std::size_t kEffectOption = 5;       // 0x03: option, 1 to 3
inline constexpr std::size_t kColourNumber = 3;       // 0x04: preset colour, 1 to 7
}  // namespace frame_byte

// The run-long buffers. Starting bytes:
//   colour temperature  AA 01 32 32 00 00 BB
//   hue                 AA 02 32 32 00 00 BB
//   effect              AA 03 00 00 00 00 BB
CommandFrame& colourTemperatureFrame();
CommandFrame& hueFrame();
CommandFrame& effectFrame();
// Puts the three buffers back to their starting bytes (a fresh run; tests).
void resetRunLongFrames();

// The rescue signal frame, always AA 06 00 00 00 00 BB.
CommandFrame sosFrame();

// Brightness in percent from a slider position 0..1: the integer part of
// position x 100. Positions outside 0..1 are clamped; NaN gives 0.
std::uint8_t brightnessPercent(double position);
// Colour temperature in kelvin from a slider position 0..1: the integer
// part of position x 3500 + 3000, so 3000 to 6500 (same clamping).
int colourTemperatureKelvin(double position);
// The frame's colour temperature: kelvin / 100, remainder dropped, 30 to 65.
// Position 1 gives 65; kelvin 6499 still gives 64.
std::uint8_t colourTemperatureHundreds(double position);

// Hue in whole degrees (0 to 360, clamped) as the two frame bytes, high
// byte first: 360 -> 01 68, 255 -> 00 FF.
std::uint8_t hueHighByte(int degrees);
std::uint8_t hueLowByte(int degrees);
// Writes brightness (percent), cntValue and hue (degrees) into a hue frame.
void setHueParameters(CommandFrame& frame, int brightness, int cntValue, int hueDegrees);

// The preset colour frame as hex text: "aa04", the brightness as two
// upper-case hex digits, the colour number as two decimal digits, "0000bb".
// Brightness 0 and colour 3 give "aa0400030000bb". Brightness is clamped
// to 0..100 and the colour number to 1..7.
std::string presetColourHexText(int brightness, int colourNumber);

// The rename message: AA 00 then the name's UTF-8 bytes as given, with no
// end mark, terminator or length. An empty name gives AA 00. Written whole
// in one write, however long.
Bytes renameMessage(std::string_view utf8Name);

}  // namespace lightdeck
