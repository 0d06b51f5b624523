#include "PacketLog.h"

#include <chrono>
#include <cstdio>

namespace rfsim {

bool PacketLog::open(const std::string &path, std::string &error)
{
    file_.open(path, std::ios::out | std::ios::trunc);
    if (!file_) {
        error = "cannot write the log file " + path;
        return false;
    }
    return true;
}

void PacketLog::packet(const PacketRecord &record)
{
    std::string fields = ",\"seq\":" + std::to_string(record.seq) + ",\"kind\":\"" + record.kind +
                         "\",\"mode\":" + std::to_string(record.mode);
    if (record.kind != "bytes")
        fields += ",\"remote\":" + std::to_string(record.remote);
    if (record.kind == "vote")
        fields += ",\"answer\":" + std::to_string(record.answer);
    if (record.kind == "text")
        fields += ",\"text\":" + jsonString(record.text);
    fields += ",\"bytes\":\"" + hex(record.bytes) +
              "\",\"sent\":" + (record.sent ? "true" : "false") +
              ",\"intact\":" + (record.intact ? "true" : "false") + ",\"noise\":[";
    for (std::size_t i = 0; i < record.noise.size(); ++i)
        fields += (i ? ",\"" : "\"") + record.noise[i] + "\"";
    write(record.time ? record.time : nowMicros(), "packet", fields + "]");
}

void PacketLog::mode(int mode)
{
    write(nowMicros(), "mode", ",\"mode\":" + std::to_string(mode));
}

void PacketLog::plugged(const std::string &path)
{
    write(nowMicros(), "plug", ",\"path\":" + jsonString(path));
}

void PacketLog::unplugged()
{
    write(nowMicros(), "unplug", "");
}

std::uint64_t PacketLog::nowMicros()
{
    using namespace std::chrono;
    return std::uint64_t(
        duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

std::string PacketLog::jsonString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string PacketLog::hex(const std::vector<std::uint8_t> &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t byte : bytes) {
        out += digits[byte >> 4];
        out += digits[byte & 0x0f];
    }
    return out;
}

void PacketLog::write(std::uint64_t time, const std::string &event, const std::string &fields)
{
    if (!file_.is_open())
        return;
    file_ << "{\"t\":" << time << ",\"event\":\"" << event << "\"" << fields << "}\n";
    file_.flush();
}

} // namespace rfsim
