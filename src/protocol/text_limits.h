#pragma once
// Length limits of the texts a user types: a light's new name (20 UTF-16
// code units) and a group's name (6). The limits count UTF-16 code units,
// as the entry fields do, so "😀" counts 2 and "客" counts 1.

#include <cstddef>
#include <string>
#include <string_view>

namespace lightdeck {

inline constexpr std::size_t kLightNameMaxUtf16Units = 20;
inline constexpr std::size_t kGroupTitleMaxUtf16Units = 6;

// The longest start of the text that fits in maxUnits UTF-16 code units.
// A character outside the Basic Multilingual Plane (two units) is never
// split: when only one unit is left the cut falls before it. The result is
// always valid UTF-8: each malformed sequence of the input becomes U+FFFD
// (one unit), so bad bytes can neither crash nor reach the light or the file.
std::string cutToUtf16Units(std::string_view utf8, std::size_t maxUnits);

// Length of the text in UTF-16 code units (malformed sequences count one
// each, as their replacement characters do).
std::size_t utf16Length(std::string_view utf8);

}  // namespace lightdeck
