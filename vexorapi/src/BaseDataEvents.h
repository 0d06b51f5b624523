#ifndef VEXORAPI_BASEDATAEVENTS_H
#define VEXORAPI_BASEDATAEVENTS_H

#include "IBaseDataEvents.h"

class BaseDataEvents : public IBaseDataEvents
{
public:
    void notifyNewData() override;
};

#endif // VEXORAPI_BASEDATAEVENTS_H
