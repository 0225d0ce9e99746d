#pragma once
// One 7-byte command frame: AA, command number, four parameter bytes, BB.
// No length, checksum or sequence number; a 16-bit value goes high byte
// first. A parameter byte a command does not use is 0x00.

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/bytes.h"

namespace lightdeck {

enum class CommandNumber : std::uint8_t {
    Rename = 0x00,  // not a 7-byte frame: see renameMessage()
    ColourTemperature = 0x01,
    Hue = 0x02,
    Effect = 0x03,
    PresetColour = 0x04,
    RescueSignal = 0x06,  // SOS
};

class CommandFrame {
public:
    static constexpr std::size_t kLength = 7;
    static constexpr std::uint8_t kStartMark = 0xAA;
    static constexpr std::uint8_t kEndMark = 0xBB;
    // Parameter bytes are addressed by their position in the frame, 2 to 5.
    static constexpr std::size_t kFirstParameterByte = 2;
    static constexpr std::size_t kLastParameterByte = 5;

    // `parameters` are bytes 2 to 5.
    explicit CommandFrame(CommandNumber command, std::array<std::uint8_t, 4> parameters = {});

    CommandNumber command() const { return static_cast<CommandNumber>(m_bytes[1]); }

    // Sets frame byte `byteIndex` (2 to 5). The marks and the command number
    // cannot be changed: any other index is ignored.
    void setParameter(std::size_t byteIndex, std::uint8_t value);
    // Frame byte `byteIndex` (0 to 6); 0 past the end.
    std::uint8_t byteAt(std::size_t byteIndex) const;

    // The 7 bytes to write.
    Bytes bytes() const { return Bytes(m_bytes.begin(), m_bytes.end()); }

    bool operator==(const CommandFrame& other) const = default;

private:
    std::array<std::uint8_t, kLength> m_bytes{};
};

}  // namespace lightdeck
