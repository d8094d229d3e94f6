#pragma once
// The registry of loaders by file extension: it picks the loader for a path, turns a
// loader's failure into lines of the global log, and owns every loader it stored.

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
    // The same for a file that must become the given product (VLoader::kPicture, kModel): a
    // file whose extension belongs to a loader of anything else, or of a product it does not
    // state, is refused before it is read, so the result, when not null, is of the kind asked for.
    void* loadFromFile(std::string fileName, const std::string& product);
    void unregisterAll();                              // destroys each loader once

private:
    CFactoryLoader();
    std::shared_ptr<VLoader> findLoader(const std::string& fileName);  // null: logged as not found
    void* load(const std::shared_ptr<VLoader>& loader, const std::string& fileName);

    std::map<std::string, std::shared_ptr<VLoader>> loaders;  // lower-case extension -> loader
};

} // namespace VELK
