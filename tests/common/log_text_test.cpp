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
    std::string longName;
    for (int i = 0; i < 300; ++i)
        longName += "é";
    const std::pair<std::string, std::string> cases[] = {
        {"Key <b>x</b>&amp;", "Key <b>x</b>&amp;"},  // markup is text
        {"摄影主灯 😀👨‍👩‍👧", "摄影主灯 😀👨‍👩‍👧"},              // the joiners emoji need are kept
        {"\x1b[31mred", "\\x1B[31mred"},            // terminal colour
        {"A\r\n[warning] forged", "A\\x0D\\x0A[warning] forged"},
        {std::string("a\tb\0c\x7F", 6), "a\\x09b\\x00c\\x7F"},
        {"a\xC2\x85" "b", "a\\u{0085}b"},  // C1 control
        {"\xE2\x80\xAA\xE2\x80\xAE" "evil", "\\u{202A}\\u{202E}evil"},  // embedding, override
        {"\xE2\x81\xA6\xE2\x81\xA9", "\\u{2066}\\u{2069}"},              // isolates
        {"\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C\xE2\x80\xA8\xE2\x80\xA9", "\\u{200E}\\u{200F}\\u{061C}\\u{2028}\\u{2029}"},
        {"a\\x1B", "a\\\\x1B"},  // a backslash, so escapes cannot be faked
        {"a\xFF\xC3" "b\xE2\x82", "a\\xFF\\xC3b\\xE2\\x82"}, {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // malformed
        {"\xEF\xBF\xBD", "\xEF\xBF\xBD"},  // a real replacement character stays
        {longName, longName},
    };
    for (const auto& [name, logged] : cases) {
        EXPECT_EQ(escapedForLog(name), logged) << logged;
        EXPECT_EQ(cutToUtf16Units(logged, 100000), logged) << logged;  // well-formed UTF-8
    }
}

}  // namespace
}  // namespace lightdeck
