#include "ReceiverPackets.h"

#include <k-wendsdk/kwendsdk.h>

#include <array>

namespace ReceiverPackets {

std::optional<Vote> decodeVote(const QByteArray &frame)
{
    if (frame.size() < KWEND_VOTE_PACKET_SIZE)
        return std::nullopt;
    Vote vote;
    if (kwend_inspect(reinterpret_cast<const uint8_t *>(frame.constData()), &vote.remote,
                      &vote.answerCode) != 0) {
        return std::nullopt;
    }
    return vote;
}

std::optional<Text> decodeText(const QByteArray &frame)
{
    if (frame.size() < KWEND_TEXT_PACKET_SIZE)
        return std::nullopt;
    Text text;
    std::array<char, KWEND_TEXT_BUFFER_SIZE> characters{};
    if (kwend_drid_inspect(reinterpret_cast<const uint8_t *>(frame.constData()), &text.remote,
                           &text.firstValue, &text.secondValue, &text.excess,
                           characters.data()) != 0) {
        return std::nullopt;
    }
    text.text = QByteArray(characters.data());
    return text;
}

QByteArray modeCommand(int mode)
{
    std::array<uint8_t, KWEND_COMMAND_SIZE> command{};
    kwend_base_unit_mode(command.data(), mode);
    return QByteArray(reinterpret_cast<const char *>(command.data()), int(command.size()));
}

} // namespace ReceiverPackets
