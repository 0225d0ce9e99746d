#include "protocol/hex_text.h"

#include "protocol/utf8.h"

namespace lightdeck {
namespace {

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

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::uint8_t readChunk(std::string_view chunk)
{
    std::size_t i = 0;
    while (i < chunk.size() && isSpace(chunk[i]))
        ++i;
    unsigned value = 0;
    for (; i < chunk.size(); ++i) {
        const int digit = hexValue(chunk[i]);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

std::optional<Bytes> bytesFromHexText(std::string_view hex)
{
    if (hex.empty())
        return std::nullopt;
    const std::string units = utf8::asciiPerUtf16Unit(hex);
    Bytes bytes;
    bytes.reserve(units.size() / 2 + 1);
    std::size_t offset = 0;
    if (units.size() % 2 != 0) {
        bytes.push_back(readChunk(std::string_view(units).substr(0, 1)));
        offset = 1;
    }
    for (; offset < units.size(); offset += 2)
        bytes.push_back(readChunk(std::string_view(units).substr(offset, 2)));
    return bytes;
}

std::string hexTextFromBytes(const Bytes& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

}  // namespace lightdeck
