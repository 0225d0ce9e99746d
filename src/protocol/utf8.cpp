#include "protocol/utf8.h"

#include <cstdint>

namespace lightdeck::utf8 {
namespace {

bool isContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

}  // namespace

Decoded decodeAt(std::string_view text, std::size_t offset)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(text[offset + i]); };
    const std::size_t available = text.size() - offset;
    const std::uint8_t lead = byteAt(0);

    if (lead < 0x80)
        return {lead, 1};

    // Length and the allowed range of the second byte (which rules out
    // overlong forms, surrogates and values above U+10FFFF).
    std::size_t length = 0;
    std::uint8_t secondLow = 0x80;
    std::uint8_t secondHigh = 0xBF;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            secondLow = 0xA0;
        else if (lead == 0xED)
            secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            secondLow = 0x90;
        else if (lead == 0xF4)
            secondHigh = 0x8F;
    } else {
        return {kReplacementCharacter, 1};  // stray continuation or invalid lead byte
    }

    for (std::size_t i = 1; i < length; ++i) {
        if (i >= available)
            return {kReplacementCharacter, i};  // truncated sequence
        const std::uint8_t b = byteAt(i);
        const bool ok = i == 1 ? (b >= secondLow && b <= secondHigh) : isContinuation(b);
        if (!ok)
            return {kReplacementCharacter, i};  // the bad byte starts the next sequence
        value = (value << 6) | (b & 0x3F);
    }
    return {value, length};
}

void append(std::string& out, char32_t cp)
{
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        cp = kReplacementCharacter;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string asciiPerUtf16Unit(std::string_view text)
{
    std::string units;
    units.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Decoded d = decodeAt(text, i);
        if (d.codePoint < 0x80)
            units += static_cast<char>(d.codePoint);
        else
            units.append(utf16Units(d.codePoint), '\x80');
        i += d.length;
    }
    return units;
}

}  // namespace lightdeck::utf8
