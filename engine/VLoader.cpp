// The loader interface's extension list.
#include "engine/VLoader.h"

namespace VELK
{

VLoader::VLoader(std::string extensions) : extensions(std::move(extensions)) {}

VLoader::~VLoader() = default;

const std::string& VLoader::getExtensions() const
{
    return extensions;
}

} // namespace VELK
