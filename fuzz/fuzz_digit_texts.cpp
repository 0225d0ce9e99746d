// Any bytes as digit text or user text: no crash, and the promises hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/hex_text.h"
#include "protocol/ox_methods.h"
#include "protocol/text_limits.h"
#include "protocol/utf8.h"

using namespace lightdeck;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto bytes = bytesFromHexText(text);
    check(bytes.has_value() == !text.empty());
    if (bytes) {
        check(bytesFromHexText(hexTextFromBytes(*bytes)) == bytes);  // a byte string round-trips
        const std::string hex = hexTextFromBytes(*bytes);
        check(hex.size() == bytes->size() * 2);
    }

    OxMethods::getHexByBinary(text);
    const std::string binary = OxMethods::getBinaryByHex(text);
    check(binary.size() % 4 == 0);
    const std::int64_t value = OxMethods::getDecimalByBinary(text);
    check(OxMethods::getDecimalByBinary(OxMethods::getBinaryByDecimal(value)) == value);
    check(OxMethods::getHexByDecimal(value).size() <= 16);

    const std::size_t limits[] = {0, 1, kGroupTitleMaxUtf16Units, kLightNameMaxUtf16Units};
    for (std::size_t limit : limits) {
        const std::string cut = cutToUtf16Units(text, limit);
        check(utf16Length(cut) <= limit);
        // The output is valid UTF-8: cutting it again changes nothing.
        check(cutToUtf16Units(cut, limit) == cut);
    }
    return 0;
}
