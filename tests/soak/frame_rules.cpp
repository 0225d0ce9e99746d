#include "soak/frame_rules.h"

#include <string_view>

#include "protocol/hex_text.h"
#include "protocol/text_limits.h"

namespace lightdeck::testing {
namespace {

std::string inRange(const char* what, int value, int low, int high)
{
    if (value >= low && value <= high)
        return {};
    return std::string(what) + " " + std::to_string(value) + " outside " + std::to_string(low) + ".."
           + std::to_string(high);
}

std::string zero(const Bytes& v, std::initializer_list<std::size_t> positions)
{
    for (std::size_t p : positions) {
        if (v[p] != 0)
            return "byte " + std::to_string(p) + " should be 00";
    }
    return {};
}

std::string check(const Bytes& v)
{
    if (v.size() >= 2 && v[0] == 0xAA && v[1] == 0x00) {
        const std::string_view name(reinterpret_cast<const char*>(v.data()) + 2, v.size() - 2);
        if (cutToUtf16Units(name, name.size()) != name)
            return "rename message with malformed UTF-8";
        if (utf16Length(name) > kLightNameMaxUtf16Units)
            return "rename message longer than " + std::to_string(kLightNameMaxUtf16Units) + " UTF-16 units";
        return {};
    }
    if (v.size() != 7)
        return "length " + std::to_string(v.size()) + ", not 7";
    if (v[0] != 0xAA || v[6] != 0xBB)
        return "start or end mark wrong";
    std::string problem;
    switch (v[1]) {
    case 0x01:
        if ((problem = inRange("brightness", v[2], 0, 100)).empty()
            && (problem = inRange("colour temperature", v[3], 30, 65)).empty())
            problem = zero(v, {4, 5});
        return problem;
    case 0x02:
        if ((problem = inRange("brightness", v[2], 0, 100)).empty()
            && (problem = inRange("cntValue", v[3], 0, 100)).empty())
            problem = inRange("hue", v[4] * 256 + v[5], 0, 360);
        return problem;
    case 0x03:
        if ((problem = inRange("effect", v[3], 0, 10)).empty() && (problem = inRange("option", v[5], 0, 3)).empty())
            problem = zero(v, {2, 4});
        return problem;
    case 0x04:
        if ((problem = inRange("brightness", v[2], 0, 100)).empty()
            && (problem = inRange("colour", v[3], 1, 7)).empty())
            problem = zero(v, {4, 5});
        return problem;
    case 0x06:
        return zero(v, {2, 3, 4, 5});
    default:
        return "unknown command " + std::to_string(v[1]);
    }
}

}  // namespace

std::string frameProblem(const Bytes& value)
{
    std::string problem = check(value);
    if (!problem.empty())
        problem += " in <" + hexTextFromBytes(value) + ">";
    return problem;
}

}  // namespace lightdeck::testing
