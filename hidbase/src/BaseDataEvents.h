#ifndef VEXOR_BASEDATAEVENTS_H
#define VEXOR_BASEDATAEVENTS_H

#include "IBaseDataEvents.h"

class BaseDataEvents : public IBaseDataEvents
{
public:
    void notifyNewData() override;
};

#endif
