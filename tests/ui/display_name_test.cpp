#include "ui/display_name.h"

#include <string>

#include <gtest/gtest.h>

namespace lightdeck {
namespace {

QString repeated(const QString& piece, int times)
{
    QString text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

struct DisplayCase {
    const char* what;
    std::string name;
    QString shown;
};

TEST(DisplayNameTest, NamesAreShownNeutralisedAndCutBetweenCharacters)
{
    const QString ellipsis(QChar(0x2026));
    const QString bad(QChar(QChar::ReplacementCharacter));
    const QString family = QString::fromUtf8("👨‍👩‍👧");  // five code points, one character
    const QString flag = QString::fromUtf8("🇨🇳");        // two regional indicators
    const QString accented = QString::fromUtf8("e\xCC\x81");  // e + combining acute

    const DisplayCase cases[] = {
        {"plain", "Key Light", "Key Light"},
        {"CJK", "摄影主灯", QString::fromUtf8("摄影主灯")},
        {"markup stays text", "<b>x</b>&amp;", "<b>x</b>&amp;"},
        {"terminal escape", "\x1b[31mred", bad + "[31mred"},
        {"line breaks and tab", "a\r\nb\tc", "a" + bad + bad + "b" + bad + "c"},
        {"NUL and DEL", std::string("a\0b\x7F", 4), "a" + bad + "b" + bad},
        {"C1 control", "a\xC2\x85" "b", "a" + bad + "b"},
        {"line separator", "a\xE2\x80\xA8" "b", "a" + bad + "b"},
        {"right-to-left override removed", "\xE2\x80\xAE" "evil", "evil"},
        {"embeddings, isolates and marks removed",
         "a\xE2\x80\xAA" "b\xE2\x80\xAC\xE2\x81\xA6" "c\xE2\x81\xA9\xE2\x80\x8F" "d\xD8\x9C",
         "abcd"},
        {"malformed UTF-8", "x\xFF\xC3", "x" + bad + bad},
        {"emoji keep their joiners", "👨‍👩‍👧 ok", family + " ok"},
        {"exactly the limit: not cut", std::string(kDisplayNameMaxCharacters, 'W'),
         repeated("W", kDisplayNameMaxCharacters)},
        {"one over the limit", std::string(kDisplayNameMaxCharacters + 1, 'W'),
         repeated("W", kDisplayNameMaxCharacters) + ellipsis},
        {"300 characters", std::string(300, 'W'), repeated("W", kDisplayNameMaxCharacters) + ellipsis},
        {"surrogate pair at the cut", std::string(kDisplayNameMaxCharacters - 1, 'a') + "😀😀",
         repeated("a", kDisplayNameMaxCharacters - 1) + QString::fromUtf8("😀") + ellipsis},
        {"joined emoji at the cut", std::string(kDisplayNameMaxCharacters - 1, 'b') + "👨‍👩‍👧" + "cc",
         repeated("b", kDisplayNameMaxCharacters - 1) + family + ellipsis},
        {"flags", repeated(flag, 40).toStdString(), repeated(flag, kDisplayNameMaxCharacters) + ellipsis},
        {"combining accents", repeated(accented, 40).toStdString(),
         repeated(accented, kDisplayNameMaxCharacters) + ellipsis},
        {"removed overrides do not count", "\xE2\x80\xAE" + std::string(kDisplayNameMaxCharacters, 'z'),
         repeated("z", kDisplayNameMaxCharacters)},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString shown = displayName(c.name);
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(shown.isValidUtf16());
    }
}

TEST(DisplayNameTest, AHalfSurrogateFromElsewhereIsNoCharacter)
{
    const QString pair = QString::fromUtf8("😀");
    EXPECT_EQ(displayName(QString("a") + pair.at(0)), "a" + QString(QChar(QChar::ReplacementCharacter)));
    EXPECT_EQ(displayName(pair.at(1) + QString("a")), QString(QChar(QChar::ReplacementCharacter)) + "a");
    EXPECT_EQ(displayName(pair), pair);
}

}  // namespace
}  // namespace lightdeck
