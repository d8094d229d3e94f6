// The loader registry: registration by extension, dispatch by the text after the last '.'.
#include "engine/CFactoryLoader.h"

#include <vector>

#include "debugging/CException.h"
#include "debugging/CLogManager.h"
#include "math/StringUtils.h"

namespace VELK
{

CFactoryLoader::CFactoryLoader() = default;

CFactoryLoader::~CFactoryLoader()
{
    unregisterAll();
}

void CFactoryLoader::registerLoader(VLoader* loader)
{
    if (!loader)
        return;
    std::vector<std::string> words;
    splitWords(toLower(loader->getExtensions()), words);
    if (words.empty())
        return;

    // This reference is dropped on leaving: a loader whose every word was already taken
    // has no other owner and is destroyed here.
    const std::shared_ptr<VLoader> shared(loader);
    for (const std::string& word : words) {
        if (!loaders.emplace(word, shared).second)
            DEBUGGING::logMessage(DEBUGGING::LOG_ERROR,
                                  "VELK::CFactoryLoader::registerLoader : " + word + " [FAILED]");
    }
}

void* CFactoryLoader::loadFromFile(std::string fileName)
{
    const std::shared_ptr<VLoader> loader = findLoader(fileName);
    return loader ? load(loader, fileName) : nullptr;
}

void* CFactoryLoader::loadFromFile(std::string fileName, const std::string& product)
{
    const std::shared_ptr<VLoader> loader = findLoader(fileName);
    if (!loader)
        return nullptr;
    const char* made = loader->getProduct();
    if (!made || made != product) {
        const std::string kind = made ? "a " + std::string(made)
                                      : "the loader of \"" + loader->getExtensions() + "\" states no product";
        DEBUGGING::logMessage(DEBUGGING::LOG_ERROR,
                              "VELK::CFactoryLoader::loadFromFile : " + fileName + " : " + kind + ", not a " + product);
        return nullptr;
    }
    return load(loader, fileName);
}

std::shared_ptr<VLoader> CFactoryLoader::findLoader(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    const std::string extension = dot == std::string::npos ? fileName : fileName.substr(dot + 1);

    const auto found = loaders.find(extension);
    if (found == loaders.end()) {
        DEBUGGING::logMessage(DEBUGGING::LOG_ERROR,
                              "VELK::CFactoryLoader::loadFromFile : " + extension + " [NOT FOUND]");
        return nullptr;
    }
    // Held for the call, so that a loader stays alive even if the table is emptied meanwhile.
    return found->second;
}

void* CFactoryLoader::load(const std::shared_ptr<VLoader>& loader, const std::string& fileName)
{
    try {
        return loader->loadFromFile(fileName);
    } catch (const DEBUGGING::CException& failure) {
        DEBUGGING::logMessage(DEBUGGING::LOG_ERROR, failure.what());
        return nullptr;
    } catch (const std::exception& failure) {
        // A loader that lets another standard exception out (out of memory, a stream
        // error) has failed that load all the same; the program goes on.
        DEBUGGING::logMessage(DEBUGGING::LOG_ERROR, "VELK::CFactoryLoader::loadFromFile : " + fileName + " : " +
                                                        VLoader::reasonFor(failure));
        DEBUGGING::logMessage(DEBUGGING::LOG_ERROR, "VELK::CFactoryLoader::loadFromFile : " + fileName + " [FAILED]");
        return nullptr;
    }
}

void CFactoryLoader::unregisterAll()
{
    // The loaders are destroyed from a table of their own, so that a loader's destructor
    // may reach the factory without walking into a table being torn down.
    std::map<std::string, std::shared_ptr<VLoader>> dropped;
    dropped.swap(loaders);
    dropped.clear();
}

} // namespace VELK
