#include "NoiseInjector.h"

#include "TextFields.h"

namespace rfsim {

bool parseNoiseSettings(const std::string &spec, NoiseSettings &settings, std::string &error)
{
    NoiseSettings parsed = settings;
    for (const auto &[key, value] : splitKeyValues(spec, ',')) {
        if (key == "seed") {
            if (!parseUnsigned(value, parsed.seed)) {
                error = "noise seed must be an unsigned number: " + value;
                return false;
            }
            continue;
        }
        double *target = key == "stray"  ? &parsed.stray
                         : key == "flip" ? &parsed.flip
                         : key == "drop" ? &parsed.drop
                                         : nullptr;
        if (!target) {
            error = "unknown noise kind '" + key + "' (stray, flip, drop, seed)";
            return false;
        }
        if (!parseDouble(value, *target) || *target < 0.0 || *target > 1.0) {
            error = "noise probability must lie in 0..1: " + key + "=" + value;
            return false;
        }
    }
    settings = parsed;
    return true;
}

NoiseInjector::NoiseInjector(const NoiseSettings &settings)
{
    reset(settings);
}

void NoiseInjector::reset(const NoiseSettings &settings)
{
    settings_ = settings;
    random_.seed(settings.seed);
}

NoisyPacket NoiseInjector::apply(const std::vector<std::uint8_t> &packet)
{
    NoisyPacket out;
    out.bytes = packet;
    if (!settings_.any() || packet.empty())
        return out;

    if (happens(settings_.flip)) {
        out.bytes[pick(out.bytes.size())] ^= std::uint8_t(1u << pick(8));
        out.flipped = true;
    }
    if (happens(settings_.drop)) {
        out.bytes.erase(out.bytes.begin() + std::ptrdiff_t(pick(out.bytes.size())));
        out.dropped = true;
    }
    if (happens(settings_.stray)) {
        std::vector<std::uint8_t> stray(1 + pick(3));
        for (auto &byte : stray)
            byte = std::uint8_t(pick(256));
        out.bytes.insert(out.bytes.begin(), stray.begin(), stray.end());
        out.stray = true;
    }
    return out;
}

bool NoiseInjector::happens(double probability)
{
    return probability > 0.0 &&
           std::uniform_real_distribution<double>(0.0, 1.0)(random_) < probability;
}

std::size_t NoiseInjector::pick(std::size_t count)
{
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
}

} // namespace rfsim
