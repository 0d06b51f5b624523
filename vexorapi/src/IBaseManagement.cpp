#include "IBaseManagement.h"

IBaseManagement::IBaseManagement() = default;

IBaseManagement::IBaseManagement(IBaseManagementEvents *events_) : events(events_) {}

IBaseManagement::~IBaseManagement() = default;
