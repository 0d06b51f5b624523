#ifndef TOOLS_RFSIM_TRANSMITTER_H
#define TOOLS_RFSIM_TRANSMITTER_H

#include "NoiseInjector.h"
#include "Pacer.h"
#include "PacketLog.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace rfsim {

// Something a remote (or a test) puts on the air; it becomes bytes only when
// its turn on the line comes, in the packet kind of the receiver's mode then.
struct Outgoing
{
    enum class Kind { Vote, Text, Bytes };

    Kind kind = Kind::Vote;
    std::uint32_t remote = 0;
    int answer = 0;
    std::string text;
    std::vector<std::uint8_t> bytes;
};

struct TransmitterStats
{
    std::uint64_t sent = 0;    // packets written to the host
    std::uint64_t lost = 0;    // packets that found the receiver unplugged
    std::uint64_t skipped = 0; // texts while the receiver was in vote mode
    std::uint64_t damaged = 0; // packets the noise changed
};

// The receiver's output: a queue of outgoing packets written back to back to
// the port as the pacer allows, with noise applied and every packet logged.
class Transmitter
{
public:
    using Clock = Pacer::Clock;

    explicit Transmitter(PacketLog &log);

    void enqueue(Outgoing item) { queue_.push_back(std::move(item)); }
    // Drops everything not yet written (a packet half written is finished).
    void dropQueued() { queue_.clear(); }
    std::size_t queued() const { return queue_.size(); }
    bool idle() const { return queue_.empty() && !inFlight_; }

    void setMode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }
    void setBaud(int baud) { pacer_.setBaud(baud); }
    void setNoise(const NoiseSettings &noise) { noise_.reset(noise); }

    // Writes whatever is due to fd (-1: unplugged, packets are lost).
    void service(Clock::time_point now, int fd);
    // When service() should run next; nullopt while waiting for the port to
    // take bytes (blockedOnPort()) or with nothing queued.
    std::optional<Clock::time_point> nextWakeUp(Clock::time_point now) const;
    bool blockedOnPort() const { return blocked_; }

    const TransmitterStats &stats() const { return stats_; }

private:
    struct InFlight
    {
        PacketRecord record;
        std::size_t written = 0;
    };

    bool startNext(Clock::time_point now);
    std::vector<std::uint8_t> encode(const Outgoing &item, PacketRecord &record) const;
    bool writeSome(int fd);
    void finish(bool sent);

    PacketLog &log_;
    Pacer pacer_;
    NoiseInjector noise_;
    std::deque<Outgoing> queue_;
    std::optional<InFlight> inFlight_;
    bool blocked_ = false;
    // The receiver's mode; atomic so that other threads (tests, monitors) may
    // read it while the simulator runs.
    std::atomic<int> mode_{0};
    std::uint64_t seq_ = 0;
    TransmitterStats stats_;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_TRANSMITTER_H
