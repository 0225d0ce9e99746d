#include "common/log_text.h"

#include <cstdint>
#include <cstdio>

#include "protocol/utf8.h"

namespace lightdeck {
namespace {

bool isBidiFormatting(char32_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F
           || c == 0x061C;
}

void appendByte(std::string& out, std::uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    out += text;
}

}  // namespace

bool isUnsafeForLog(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || isBidiFormatting(c) || c == 0x2028 || c == 0x2029;
}

std::string escapedForLog(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t offset = 0; offset < text.size();) {
        const auto decoded = utf8::decodeAt(text, offset);
        const std::string_view bytes = text.substr(offset, decoded.length);
        offset += decoded.length;

        // A replacement character the text really holds is three bytes
        // EF BF BD; anything else decoded as one was malformed.
        const bool malformed = decoded.codePoint == utf8::kReplacementCharacter && bytes != "\xEF\xBF\xBD";
        if (malformed) {
            for (char b : bytes)
                appendByte(out, static_cast<std::uint8_t>(b));
        } else if (decoded.codePoint == U'\\') {
            out += "\\\\";
        } else if (decoded.codePoint < 0x80 && isUnsafeForLog(decoded.codePoint)) {
            appendByte(out, static_cast<std::uint8_t>(decoded.codePoint));
        } else if (isUnsafeForLog(decoded.codePoint)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u{%04X}", static_cast<unsigned>(decoded.codePoint));
            out += escape;
        } else {
            out += bytes;
        }
    }
    return out;
}

}  // namespace lightdeck
