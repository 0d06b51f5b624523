#include "Pacer.h"

namespace rfsim {

Pacer::Pacer(int baud)
{
    setBaud(baud);
}

void Pacer::setBaud(int baud)
{
    byteTime_ = baud > 0 ? std::chrono::duration<double>(double(bitsPerByte) / baud)
                         : std::chrono::duration<double>(0);
}

Pacer::Clock::time_point Pacer::readyAt(Clock::time_point now) const
{
    if (!throttled())
        return now;
    return now <= lineFreeAt_ + catchUpWindow ? lineFreeAt_ : now;
}

void Pacer::commit(Clock::time_point start, std::size_t bytes)
{
    if (!throttled())
        return;
    lineFreeAt_ = start + std::chrono::duration_cast<Clock::duration>(byteTime_ * double(bytes));
}

} // namespace rfsim
