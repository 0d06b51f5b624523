#ifndef TOOLS_RFSIM_PACKETLOG_H
#define TOOLS_RFSIM_PACKETLOG_H

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace rfsim {

// What the simulator put on the line for one packet.
struct PacketRecord
{
    std::uint64_t seq = 0;
    std::uint64_t time = 0; // PacketLog::nowMicros() when the last byte was written
    std::string kind;       // "vote", "text" or "bytes"
    std::uint32_t remote = 0;
    int answer = 0;
    std::string text;
    int mode = 0;
    std::vector<std::uint8_t> bytes; // as written, noise included
    bool sent = false;               // false: the receiver was unplugged
    bool intact = true;              // the packet's own bytes went out unchanged
    std::vector<std::string> noise;  // "stray", "flip", "drop"
};

// JSON Lines record of everything the simulator did, one object per line,
// each with "t", the wall-clock time in microseconds since the epoch (the
// same clock a page's Date.now() reads). A log without a file discards all.
class PacketLog
{
public:
    PacketLog() = default;
    bool open(const std::string &path, std::string &error);

    void packet(const PacketRecord &record);
    void mode(int mode);
    void plugged(const std::string &path);
    void unplugged();

    static std::uint64_t nowMicros();
    static std::string jsonString(const std::string &text);
    static std::string hex(const std::vector<std::uint8_t> &bytes);

private:
    void write(std::uint64_t time, const std::string &event, const std::string &fields);

    std::ofstream file_;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_PACKETLOG_H
