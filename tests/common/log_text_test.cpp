// A light's name is untrusted: in a log line its controls and bidi
// characters are spelled out, everything else is kept, nothing is cut.
#include "common/log_text.h"

#include <string>

#include <gtest/gtest.h>

#include "protocol/text_limits.h"

namespace lightdeck {
namespace {

TEST(LogTextTest, ControlAndBidiCharactersAreSpelledOutEverythingElseKept)
{
    const std::string longName(300, 'x');
    // Markup is text; the joiners emoji need are kept; terminal escapes, a
    // faked new log line, C0 and C1 controls, bidi embeddings, overrides,
    // isolates, marks and separators are spelled out; a backslash is doubled
    // so escapes cannot be faked; malformed bytes one by one; a real U+FFFD
    // stays; a 300-character name is logged whole.
    const std::pair<std::string, std::string> cases[] = {{"Key <b>x</b>&amp;", "Key <b>x</b>&amp;"},
        {"摄影主灯 😀👨‍👩‍👧", "摄影主灯 😀👨‍👩‍👧"}, {"\x1b[31mred", "\\x1B[31mred"},
        {"A\r\n[warning] forged", "A\\x0D\\x0A[warning] forged"}, {std::string("a\tb\0c\x7F", 6), "a\\x09b\\x00c\\x7F"},
        {"a\xC2\x9F" "b", "a\\u{009F}b"}, {"\xE2\x80\xAA\xE2\x80\xAE" "evil", "\\u{202A}\\u{202E}evil"},
        {"\xE2\x81\xA6\xE2\x81\xA9", "\\u{2066}\\u{2069}"},
        {"\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C\xE2\x80\xA8\xE2\x80\xA9", "\\u{200E}\\u{200F}\\u{061C}\\u{2028}\\u{2029}"},
        {"a\\x1B", "a\\\\x1B"}, {"a\xFF\xC3" "b\xE2\x82", "a\\xFF\\xC3b\\xE2\\x82"}, {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"\xEF\xBF\xBD", "\xEF\xBF\xBD"}, {longName, longName}};
    for (const auto& [name, logged] : cases) {
        EXPECT_EQ(escapedForLog(name), logged) << logged;
        EXPECT_EQ(cutToUtf16Units(logged, 100000), logged) << logged;  // well-formed UTF-8
    }
}

}  // namespace
}  // namespace lightdeck
