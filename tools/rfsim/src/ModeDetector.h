#ifndef TOOLS_RFSIM_MODEDETECTOR_H
#define TOOLS_RFSIM_MODEDETECTOR_H

#include <array>
#include <cstdint>
#include <optional>

namespace rfsim {

// Watches the bytes the host sends and recognises the 5-byte mode commands
// (80 48 00 00 48: vote packets, 82 48 00 00 4A: text packets) anywhere in
// the stream. Other bytes (action packets, noise) are counted and ignored.
class ModeDetector
{
public:
    ModeDetector();

    // Feeds one byte; returns the commanded mode when it completes a command.
    std::optional<int> feed(std::uint8_t byte);

    // Bytes that were not part of a recognised mode command (so far); those
    // still in the window may yet complete one.
    std::uint64_t otherBytes() const { return received_ - recognised_ - filled_; }

private:
    using Window = std::array<std::uint8_t, 5>;

    std::array<Window, 2> commands_{}; // index = mode
    Window window_{};
    std::size_t filled_ = 0;
    std::uint64_t received_ = 0;
    std::uint64_t recognised_ = 0;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_MODEDETECTOR_H
