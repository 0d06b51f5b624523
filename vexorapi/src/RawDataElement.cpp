#include "RawDataElement.h"

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/thread/lock_guard.hpp>

#include <algorithm>

RawDataElement::RawDataElement(const unsigned char *bytes, int count)
{
    setData(bytes, count);
}

void RawDataElement::setData(const unsigned char *bytes, int count)
{
    const int size = bytes ? std::max(count, 0) : 0;
    std::unique_ptr<unsigned char[]> block(new unsigned char[size]);
    std::copy(bytes, bytes + size, block.get());
    const boost::posix_time::ptime now = boost::posix_time::second_clock::local_time();

    boost::lock_guard<boost::mutex> guard(lock);
    data = std::move(block);
    length = size;
    timestamp = now;
}

const boost::posix_time::ptime *RawDataElement::getTimestamp() const
{
    boost::lock_guard<boost::mutex> guard(lock);
    return &timestamp;
}

const unsigned char *RawDataElement::getData() const
{
    boost::lock_guard<boost::mutex> guard(lock);
    return data.get();
}

int RawDataElement::getLength() const
{
    return length;
}

IRawDataElement *RawDataElement::create(const unsigned char *bytes, int count) const
{
    return new RawDataElement(bytes, count);
}
