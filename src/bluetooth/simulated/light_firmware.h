#pragma once
// What a light does with a value written to its command characteristic FFF1.
// Kept apart from VirtualLight so the rules read in one place.
//
//   AA 01 b t 00 00 BB   colour temperature: brightness b % (0..100, larger
//                        clamped), t hundreds of kelvin (30..65, clamped)
//   AA 02 b c hh ll BB   hue: brightness b %, c kept as cntValue, hue
//                        hh*256+ll degrees (above 360: hue unchanged)
//   AA 03 00 e 00 o BB   effect e (1..10) and option o (1..3); 0 or out of
//                        range keeps the current one
//   AA 04 b n 00 00 BB   preset colour n (1..7); b brightness %, 0 keeping the
//                        current brightness (the colour panel sends 0); an
//                        unknown colour changes nothing
//   AA 06 00 00 00 00 BB SOS
//   AA 00 name...        rename, any length, name in UTF-8
// Anything else (other lengths, marks or commands) changes nothing. A control
// the light's profile lacks is ignored, as the real light does.

#include <cstddef>
#include <optional>
#include <string>

#include "bluetooth/simulated/capability_profile.h"
#include "bluetooth/simulated/light_output.h"
#include "protocol/bytes.h"

namespace lightdeck {

struct FrameEffect {
    bool outputChanged = false;
    // Set by a rename message.
    std::optional<std::string> newName;
};

FrameEffect applyLightValue(LightOutput& output, const CapabilityProfile& capabilities, const Bytes& value);

// Longest name a light keeps, in bytes (the GAP device name limit).
inline constexpr std::size_t kMaxLightNameBytes = 248;

// The bytes from `offset` on as valid UTF-8: each byte that does not belong to
// a well-formed sequence becomes U+FFFD; cut to kMaxLightNameBytes at a
// character boundary.
std::string lightNameFromBytes(const Bytes& bytes, std::size_t offset);

}  // namespace lightdeck
