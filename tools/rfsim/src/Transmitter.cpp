#include "Transmitter.h"

#include "AnswerCodes.h"

#include <kwend/Encoder.h>

#include <cerrno>
#include <unistd.h>

namespace rfsim {

namespace {

// What a remote types is answered with d0 = 1, the value hosts accept.
constexpr std::uint8_t typedTextMarker = 1;

template <std::size_t N> std::vector<std::uint8_t> toVector(const std::array<std::uint8_t, N> &a)
{
    return std::vector<std::uint8_t>(a.begin(), a.end());
}

} // namespace

Transmitter::Transmitter(PacketLog &log) : log_(log) {}

void Transmitter::service(Clock::time_point now, int fd)
{
    blocked_ = false;
    while (inFlight_ || startNext(now)) {
        if (fd < 0) {
            finish(false);
            continue;
        }
        if (!writeSome(fd))
            return;
    }
}

std::optional<Transmitter::Clock::time_point> Transmitter::nextWakeUp(Clock::time_point now) const
{
    if (blocked_ || queue_.empty())
        return std::nullopt;
    return pacer_.readyAt(now);
}

bool Transmitter::startNext(Clock::time_point now)
{
    while (!queue_.empty()) {
        const Clock::time_point start = pacer_.readyAt(now);
        if (start > now)
            return false;
        const Outgoing item = std::move(queue_.front());
        queue_.pop_front();

        PacketRecord record;
        record.seq = ++seq_;
        record.mode = mode_;
        const std::vector<std::uint8_t> packet = encode(item, record);
        if (packet.empty()) {
            ++stats_.skipped;
            record.time = PacketLog::nowMicros();
            log_.packet(record); // logged unsent, so the log accounts for every item
            continue;
        }
        const NoisyPacket noisy =
            item.kind == Outgoing::Kind::Bytes ? NoisyPacket{packet} : noise_.apply(packet);
        record.bytes = noisy.bytes;
        record.intact = noisy.intact();
        if (noisy.stray)
            record.noise.push_back("stray");
        if (noisy.flipped)
            record.noise.push_back("flip");
        if (noisy.dropped)
            record.noise.push_back("drop");
        pacer_.commit(start, record.bytes.size());
        inFlight_ = InFlight{std::move(record)};
        return true;
    }
    return false;
}

// Empty result: the item has no packet in the current mode (a typed text
// while the receiver delivers vote packets).
std::vector<std::uint8_t> Transmitter::encode(const Outgoing &item, PacketRecord &record) const
{
    record.remote = item.remote;
    const kwend::WordFields fields{item.remote, std::uint8_t(item.answer), kwend::kVoteType};
    switch (item.kind) {
    case Outgoing::Kind::Bytes:
        record.kind = "bytes";
        return item.bytes;
    case Outgoing::Kind::Vote:
        if (mode_ == 0) {
            record.kind = "vote";
            record.answer = item.answer;
            return toVector(kwend::encodeVote(fields));
        }
        record.kind = "text";
        record.text = keyText(item.answer);
        break;
    case Outgoing::Kind::Text:
        record.kind = "text";
        record.text = item.text;
        if (mode_ == 0)
            return {};
        break;
    }
    const kwend::WordFields textFields{item.remote, 0, kwend::kVoteType};
    return toVector(kwend::encodeText(textFields, {typedTextMarker, 0, record.text}));
}

// False when the port takes no more bytes for now.
bool Transmitter::writeSome(int fd)
{
    const std::vector<std::uint8_t> &bytes = inFlight_->record.bytes;
    const ssize_t count =
        ::write(fd, bytes.data() + inFlight_->written, bytes.size() - inFlight_->written);
    if (count < 0 && errno == EINTR)
        return true;
    if (count < 0 && errno == EAGAIN) {
        blocked_ = true;
        return false;
    }
    if (count < 0) {
        finish(false);
        return true;
    }
    inFlight_->written += std::size_t(count);
    if (inFlight_->written == bytes.size())
        finish(true);
    return true;
}

void Transmitter::finish(bool sent)
{
    PacketRecord &record = inFlight_->record;
    record.sent = sent;
    record.time = PacketLog::nowMicros();
    ++(sent ? stats_.sent : stats_.lost);
    if (!record.intact)
        ++stats_.damaged;
    log_.packet(record);
    inFlight_.reset();
}

} // namespace rfsim
