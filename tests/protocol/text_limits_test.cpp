#include "protocol/text_limits.h"

#include <string>

#include <gtest/gtest.h>

#include "protocol/utf8.h"

namespace lightdeck {
namespace {

const std::string kGrin = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
const std::string kKe = "\xE5\xAE\xA2";       // 客, one unit
const std::string kFffd = "\xEF\xBF\xBD";     // U+FFFD

// True when the whole text decodes without a replacement being needed.
bool isValidUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto d = utf8::decodeAt(text, i);
        if (d.codePoint == utf8::kReplacementCharacter && text.compare(i, 3, kFffd) != 0)
            return false;
        i += d.length;
    }
    return true;
}

struct CutCase {
    std::string input;
    std::size_t maxUnits;
    std::string output;
};

TEST(TextLimitsTest, CutsAtUtf16UnitsWithoutSplittingPairs)
{
    const CutCase cases[] = {
        {"", 6, ""},
        {"abcdef", 6, "abcdef"},
        {"abcdefg", 6, "abcdef"},
        {std::string(25, 'x'), kLightNameMaxUtf16Units, std::string(20, 'x')},
        {kKe + kKe + kKe + kKe + kKe + kKe + kKe, 6, kKe + kKe + kKe + kKe + kKe + kKe},
        // A pair that would straddle the limit is left out whole.
        {"abcde" + kGrin, 6, "abcde"},
        {"abcd" + kGrin, 6, "abcd" + kGrin},
        {kGrin + kGrin + kGrin + kGrin, 7, kGrin + kGrin + kGrin},
        {kGrin, 1, ""},
        {"abc", 0, ""},
        // Invalid UTF-8 becomes U+FFFD, one unit for each bad sequence.
        {"a\xFF" "b", 6, "a" + kFffd + "b"},
        {"\xC3", 6, kFffd},                         // truncated two-byte character
        {"\xE5\xAE", 6, kFffd},                     // truncated three-byte character
        {"\xC0\xAF", 6, kFffd + kFffd},             // overlong "/"
        {"\xED\xA0\x80", 6, kFffd + kFffd + kFffd},  // a surrogate written as UTF-8
        {"\xF4\x90\x80\x80", 6, kFffd + kFffd + kFffd + kFffd},  // above U+10FFFF
        {"\x80\x80\x80\x80\x80\x80\x80", 6, kFffd + kFffd + kFffd + kFffd + kFffd + kFffd},
        {"\xE5\xAE" "a", 6, kFffd + "a"},  // the good byte after a cut sequence is kept
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string cut = cutToUtf16Units(c.input, c.maxUnits);
        EXPECT_EQ(cut, c.output);
        EXPECT_LE(utf16Length(cut), c.maxUnits);
        EXPECT_TRUE(isValidUtf8(cut));
    }
}

TEST(TextLimitsTest, Utf16Length)
{
    EXPECT_EQ(utf16Length(""), 0u);
    EXPECT_EQ(utf16Length("abc"), 3u);
    EXPECT_EQ(utf16Length(kKe), 1u);
    EXPECT_EQ(utf16Length(kGrin), 2u);
    EXPECT_EQ(utf16Length("\xFF\xFF"), 2u);
}

TEST(TextLimitsTest, AnyByteStringGivesValidUtf8)
{
    // Every two-byte string: no crash, valid output, never longer than asked.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string input{static_cast<char>(a), static_cast<char>(b)};
            const std::string cut = cutToUtf16Units(input, 1);
            ASSERT_LE(utf16Length(cut), 1u) << a << ' ' << b;
            ASSERT_TRUE(isValidUtf8(cut)) << a << ' ' << b;
        }
    }
}

}  // namespace
}  // namespace lightdeck
