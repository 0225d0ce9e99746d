#pragma once
// A name from outside the program (a light's name from the radio, a group
// member's or a group's from the preferences file) as a screen shows it.
//
// Such a name may hold markup, control characters, bidirectional overrides or
// hundreds of characters. Every label that shows one uses Qt::PlainText (so
// "<b>x</b>" stays those eight characters) and the text from displayName():
//  - bidirectional formatting (embeddings and overrides U+202A..U+202E,
//    isolates U+2066..U+2069, the marks U+200E, U+200F, U+061C) is removed:
//    a name shows its characters in the order they are stored and cannot
//    turn the rest of its row around;
//  - control characters (C0, DEL, C1) and the line and paragraph separators
//    become U+FFFD, a visible mark: a name cannot hide characters or break
//    its row into lines, and two names that differ only there still look
//    different;
//  - malformed UTF-8 shows as U+FFFD too;
//  - a name longer than kDisplayNameMaxCharacters characters (as a reader
//    counts them: an emoji with its modifiers and joiners, a letter with its
//    accents, a flag, each one) is cut after that many and ends in "…". The
//    cut never splits a character.
// The stored and written names are never changed: this is display only.

#include <QString>

#include <string_view>

namespace lightdeck {

inline constexpr int kDisplayNameMaxCharacters = 32;

QString displayName(std::string_view utf8);
QString displayName(const QString& text);

}  // namespace lightdeck
