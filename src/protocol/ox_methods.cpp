#include "protocol/ox_methods.h"

#include <algorithm>
#include <array>

#include "protocol/utf8.h"

namespace lightdeck {
namespace {

constexpr std::array<char, 16> kHexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                             '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

// Value of a hex digit of either case, or -1.
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string OxMethods::getBinaryByDecimal(std::int64_t value)
{
    auto bits = static_cast<std::uint64_t>(value);
    std::string digits;
    while (bits != 0) {
        digits += (bits & 1) ? '1' : '0';
        bits >>= 1;
    }
    while (digits.size() % 4 != 0)
        digits += '0';
    std::reverse(digits.begin(), digits.end());
    return digits;
}

std::string OxMethods::getHexByDecimal(std::int64_t value)
{
    auto rest = static_cast<std::uint64_t>(value);
    std::string digits;
    do {
        digits += kHexDigits[rest % 16];
        rest /= 16;
    } while (rest != 0);
    std::reverse(digits.begin(), digits.end());
    return digits;
}

std::string OxMethods::getHexByBinary(std::string_view binary)
{
    std::string units = utf8::asciiPerUtf16Unit(binary);
    if (units.size() % 4 != 0)
        units.insert(0, 4 - units.size() % 4, '0');

    std::string hex;
    hex.reserve(units.size() / 4);
    for (std::size_t i = 0; i < units.size(); i += 4) {
        int value = 0;
        bool inTable = true;
        for (std::size_t j = i; j < i + 4; ++j) {
            if (units[j] != '0' && units[j] != '1') {
                inTable = false;
                break;
            }
            value = value * 2 + (units[j] - '0');
        }
        if (inTable)
            hex += kHexDigits[static_cast<std::size_t>(value)];
    }
    return hex;
}

std::string OxMethods::getBinaryByHex(std::string_view hex)
{
    std::string binary;
    binary.reserve(hex.size() * 4);
    // Bytes of multi-byte UTF-8 characters are never hex digits, so walking
    // bytes is walking characters here.
    for (char c : hex) {
        const int value = hexValue(c);
        if (value < 0)
            continue;
        for (int bit = 3; bit >= 0; --bit)
            binary += ((value >> bit) & 1) ? '1' : '0';
    }
    return binary;
}

std::int64_t OxMethods::getDecimalByBinary(std::string_view binary)
{
    const std::string units = utf8::asciiPerUtf16Unit(binary);
    std::uint64_t sum = 0;
    const std::size_t count = units.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t position = count - 1 - i;
        if (units[i] == '1' && position < 64)
            sum |= std::uint64_t{1} << position;
    }
    return static_cast<std::int64_t>(sum);
}

}  // namespace lightdeck
