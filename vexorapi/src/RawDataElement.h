#ifndef VEXORAPI_RAWDATAELEMENT_H
#define VEXORAPI_RAWDATAELEMENT_H

#include "IRawDataElement.h"

#include <memory>

class RawDataElement : public IRawDataElement
{
public:
    // No data, length 0, not-a-date-time.
    RawDataElement() = default;
    RawDataElement(const unsigned char *data, int length);

    // A second call replaces the earlier bytes and stamp. A negative length,
    // or no data, counts as 0 bytes.
    void setData(const unsigned char *data, int length) override;
    const boost::posix_time::ptime *getTimestamp() const override;
    const unsigned char *getData() const override;
    int getLength() const override;
    IRawDataElement *create(const unsigned char *data, int length) const override;

private:
    std::unique_ptr<unsigned char[]> data;
    int length = 0;
    boost::posix_time::ptime timestamp;
};

#endif // VEXORAPI_RAWDATAELEMENT_H
