#include "bluetooth/simulated/light_firmware.h"

#include <algorithm>

namespace lightdeck {
namespace {

constexpr std::uint8_t kStart = 0xAA;
constexpr std::uint8_t kEnd = 0xBB;
constexpr std::size_t kFrameLength = 7;

void applyFrame(LightOutput& out, const CapabilityProfile& caps, const Bytes& f)
{
    const int percent = std::min<int>(f[2], 100);
    switch (f[1]) {
    case 0x01:
        out.mode = LightMode::ColourTemperature;
        if (caps.brightness)
            out.brightness = percent;
        if (caps.colourTemperature)
            out.kelvin = std::clamp<int>(f[3], 30, 65) * 100;
        break;
    case 0x02: {
        out.mode = LightMode::Hue;
        if (!caps.hueControls)
            break;
        out.brightness = percent;
        out.cntValue = std::min<int>(f[3], 100);
        const int hue = f[4] * 256 + f[5];
        if (hue <= 360)
            out.hue = hue;
        break;
    }
    case 0x03:
        out.mode = LightMode::Effect;
        if (f[3] >= 1 && f[3] <= 10 && caps.effectAvailable(f[3]))
            out.effect = f[3];
        if (f[5] >= 1 && f[5] <= 3 && caps.optionAvailable(f[5]))
            out.effectOption = f[5];
        break;
    case 0x04:
        if (f[3] < 1 || f[3] > 7 || !caps.presetColourAvailable(f[3]))
            break;
        out.mode = LightMode::PresetColour;
        out.presetColour = f[3];
        if (f[2] != 0 && caps.brightness)
            out.brightness = percent;
        break;
    case 0x06:
        out.mode = LightMode::Sos;
        break;
    default:
        break;  // 0x05 and unknown commands: the light ignores them
    }
}

// Length of the well-formed UTF-8 sequence starting at bytes[i], 0 if none.
std::size_t sequenceLength(const Bytes& bytes, std::size_t i)
{
    const std::uint8_t lead = bytes[i];
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    if (bytes[i + 1] < low || bytes[i + 1] > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF)
            return 0;
    return length;
}

}  // namespace

std::string lightNameFromBytes(const Bytes& bytes, std::size_t offset)
{
    static const std::string kReplacement = "\xEF\xBF\xBD";
    std::string name;
    for (std::size_t i = offset; i < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, i);
        const std::size_t added = length == 0 ? kReplacement.size() : length;
        if (name.size() + added > kMaxLightNameBytes)
            break;
        if (length == 0) {
            name += kReplacement;
            ++i;
        } else {
            name.append(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                        bytes.begin() + static_cast<std::ptrdiff_t>(i + length));
            i += length;
        }
    }
    return name;
}

FrameEffect applyLightValue(LightOutput& output, const CapabilityProfile& capabilities, const Bytes& value)
{
    FrameEffect effect;
    if (value.size() >= 2 && value[0] == kStart && value[1] == 0x00) {
        effect.newName = lightNameFromBytes(value, 2);
        return effect;
    }
    if (value.size() != kFrameLength || value.front() != kStart || value.back() != kEnd)
        return effect;
    const LightOutput before = output;
    applyFrame(output, capabilities, value);
    effect.outputChanged = output != before;
    return effect;
}

}  // namespace lightdeck
