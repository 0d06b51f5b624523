#ifndef LECTERN_VOTING_RECEIVERPACKETS_H
#define LECTERN_VOTING_RECEIVERPACKETS_H

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The receiver's packets decoded through the SDK, and its mode command, as the
// clicker manager and the receiver doctor use them. A frame must hold at least the packet's
// length (KWEND_VOTE_PACKET_SIZE or KWEND_TEXT_PACKET_SIZE); an empty result
// means the SDK rejected it.
namespace ReceiverPackets {

struct Vote
{
    quint32 remote = 0;
    qint32 answerCode = 0;
};

struct Text
{
    quint32 remote = 0;
    quint32 firstValue = 0;
    qint32 secondValue = 0;
    qint32 excess = 0;
    // Up to 20 characters of 7-bit text.
    QByteArray text;
};

std::optional<Vote> decodeVote(const QByteArray &frame);
std::optional<Text> decodeText(const QByteArray &frame);

// The 5-byte command that switches the receiver to vote (0) or text (1) packets.
QByteArray modeCommand(int mode);

} // namespace ReceiverPackets

#endif // LECTERN_VOTING_RECEIVERPACKETS_H
