#include "ISpecificationCollection.h"

ISpecificationCollection::ISpecificationCollection() = default;

ISpecificationCollection::ISpecificationCollection(IHID *hid_) : hid(hid_) {}

ISpecificationCollection::~ISpecificationCollection() = default;
