#include "SpecificationCollectionVexorB42MRev7.h"

SpecificationCollectionVexorB42MRev7::SpecificationCollectionVexorB42MRev7(IHID *hid_)
    : ISpecificationCollection(hid_)
{
    addSpecification(1, 16, "Set frequencies for communication with remote units");
    addSpecification(1, 17, "");
    addSpecification(1, 18, "Stop vote");
    addSpecification(1, 21, "");
    addSpecification(1, 22, "");
    addSpecification(2, 23, "");
    addSpecification(1, 25, "");
    for (int command = 30; command <= 37; ++command)
        addSpecification(1, command, "");
    addSpecification(1, 19, "");
    addSpecification(1, 20, "");
    addSpecification(1, 24, "");
    addSpecification(1, 41, "");
    addSpecification(1, 42, "");
    addSpecification(1, 45, "");
    addSpecification(1, 46, "");
    addSpecification(1, 48, "");
    addSpecification(1, 24, "");
    addSpecification(1, 255, "");
}

SpecificationCollectionVexorB42MRev7::~SpecificationCollectionVexorB42MRev7() = default;

IUSBSpecifications *SpecificationCollectionVexorB42MRev7::getSpecification(int kind, int command)
{
    auto entry = entries.find(key(kind, command));
    return entry == entries.end() ? nullptr : &entry->second;
}

void SpecificationCollectionVexorB42MRev7::addSpecification(int kind, int command,
                                                            const std::string &description)
{
    entries.insert_or_assign(key(kind, command),
                             IUSBSpecifications(kind, command, hid, description));
}
