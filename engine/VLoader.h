#pragma once
// The interface of every file loader: it names the extensions it handles, reads a file
// into a new object that the caller owns, and may write one back.

#include <string>

namespace VELK
{

class VLoader
{
public:
    explicit VLoader(std::string extensions);          // white-space separated, any letter case
    virtual ~VLoader();
    virtual void* loadFromFile(std::string fileName) = 0;             // throws DEBUGGING::CException
    virtual void saveToFile(void* data, std::string fileName) = 0;    // throws DEBUGGING::CException
    const std::string& getExtensions() const;

private:
    std::string extensions;
};

} // namespace VELK
