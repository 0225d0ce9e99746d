#include "common/log_text.h"

#include <string>

#include <gtest/gtest.h>

#include "protocol/text_limits.h"

namespace lightdeck {
namespace {

struct EscapeCase {
    const char* what;
    std::string name;
    std::string logged;
};

TEST(LogTextTest, ControlAndBidiCharactersAreSpelledOutEverythingElseKept)
{
    const EscapeCase cases[] = {
        {"plain", "Key Light 1", "Key Light 1"},
        {"markup is text, not a control", "<b>x</b>&amp;", "<b>x</b>&amp;"},
        {"CJK and emoji", "摄影主灯 😀👨‍👩‍👧", "摄影主灯 😀👨‍👩‍👧"},
        {"terminal colour", "\x1b[31mred\x1b[0m", "\\x1B[31mred\\x1B[0m"},
        {"fake new log line", "A\r\n[warning] forged", "A\\x0D\\x0A[warning] forged"},
        {"tab, NUL, DEL", std::string("a\tb\0c\x7F", 6), "a\\x09b\\x00c\\x7F"},
        {"C1 control (NEL)", "a\xC2\x85" "b", "a\\u{0085}b"},
        {"right-to-left override", "\xE2\x80\xAE" "evil", "\\u{202E}evil"},
        {"every embedding and override",
         "\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\xAE",
         "\\u{202A}\\u{202B}\\u{202C}\\u{202D}\\u{202E}"},
        {"isolates", "\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9",
         "\\u{2066}\\u{2067}\\u{2068}\\u{2069}"},
        {"marks and separators", "\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C\xE2\x80\xA8\xE2\x80\xA9",
         "\\u{200E}\\u{200F}\\u{061C}\\u{2028}\\u{2029}"},
        {"zero-width joiner is kept (emoji need it)", "a\xE2\x80\x8D" "b", "a\xE2\x80\x8D" "b"},
        {"backslash, so escapes cannot be faked", "a\\x1B", "a\\\\x1B"},
        {"malformed bytes one by one", "a\xFF\xC3" "b\xE2\x82", "a\\xFF\\xC3b\\xE2\\x82"},
        {"a real replacement character stays", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
        {"encoded surrogate is malformed", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string logged = escapedForLog(c.name);
        EXPECT_EQ(logged, c.logged);
        // Whatever came in, the line is well-formed UTF-8 with no control left.
        EXPECT_EQ(cutToUtf16Units(logged, 100000), logged);
        for (char ch : logged)
            EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F);
    }
}

TEST(LogTextTest, ALongNameIsLoggedWholeWithItsControlsEscaped)
{
    std::string name;
    for (int i = 0; i < 300; ++i)
        name += (i % 50 == 49) ? "\n" : "é";
    const std::string logged = escapedForLog(name);
    EXPECT_EQ(logged.find('\n'), std::string::npos);
    EXPECT_EQ(logged.size(), 294u * 2 + 6u * 4);  // 294 two-byte é, six "\x0A"
}

}  // namespace
}  // namespace lightdeck
