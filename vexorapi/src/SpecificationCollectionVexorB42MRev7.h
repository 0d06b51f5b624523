#ifndef VEXORAPI_SPECIFICATIONCOLLECTIONVEXORB42MREV7_H
#define VEXORAPI_SPECIFICATIONCOLLECTIONVEXORB42MREV7_H

#include "ISpecificationCollection.h"
#include "IUSBSpecifications.h"

#include <map>
#include <string>

/// The command table of base model B42M, revision 7. Entries are keyed by
/// kind * 255 + command and live as long as the collection.
class SpecificationCollectionVexorB42MRev7 : public ISpecificationCollection
{
public:
    explicit SpecificationCollectionVexorB42MRev7(IHID *hid);
    ~SpecificationCollectionVexorB42MRev7() override;

    IUSBSpecifications *getSpecification(int kind, int command) override;
    /// Inserts the command, or overwrites the entry with the same key.
    void addSpecification(int kind, int command, const std::string &description);
    std::size_t size() const { return entries.size(); }

    static int key(int kind, int command) { return kind * 255 + command; }

private:
    std::map<int, IUSBSpecifications> entries;
};

#endif // VEXORAPI_SPECIFICATIONCOLLECTIONVEXORB42MREV7_H
