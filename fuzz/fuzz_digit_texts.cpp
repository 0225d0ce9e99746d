// Any bytes as digit text, as a byte string and as user text: no crash, and
// the promises of the conversions hold.
//  - Bytes -> hex text -> bytes gives the same bytes, for every byte string,
//    through the manager's convertDataToHexStr / convertHexStrToData.
//  - Any text converts to bytes (nothing only for the empty text), and those
//    bytes round-trip.
//  - OxMethods: number -> binary -> number, number -> hex -> binary ->
//    number, hex -> binary -> hex (the hex digits of the text, upper-cased)
//    and binary -> hex -> binary (the 0/1 digits, padded to fours).
//  - Cutting to a UTF-16 limit gives valid UTF-8 within the limit.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "bluetooth/ox_blue_tooth.h"
#include "fuzz_support.h"
#include "protocol/hex_text.h"
#include "protocol/ox_methods.h"
#include "protocol/text_limits.h"

using namespace lightdeck;
using namespace lightdeck::fuzz;

namespace {

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

void checkBytesRoundTrip(const Bytes& bytes)
{
    const std::string hex = OxBlueTooth::convertDataToHexStr(bytes);
    LIGHTDECK_FUZZ_CHECK(hex.size() == bytes.size() * 2);
    for (char c : hex)
        LIGHTDECK_FUZZ_CHECK(isHexDigit(c) && !std::isupper(static_cast<unsigned char>(c)));
    const auto back = OxBlueTooth::convertHexStrToData(hex);
    if (bytes.empty())
        LIGHTDECK_FUZZ_CHECK(!back);  // the empty text gives nothing
    else
        LIGHTDECK_FUZZ_CHECK(back && *back == bytes);
}

void checkOxMethods(std::string_view text)
{
    std::string hexDigits;
    std::string binaryDigits;
    for (char c : text) {
        if (isHexDigit(c))
            hexDigits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c == '0' || c == '1')
            binaryDigits += c;
    }

    const std::string binary = OxMethods::getBinaryByHex(text);
    LIGHTDECK_FUZZ_CHECK(binary.size() == hexDigits.size() * 4);
    LIGHTDECK_FUZZ_CHECK(OxMethods::getHexByBinary(binary) == hexDigits);

    // Only a text of binary digits has a defined way back.
    if (binaryDigits.size() == text.size()) {
        std::string padded(binaryDigits.size() % 4 ? 4 - binaryDigits.size() % 4 : 0, '0');
        padded += binaryDigits;
        LIGHTDECK_FUZZ_CHECK(OxMethods::getBinaryByHex(OxMethods::getHexByBinary(text)) == padded);
    }

    // A number from the text's first eight bytes, any sign.
    std::uint64_t raw = 0;
    std::memcpy(&raw, text.data(), std::min<std::size_t>(text.size(), sizeof raw));
    const auto value = static_cast<std::int64_t>(raw);
    const std::string asBinary = OxMethods::getBinaryByDecimal(value);
    LIGHTDECK_FUZZ_CHECK(asBinary.size() % 4 == 0 && asBinary.size() <= 64);
    LIGHTDECK_FUZZ_CHECK(OxMethods::getDecimalByBinary(asBinary) == value);
    const std::string asHex = OxMethods::getHexByDecimal(value);
    LIGHTDECK_FUZZ_CHECK(!asHex.empty() && asHex.size() <= 16);
    LIGHTDECK_FUZZ_CHECK(asHex.size() == 1 || asHex[0] != '0');
    LIGHTDECK_FUZZ_CHECK(OxMethods::getDecimalByBinary(OxMethods::getBinaryByHex(asHex)) == value);
    // Any text reads as some number without trouble.
    OxMethods::getDecimalByBinary(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    checkBytesRoundTrip(Bytes(data, data + size));

    const auto bytes = OxBlueTooth::convertHexStrToData(text);
    LIGHTDECK_FUZZ_CHECK(bytes.has_value() == !text.empty());
    if (bytes) {
        LIGHTDECK_FUZZ_CHECK(!bytes->empty() && bytes->size() <= (text.size() + 1) / 2);
        checkBytesRoundTrip(*bytes);
    }

    checkOxMethods(text);

    const std::size_t limits[] = {0, 1, kGroupTitleMaxUtf16Units, kLightNameMaxUtf16Units};
    for (std::size_t limit : limits) {
        const std::string cut = cutToUtf16Units(text, limit);
        LIGHTDECK_FUZZ_CHECK(utf16Length(cut) <= limit);
        // The output is valid UTF-8: cutting it again changes nothing.
        LIGHTDECK_FUZZ_CHECK(cutToUtf16Units(cut, limit) == cut);
    }
    return 0;
}
