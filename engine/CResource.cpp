// Resources: a name and a reference count.
#include "engine/CResource.h"

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
