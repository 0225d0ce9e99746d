#pragma once
// The byte strings that travel to and from the lights.

#include <cstdint>
#include <string>
#include <vector>

namespace lightdeck {

using Bytes = std::vector<std::uint8_t>;

// "AA 01 32 32 00 00 BB": upper-case, space separated; for logs, tests and the
// virtual lights window.
std::string toSpacedHex(const Bytes& bytes);

}  // namespace lightdeck
