#pragma once
// The cache of named resources: it owns what is stored in it and destroys it on releaseAll.

#include <map>
#include <string>

#include "engine/CResource.h"
#include "tools/CSingleton.h"

namespace VELK
{

class CResourceManager : public TOOLS::CSingleton<CResourceManager>
{
    friend class TOOLS::CSingleton<CResourceManager>;

public:
    ~CResourceManager() override;                      // releaseAll
    void addResource(const std::string& name, CResource* resource);  // first one stored under a name wins
    CResource* getResource(const std::string& name);   // null when absent; +1 reference when found
    void releaseResource(const std::string& name);     // forgets without destroying
    void releaseAll();                                 // destroys everything, in byte order of names

private:
    CResourceManager();

    std::map<std::string, CResource*> resources;       // owned
};

} // namespace VELK
