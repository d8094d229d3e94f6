// Resources: a name and a reference count.
#include "engine/CResource.h"

#include <limits>

#include "engine/CResourceManager.h"

namespace VELK
{

CResource::CResource() : referenceCount(1) {}

CResource::~CResource()
{
    if (!name.empty())
        CResourceManager::getInstance().releaseResource(name);
}

void CResource::addReference()
{
    // Every frame looks resources up and nothing gives the references back; the count
    // stops at its largest value instead of overflowing after days of drawing.
    if (referenceCount < std::numeric_limits<int>::max())
        ++referenceCount;
}

int CResource::getReferenceCount() const
{
    return referenceCount;
}

const std::string& CResource::getName() const
{
    return name;
}

void CResource::setName(const std::string& newName)
{
    name = newName;
}

} // namespace VELK
