#pragma once
// The interface of every file loader: it names the extensions it handles and what it
// makes of a file, reads a file into a new object that the caller owns, and may write one back.

#include <exception>
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
    // What loadFromFile makes: kPicture (a CPicture), kModel (a CMeshData); null when not
    // stated, as by a loader of the designed operations alone, which is then no picture or model.
    virtual const char* getProduct() const;
    static constexpr const char* kPicture = "picture";
    static constexpr const char* kModel = "model";
    const std::string& getExtensions() const;

    // A standard exception that ended a load, in the words of a reason line.
    static std::string reasonFor(const std::exception& failure);

protected:
    // One ERROR line "<operation> : <fileName> : <reason>", then the engine's exception
    // "<operation> <fileName> [FAILED]", which the factory writes as the next line.
    [[noreturn]] static void refuse(const std::string& operation, const std::string& fileName,
                                    const std::string& reason);

private:
    std::string extensions;
};

} // namespace VELK
