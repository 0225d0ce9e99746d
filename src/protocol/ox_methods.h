#pragma once
// Conversions between numbers and binary or hexadecimal digit texts.
//
// No conversion reports an error: characters it cannot use are skipped as
// each function says. Lengths and positions in a text count UTF-16 code
// units (as a text field does); digits are ASCII only.
//
// Negative numbers are taken as their 64-bit two's complement, so
// getHexByDecimal(-1) is "FFFFFFFFFFFFFFFF" and getDecimalByBinary reads a
// 64-digit text back to the same negative number.

#include <cstdint>
#include <string>
#include <string_view>

namespace lightdeck {

class OxMethods {
public:
    OxMethods() = delete;

    // Binary digits, most significant first, with "0"s put in front up to a
    // multiple of 4: 5 -> "0101", 16 -> "00010000". 0 gives the empty text.
    static std::string getBinaryByDecimal(std::int64_t value);
    // Upper-case hexadecimal digits, every one, no zeros in front:
    // 0 -> "0", 15 -> "F", 255 -> "FF". Callers wanting two digits add the
    // "0" themselves.
    static std::string getHexByDecimal(std::int64_t value);
    // "0"s are put in front up to a multiple of 4 characters, then each group
    // of 4 becomes one upper-case hex digit; a group that is not four binary
    // digits gives nothing. Leading zeros stay: "00010000" -> "10",
    // "10000" -> "10", "101" -> "5".
    static std::string getHexByBinary(std::string_view binary);
    // Each hex digit (either case) becomes its 4 binary digits; any other
    // character gives nothing: "A5" -> "10100101", "1G" -> "0001".
    static std::string getBinaryByHex(std::string_view hex);
    // Sum of 2^position for every "1", positions counted from the right
    // from 0; other characters add nothing. Exact for any length: digits at
    // positions 64 and above fall outside 64 bits and are dropped, and the
    // 64-bit result is read as two's complement. The empty text gives 0.
    static std::int64_t getDecimalByBinary(std::string_view binary);
};

}  // namespace lightdeck
