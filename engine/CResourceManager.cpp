// The resource cache and its LOADING / RELEASE log lines.
#include "engine/CResourceManager.h"

#include <ostream>

#include "debugging/CLogManager.h"

namespace VELK
{

CResourceManager::CResourceManager() = default;

CResourceManager::~CResourceManager()
{
    releaseAll();
}

void CResourceManager::addResource(const std::string& name, CResource* resource)
{
    if (resources.find(name) != resources.end())
        return;
    resources.emplace(name, resource);
    DEBUGGING::logGlobal("CResourceManager - LOADING : ") << name << std::endl;
}

CResource* CResourceManager::getResource(const std::string& name)
{
    const auto found = resources.find(name);
    if (found == resources.end())
        return nullptr;
    if (found->second)
        found->second->addReference();
    return found->second;
}

void CResourceManager::releaseResource(const std::string& name)
{
    const auto found = resources.find(name);
    if (found == resources.end())
        return;
    DEBUGGING::logGlobal("CResourceManager - RELEASE : ") << found->first << std::endl;
    resources.erase(found);
}

void CResourceManager::releaseAll()
{
    // Destroying a resource that carries a name removes its own entry from the table,
    // so the walk goes over a table that destruction cannot reach.
    std::map<std::string, CResource*> releasing;
    releasing.swap(resources);
    for (auto& entry : releasing) {
        DEBUGGING::logGlobal("CResourceManager - RELEASE : ") << entry.first << std::endl;
        CResource* resource = entry.second;
        entry.second = nullptr;
        delete resource;
    }
}

} // namespace VELK
