// The files of a model and their stamps, taken by stat.
#include "viewer/ModelFiles.h"

#include <algorithm>

#include <sys/stat.h>

bool ModelFiles::Stamp::operator==(const Stamp& other) const
{
    return exists == other.exists && size == other.size && seconds == other.seconds &&
           nanoseconds == other.nanoseconds;
}

ModelFiles::Stamp ModelFiles::stampOf(const std::string& path)
{
    Stamp stamp;
    struct stat file;
    if (::stat(path.c_str(), &file) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = static_cast<long long>(file.st_size);
    stamp.seconds = static_cast<long long>(file.st_mtim.tv_sec);
    stamp.nanoseconds = static_cast<long long>(file.st_mtim.tv_nsec);
    return stamp;
}

void ModelFiles::clear()
{
    paths.clear();
    stamps.clear();
}

void ModelFiles::add(const std::string& path)
{
    if (std::find(paths.begin(), paths.end(), path) != paths.end())
        return;
    paths.push_back(path);
    stamps.push_back(stampOf(path));
}

void ModelFiles::restamp()
{
    for (std::size_t i = 0; i < paths.size(); ++i)
        stamps[i] = stampOf(paths[i]);
}

bool ModelFiles::changed() const
{
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!(stampOf(paths[i]) == stamps[i]))
            return true;
    }
    return false;
}
