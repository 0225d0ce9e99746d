#include "protocol/command_frame.h"

namespace lightdeck {

CommandFrame::CommandFrame(CommandNumber command, std::array<std::uint8_t, 4> parameters)
    : m_bytes{kStartMark, static_cast<std::uint8_t>(command), parameters[0], parameters[1],
              parameters[2], parameters[3], kEndMark}
{
}

void CommandFrame::setParameter(std::size_t byteIndex, std::uint8_t value)
{
    if (byteIndex >= kFirstParameterByte && byteIndex <= kLastParameterByte)
        m_bytes[byteIndex] = value;
}

std::uint8_t CommandFrame::byteAt(std::size_t byteIndex) const
{
    return byteIndex < kLength ? m_bytes[byteIndex] : 0;
}

}  // namespace lightdeck
