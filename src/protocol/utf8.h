#pragma once
// UTF-8 decoding shared by the text helpers. Text from the radio and from
// the preferences file is untrusted, so decoding never fails: a malformed
// sequence becomes U+FFFD, one replacement for each maximal ill-formed
// subpart (the practice Unicode recommends, and what Qt and browsers do).

#include <cstddef>
#include <string>
#include <string_view>

namespace lightdeck::utf8 {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// One decoded code point and the number of input bytes it used (at least 1).
struct Decoded {
    char32_t codePoint = kReplacementCharacter;
    std::size_t length = 1;
};

// Decodes the code point that starts at `offset` (offset < text.size()).
Decoded decodeAt(std::string_view text, std::size_t offset);

// Appends the UTF-8 form of a code point; surrogates and values above
// U+10FFFF are appended as U+FFFD.
void append(std::string& out, char32_t codePoint);

// 1 for a code point of the Basic Multilingual Plane, 2 for one above it
// (a surrogate pair).
inline std::size_t utf16Units(char32_t codePoint) { return codePoint > 0xFFFF ? 2 : 1; }

// One char per UTF-16 code unit of the text: ASCII characters as
// themselves, every other unit as the byte 0x80 (which is no digit, letter
// or white space). Lets digit parsers count positions and lengths the way
// an editable text field does.
std::string asciiPerUtf16Unit(std::string_view text);

}  // namespace lightdeck::utf8
