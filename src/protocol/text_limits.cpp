#include "protocol/text_limits.h"

#include "protocol/utf8.h"

namespace lightdeck {

std::string cutToUtf16Units(std::string_view text, std::size_t maxUnits)
{
    std::string out;
    out.reserve(text.size() < maxUnits * 4 ? text.size() : maxUnits * 4);
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const utf8::Decoded d = utf8::decodeAt(text, i);
        const std::size_t width = utf8::utf16Units(d.codePoint);
        if (units + width > maxUnits)
            break;
        units += width;
        utf8::append(out, d.codePoint);
        i += d.length;
    }
    return out;
}

std::size_t utf16Length(std::string_view text)
{
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const utf8::Decoded d = utf8::decodeAt(text, i);
        units += utf8::utf16Units(d.codePoint);
        i += d.length;
    }
    return units;
}

}  // namespace lightdeck
