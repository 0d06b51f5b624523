#include "BaseDataEvents.h"

void BaseDataEvents::notifyNewData()
{
    boost::lock_guard<boost::mutex> guard(mutex);
    condition.notify_one();
}
