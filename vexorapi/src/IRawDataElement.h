#ifndef VEXORAPI_IRAWDATAELEMENT_H
#define VEXORAPI_IRAWDATAELEMENT_H

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/thread/mutex.hpp>

// One input report as the device reader took it from the base: a private copy
// of its bytes and the local time at which it was stored.
class IRawDataElement
{
public:
    IRawDataElement() = default;
    virtual ~IRawDataElement() = default;

    IRawDataElement(const IRawDataElement &) = delete;
    IRawDataElement &operator=(const IRawDataElement &) = delete;

    // Stamps the element with the current local time and copies length bytes.
    virtual void setData(const unsigned char *data, int length) = 0;
    virtual const boost::posix_time::ptime *getTimestamp() const = 0;
    // The element's own block, getLength() bytes long.
    virtual const unsigned char *getData() const = 0;
    virtual int getLength() const = 0;
    // A new element over a copy of (data, length), stamped now; this element
    // only serves as the factory. The caller owns the result.
    virtual IRawDataElement *create(const unsigned char *data, int length) const = 0;

protected:
    // Serialises setData(), getTimestamp() and getData() on this element.
    mutable boost::mutex lock;
};

#endif // VEXORAPI_IRAWDATAELEMENT_H
