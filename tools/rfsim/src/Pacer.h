#ifndef TOOLS_RFSIM_PACER_H
#define TOOLS_RFSIM_PACER_H

#include <chrono>
#include <cstddef>

namespace rfsim {

// Spaces packet writes the way the receiver's serial line would: every byte
// takes ten bit times (start bit, 8 data bits, stop bit), and an optional
// packet rate spaces packets further apart. An unthrottled pacer lets every
// write start at once.
class Pacer
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int lineBaud = 19200;
    static constexpr int bitsPerByte = 10;

    // baud 0 means unthrottled.
    explicit Pacer(int baud = lineBaud);

    void setBaud(int baud);
    bool throttled() const { return byteTime_.count() > 0; }

    // Earliest moment a write may start, given that it is `now`. A write that
    // comes a little late (scheduling jitter, up to catchUpWindow) still
    // counts from where the line became free, so a backlog goes out at exactly
    // the line rate on average; a USB serial adapter batches bytes similarly.
    Clock::time_point readyAt(Clock::time_point now) const;
    // Records that `bytes` bytes went out starting at `start`; the line is
    // busy until they are through.
    void commit(Clock::time_point start, std::size_t bytes);

private:
    static constexpr std::chrono::milliseconds catchUpWindow{20};

    std::chrono::duration<double> byteTime_{0};
    Clock::time_point lineFreeAt_{};
};

} // namespace rfsim

#endif // TOOLS_RFSIM_PACER_H
