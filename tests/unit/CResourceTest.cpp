// The resource base: its reference count.
#include <gtest/gtest.h>

#include <limits>

#include "engine/CResource.h"

namespace
{
class CountedResource : public VELK::CResource
{
public:
    void setCount(int count) { referenceCount = count; }
};
} // namespace

TEST(CResource, ReferenceCountStopsAtItsLargestValue)
{
    CountedResource resource;
    EXPECT_EQ(resource.getReferenceCount(), 1);
    resource.setCount(std::numeric_limits<int>::max() - 1);
    resource.addReference();
    resource.addReference();
    resource.addReference();
    EXPECT_EQ(resource.getReferenceCount(), std::numeric_limits<int>::max());
}
