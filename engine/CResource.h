#pragma once
// Base of everything the resource manager caches under a name.

#include <string>

namespace VELK
{

class CResource
{
public:
    CResource();
    virtual ~CResource();                              // with a name: removes itself from the manager
    CResource(const CResource&) = delete;
    CResource& operator=(const CResource&) = delete;

    void addReference();
    int getReferenceCount() const;
    const std::string& getName() const;
    void setName(const std::string& newName);

protected:
    int referenceCount;                                // 1 at construction, +1 per successful lookup

private:
    std::string name;                                  // empty unless set; then the manager key to leave
};

} // namespace VELK
