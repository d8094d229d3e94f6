#pragma once
// The registry of loaders by file extension: it picks the loader for a path, turns a
// loader's failure into one line of the global log, and owns every loader it stored.

#include <map>
#include <memory>
#include <string>

#include "engine/VLoader.h"
#include "tools/CSingleton.h"

namespace VELK
{

class CFactoryLoader : public TOOLS::CSingleton<CFactoryLoader>
{
    friend class TOOLS::CSingleton<CFactoryLoader>;

public:
    ~CFactoryLoader() override;                        // unregisterAll
    void registerLoader(VLoader* loader);              // taken over when one of its extensions is stored
    void* loadFromFile(std::string fileName);          // caller owns the result; null on any failure
    void unregisterAll();                              // destroys each loader once

private:
    CFactoryLoader();

    std::map<std::string, std::shared_ptr<VLoader>> loaders;  // lower-case extension -> loader
};

} // namespace VELK
