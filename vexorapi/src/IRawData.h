#ifndef VEXORAPI_IRAWDATA_H
#define VEXORAPI_IRAWDATA_H

#include "IRawDataElement.h"

#include <boost/ptr_container/ptr_deque.hpp>

class RawDataElement;

// The queue of raw reports between the reader thread, which appends at the
// back, and the parser thread, which removes from the front. The queue has no
// lock of its own: both threads touch it only with the new-data signal's
// mutex held (IBaseDataEvents::mutex).
class IRawData
{
public:
    IRawData() = default;
    explicit IRawData(RawDataElement *prototype);
    // Deletes every element still queued, not the prototype.
    virtual ~IRawData();

    IRawData(const IRawData &) = delete;
    IRawData &operator=(const IRawData &) = delete;

    // Owns its elements.
    boost::ptr_deque<IRawDataElement> elements;
    // Makes new elements and gives the reader its buffer length; not owned.
    RawDataElement *prototype = nullptr;
};

#endif // VEXORAPI_IRAWDATA_H
