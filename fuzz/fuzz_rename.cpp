// Any text as a light's new name: cut to the name limit, made into the
// rename message and written through the manager to the light under
// control. Checks that the light receives one write of AA 00 followed by
// well-formed UTF-8 of at most 20 UTF-16 code units, and that a well-formed
// name is cut only where it must be (a start of the text, as long as fits).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "bluetooth/ox_blue_tooth.h"
#include "fuzz_support.h"
#include "protocol/command_frames.h"
#include "protocol/text_limits.h"

using namespace lightdeck;
using namespace lightdeck::fuzz;

namespace {

// A strict, independent UTF-8 reader: the code point at `offset` and its
// length, or nothing when the sequence there is ill-formed (overlong forms,
// surrogates, values above U+10FFFF and cut sequences included).
struct CodePoint {
    char32_t value;
    std::size_t length;
};

std::optional<CodePoint> readStrict(std::string_view text, std::size_t offset)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[offset + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return CodePoint{lead, 1};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (offset + length > text.size())
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return CodePoint{value, length};
}

// UTF-16 length of well-formed text; nothing when ill-formed.
std::optional<std::size_t> strictUtf16Length(std::string_view text)
{
    std::size_t units = 0;
    for (std::size_t offset = 0; offset < text.size();) {
        const auto cp = readStrict(text, offset);
        if (!cp)
            return std::nullopt;
        units += cp->value > 0xFFFF ? 2 : 1;
        offset += cp->length;
    }
    return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    ScriptedCentral* central = nullptr;
    OxBlueTooth manager(scriptedFactory(central));
    manager.setCharacteristicID("FFF1");
    auto light = std::make_shared<ScriptedPeripheral>(scriptedIdentifier(0));
    connectScripted(*central, light);
    manager.setControlDict({{light->identifier(), light}});

    const std::string name = cutToUtf16Units(text, kLightNameMaxUtf16Units);
    const Bytes message = renameMessage(name);
    manager.writeDataWithData(message);

    const auto writes = light->writes();
    LIGHTDECK_FUZZ_CHECK(writes.size() == 1);
    LIGHTDECK_FUZZ_CHECK(writes[0].characteristic == "FFF1");
    const Bytes& sent = writes[0].value;
    LIGHTDECK_FUZZ_CHECK(sent == message);
    LIGHTDECK_FUZZ_CHECK(sent.size() >= 2 && sent[0] == 0xAA && sent[1] == 0x00);
    const std::string_view payload(reinterpret_cast<const char*>(sent.data()) + 2, sent.size() - 2);

    const auto units = strictUtf16Length(payload);
    LIGHTDECK_FUZZ_CHECK(units.has_value());
    LIGHTDECK_FUZZ_CHECK(*units <= kLightNameMaxUtf16Units);
    LIGHTDECK_FUZZ_CHECK(utf16Length(payload) == *units);

    // A well-formed name loses only what does not fit.
    if (strictUtf16Length(text)) {
        LIGHTDECK_FUZZ_CHECK(text.substr(0, payload.size()) == payload);
        if (payload.size() < text.size()) {
            const auto next = readStrict(text, payload.size());
            LIGHTDECK_FUZZ_CHECK(next && *units + (next->value > 0xFFFF ? 2 : 1) > kLightNameMaxUtf16Units);
        }
    }
    return 0;
}
