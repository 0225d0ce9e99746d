#pragma once
// The fixed tables of the effects and preset colour panels, and what a
// light's marker bytes (report bytes above 0xF0) mean to each panel.
// Qt-free, so the meaning of a report can be checked without a screen.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lightdeck {

// One effect, as its tile and the panel's header show it. Image names are
// resources under ":/images/" (see ui/images.h).
struct EffectMode {
    // Byte 3 of the effect frame, 1 to 10.
    int effectNumber = 0;
    // Tile caption.
    std::string_view title;
    // Chinese and English mode names shown above the grid.
    std::string_view mode;
    std::string_view modeTitle;
    // Tile icon; large icon after a tile tap; large icon after an option tap.
    std::string_view imageName;
    std::string_view modeImage;
    std::string_view optionImage;
};

// In tile order (row 0 first); the effect number is row + 1.
inline constexpr std::array<EffectMode, 10> kEffectModes{{
    {1, "警灯", "警灯模式", "Warning light mode", "ic_warning", "ic_warning_white", "ic_warning_red"},
    {2, "七彩", "七彩模式", "Color mode", "ic_color", "ic_color_white", "ic_color_red"},
    {3, "派对", "派对模式", "Party mode", "ic_party", "ic_party_white", "ic_party_red"},
    {4, "音乐", "音乐模式", "Music mode", "ic_music", "ic_music_white", "ic_music_red"},
    {5, "烛火", "烛火模式", "Fire mode", "ic_fire", "ic_fire_white", "ic_fire_red"},
    {6, "照相", "照相模式", "Photo mode", "ic_photo", "ic_photo_white", "ic_photo_red"},
    {7, "闪电", "闪电模式", "Lighting mode", "ic_lightning", "ic_lightning_white", "ic_lightning_red"},
    {8, "幻彩", "幻彩模式", "Colorful mode", "ic_colorful", "ic_colorful_white", "ic_colorful_red"},
    {9, "频动", "频动模式", "Rate mode", "ic_rate", "ic_rate_white", "ic_rate_red"},
    {10, "流动", "流动模式", "Flow mode", "ic_flow", "ic_flow_white", "ic_flow_red"},
}};

// The effect option buttons carry the tags 10, 11, 12; option = tag - 9.
inline constexpr int kFirstOptionTag = 10;
inline constexpr int kLastOptionTag = 12;

// The preset colour buttons carry the tags 10 (red) to 16 (purple);
// colour number = tag - 9.
inline constexpr int kFirstColourTag = 10;
inline constexpr int kLastColourTag = 16;

// Marker bytes scanned at position 3 of the effect reports: 0xF1 to 0xFA
// name the tiles of rows 0 to 9. Anything else names no tile.
constexpr std::optional<int> unavailableEffectRow(std::uint8_t marker)
{
    const int row = int(marker) - 0xF1;
    if (row < 0 || row >= int(kEffectModes.size()))
        return std::nullopt;
    return row;
}

// Marker bytes scanned at position 4 of the effect reports: 0xFB, 0xFC and
// 0xFD name the option buttons 10, 11 and 12. Any other byte names no
// control: in particular 0xF1 (tag 0, the panel itself) shields nothing.
constexpr std::optional<int> unavailableOptionTag(std::uint8_t marker)
{
    const int tag = int(marker) - 0xF1;
    if (tag < kFirstOptionTag || tag > kLastOptionTag)
        return std::nullopt;
    return tag;
}

// Marker bytes scanned at position 3 of the preset colour reports: byte -
// 230 is the tag, so 0xF1 (orange) to 0xF6 (purple). Red has no marker.
constexpr std::optional<int> unavailableColourTag(std::uint8_t marker)
{
    const int tag = int(marker) - 230;
    if (marker <= 0xF0 || tag < kFirstColourTag || tag > kLastColourTag)
        return std::nullopt;
    return tag;
}

}  // namespace lightdeck
