#pragma once
// Text from outside the program (a light's name from the radio, a title from
// the preferences file) made safe to put in one log line.
//
// A name is untrusted: a carriage return or an escape sequence could fake or
// hide log lines on a terminal, and a bidirectional override could make a
// line read differently from the bytes it holds. escapedForLog() keeps every
// printable character as it is and spells out the rest:
//   - C0 controls U+0000..U+001F and DEL U+007F as \xNN ("\x1B[31m" is
//     logged as the text \x1B[31m);
//   - C1 controls U+0080..U+009F, bidirectional embeddings and overrides
//     U+202A..U+202E, isolates U+2066..U+2069, the marks U+200E, U+200F and
//     U+061C, and the line and paragraph separators U+2028, U+2029 as
//     \u{NNNN};
//   - each byte that is not part of well-formed UTF-8 as \xNN;
//   - the backslash itself as \\, so every escape in a line comes from here.
// The result is well-formed UTF-8. Nothing is cut: a 300-character name is
// logged whole.

#include <string>
#include <string_view>

namespace lightdeck {

std::string escapedForLog(std::string_view text);

// True for the characters escapedForLog() spells out (controls, bidi
// formatting, line and paragraph separators).
bool isUnsafeForLog(char32_t codePoint);

}  // namespace lightdeck
