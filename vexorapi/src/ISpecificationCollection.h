#ifndef VEXORAPI_ISPECIFICATIONCOLLECTION_H
#define VEXORAPI_ISPECIFICATIONCOLLECTION_H

class IHID;
class IUSBSpecifications;

/// The table of commands of one base model.
class ISpecificationCollection
{
public:
    ISpecificationCollection();
    explicit ISpecificationCollection(IHID *hid);
    virtual ~ISpecificationCollection();

    /// The command of that kind and number, or null if the table lacks it.
    virtual IUSBSpecifications *getSpecification(int kind, int command) = 0;

    IHID *hid = nullptr;
};

#endif // VEXORAPI_ISPECIFICATIONCOLLECTION_H
