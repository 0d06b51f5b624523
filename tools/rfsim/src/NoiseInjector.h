#ifndef TOOLS_RFSIM_NOISEINJECTOR_H
#define TOOLS_RFSIM_NOISEINJECTOR_H

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace rfsim {

// Probabilities (0..1) that one packet suffers each kind of line noise.
struct NoiseSettings
{
    double stray = 0.0; // 1 to 3 random bytes arrive before the packet
    double flip = 0.0;  // one bit of the packet is inverted
    double drop = 0.0;  // one byte of the packet is lost
    std::uint64_t seed = 1;

    bool any() const { return stray > 0.0 || flip > 0.0 || drop > 0.0; }
};

// Parses "stray=0.05,flip=0.01,drop=0.01,seed=7" (any subset, any order).
// Returns false with a message for unknown keys, bad numbers or
// probabilities outside 0..1.
bool parseNoiseSettings(const std::string &spec, NoiseSettings &settings, std::string &error);

// The bytes that go on the line for one packet, and what the noise did.
struct NoisyPacket
{
    std::vector<std::uint8_t> bytes;
    bool stray = false;
    bool flipped = false;
    bool dropped = false;

    // True when the packet's own bytes reach the line unchanged (stray bytes
    // in front of it leave it intact).
    bool intact() const { return !flipped && !dropped; }
};

// Damages packets at random, reproducibly for a given seed.
class NoiseInjector
{
public:
    explicit NoiseInjector(const NoiseSettings &settings = {});

    void reset(const NoiseSettings &settings);
    const NoiseSettings &settings() const { return settings_; }

    NoisyPacket apply(const std::vector<std::uint8_t> &packet);

private:
    bool happens(double probability);
    std::size_t pick(std::size_t count);

    NoiseSettings settings_;
    std::mt19937_64 random_;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_NOISEINJECTOR_H
