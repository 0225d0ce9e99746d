#pragma once
// Frames written as hex text ("aa0400030000bb") and back. OxBlueTooth's
// convertHexStrToData / convertDataToHexStr are built on these (and add the
// "hexData = " log line).

#include <optional>
#include <string>
#include <string_view>

#include "protocol/bytes.h"

namespace lightdeck {

// Reads the text in chunks of two characters, one byte each; when the
// length is odd the first chunk is the first character alone, so "abc"
// gives 0A BC and "F" gives 0F. Lengths count UTF-16 code units.
// In a chunk, leading white space is skipped and hex digits of either case
// are read up to the first other character; the byte is the low 8 bits of
// the value. A chunk without a hex digit there ("zz", " ", "-1") gives 0x00.
// The empty text gives nothing (not an empty byte string).
std::optional<Bytes> bytesFromHexText(std::string_view hex);

// Two lower-case hex digits a byte: AA 04 0F -> "aa040f". No bytes give the
// empty text.
std::string hexTextFromBytes(const Bytes& bytes);

}  // namespace lightdeck
