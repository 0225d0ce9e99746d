#pragma once
// The contents the kill test's writer process saves, one per generation, and
// the way back from a stored value to its generation. Shared by the writer
// and the test, so the test can check a stored value byte for byte.

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace lightdeck::testing {

// Eight groups of ten members, names with the generation in them and a few
// kilobytes in all, so that a kill can land in the middle of a write.
inline nlohmann::json deviceInGroupFor(long long generation)
{
    nlohmann::json groups = nlohmann::json::array();
    for (int group = 0; group < 8; ++group) {
        nlohmann::json members = nlohmann::json::object();
        for (int member = 0; member < 10; ++member) {
            char identifier[40];
            std::snprintf(identifier, sizeof identifier, "0D3F2C1A-0000-4000-8000-%06d%06d", group, member);
            members[identifier] = "灯 " + std::to_string(generation) + " · " + std::to_string(group * 10 + member)
                                  + " 😀 Key Light";
        }
        groups.push_back(std::move(members));
    }
    return groups;
}

// The generation of a value made by deviceInGroupFor(), or -1 when the value
// is not exactly one of them.
inline long long generationOf(const nlohmann::json& value)
{
    if (!value.is_array() || value.empty() || !value[0].is_object() || value[0].empty())
        return -1;
    const auto& first = value[0].begin().value();
    if (!first.is_string())
        return -1;
    const std::string name = first.get<std::string>();
    const auto space = name.find(' ');
    const auto dot = name.find(' ', space + 1);
    if (space == std::string::npos || dot == std::string::npos)
        return -1;
    long long generation = -1;
    try {
        generation = std::stoll(name.substr(space + 1, dot - space - 1));
    } catch (...) {
        return -1;
    }
    return generation >= 1 && value == deviceInGroupFor(generation) ? generation : -1;
}

}  // namespace lightdeck::testing
