#ifndef TOOLS_RFSIM_SIMULATOR_H
#define TOOLS_RFSIM_SIMULATOR_H

#include "ClassSimulation.h"
#include "Command.h"
#include "LineSource.h"
#include "ModeDetector.h"
#include "PacketLog.h"
#include "ReceiverPort.h"
#include "Transmitter.h"

#include <atomic>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace rfsim {

// The receiver's behaviour: runs commands from its sources (scripts, the
// control channel), a simulated class, and the host's mode commands, and
// drives the transmitter. Everything happens on one thread around poll().
//
// Lines on `events` (flushed at once, for programs that drive the simulator):
//   mode <m>                    the host commanded mode m (also the answer to "mode?")
//   plugged pty=<device>        / unplugged
//   class done votes=<n>
//   idle sent=<n> lost=<n> skipped=<n> damaged=<n>      (answer to "sync")
//   stats sent=... mode=<m> host-bytes=<n> unread=<n>   (answer to "stats?";
//                               unread: bytes the host has not read yet)
// Errors in commands go to `errors` and do not stop the simulator.
class Simulator
{
public:
    using Clock = Transmitter::Clock;

    Simulator(ReceiverPort &port, PacketLog &log, std::ostream &events, std::ostream &errors);

    void addSource(std::unique_ptr<LineSource> source);
    void execute(const Command &command);
    // Quit on its own once every source is exhausted and everything is out
    // and read by the host (or maxDrainWait passed).
    void setExitWhenDone(bool exitWhenDone) { exitWhenDone_ = exitWhenDone; }

    // Runs until "quit", stop(), or (with exit-when-done) the end of the work.
    void run();
    // Async-signal-safe.
    void stop() { stopRequested_ = true; }

    int mode() const { return transmitter_.mode(); }
    const TransmitterStats &stats() const { return transmitter_.stats(); }

private:
    struct Source
    {
        std::unique_ptr<LineSource> lines;
        Clock::time_point resumeAt{};
        bool awaitingIdle = false;
    };

    static constexpr std::size_t classBacklog = 64;
    static constexpr std::chrono::milliseconds drainGrace{200};
    static constexpr std::chrono::seconds maxDrainWait{10};

    void runSources(Clock::time_point now);
    void runSource(Source &source, Clock::time_point now);
    bool allWorkDone() const;
    bool everythingIdle() const;
    void feedClass(Clock::time_point now);
    void readHost();
    void waitForEvents(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline(Clock::time_point now) const;
    void plug();
    void unplug();
    void reportIdle();
    void emit(const std::string &line);

    ReceiverPort &port_;
    PacketLog &log_;
    std::ostream &events_;
    std::ostream &errors_;
    Transmitter transmitter_;
    ModeDetector modeDetector_;
    std::vector<Source> sources_;
    std::optional<ClassSimulation> class_;
    bool exitWhenDone_ = false;
    std::optional<Clock::time_point> doneSince_;
    bool quit_ = false;
    std::atomic<bool> stopRequested_{false};
};

} // namespace rfsim

#endif // TOOLS_RFSIM_SIMULATOR_H
