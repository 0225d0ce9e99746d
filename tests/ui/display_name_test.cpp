// displayName: names from the radio and the disk as the screens show them,
// neutralised and cut between characters (never inside a surrogate pair, an
// emoji sequence, a flag or an accented letter).
#include "ui/display_name.h"

#include <string>

#include <gtest/gtest.h>

namespace lightdeck {
namespace {

TEST(DisplayNameTest, NamesAreShownNeutralisedAndCutBetweenCharacters)
{
    const int n = kDisplayNameMaxCharacters;
    const QString cut(QChar(0x2026));
    const QString bad(QChar(QChar::ReplacementCharacter));
    const QString family = QString::fromUtf8("👨‍👩‍👧");  // five code points, one character
    const QString flag = QString::fromUtf8("🇨🇳");        // two regional indicators
    const QString accented = QString::fromUtf8("e\xCC\x81");  // e + combining acute
    const QString w = "W";
    const struct {
        const char* what;
        std::string name;
        QString shown;
    } cases[] = {
        {"terminal escape", "\x1b[31mred", bad + "[31mred"},
        {"NUL and DEL", std::string("a\0b\x7F", 4), "a" + bad + "b" + bad},
        {"line separator", "a\xE2\x80\xA8" "b", "a" + bad + "b"},
        {"bidi overrides, embeddings, isolates and marks removed",
         "\xE2\x80\xAE" "a\xE2\x80\xAA" "b\xE2\x81\xA6" "c\xE2\x80\x8F" "d\xD8\x9C", "abcd"},
        {"malformed UTF-8", "x\xFF\xC3", "x" + bad + bad},
        {"exactly the limit: not cut", std::string(n, 'W'), w.repeated(n)},
        {"one over the limit", std::string(n + 1, 'W'), w.repeated(n) + cut},
        {"surrogate pair at the cut", std::string(n - 1, 'W') + "😀😀", w.repeated(n - 1) + QString::fromUtf8("😀") + cut},
        {"joined emoji at the cut", std::string(n - 1, 'W') + "👨‍👩‍👧cc", w.repeated(n - 1) + family + cut},
        {"flags", flag.repeated(40).toStdString(), flag.repeated(n) + cut},
        {"combining accents", accented.repeated(40).toStdString(), accented.repeated(n) + cut},
        {"removed overrides do not count", "\xE2\x80\xAE" + std::string(n, 'W'), w.repeated(n)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(displayName(c.name), c.shown) << c.what;
        EXPECT_TRUE(displayName(c.name).isValidUtf16()) << c.what;
    }
    // A half of a surrogate pair arriving alone is no character.
    const QString pair = QString::fromUtf8("😀");
    EXPECT_EQ(displayName(QString("a") + pair.at(0)), "a" + bad);
    EXPECT_EQ(displayName(pair.at(1) + QString("a")), bad + "a");
}

}  // namespace
}  // namespace lightdeck
