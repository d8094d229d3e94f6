// The loader interface's extension list, and the reason line before a loader's failure.
#include "engine/VLoader.h"

#include <new>

#include "debugging/CException.h"
#include "debugging/CLogManager.h"

namespace VELK
{

VLoader::VLoader(std::string extensions) : extensions(std::move(extensions)) {}

VLoader::~VLoader() = default;

const char* VLoader::getProduct() const
{
    return nullptr;
}

const std::string& VLoader::getExtensions() const
{
    return extensions;
}

void VLoader::refuse(const std::string& operation, const std::string& fileName, const std::string& reason)
{
    DEBUGGING::logMessage(DEBUGGING::LOG_ERROR, operation + " : " + fileName + " : " + reason);
    throw DEBUGGING::CException(operation + " " + fileName + " [FAILED]");
}

std::string VLoader::reasonFor(const std::exception& failure)
{
    if (dynamic_cast<const std::bad_alloc*>(&failure))
        return "out of memory";
    // A reason is one line of the log.
    std::string reason = failure.what();
    for (char& c : reason) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return reason.empty() ? "failed" : reason;
}

} // namespace VELK
