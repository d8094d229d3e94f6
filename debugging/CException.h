#pragma once
// The engine's one exception type: thrown by loaders, caught and logged by the factory.

#include <exception>
#include <string>

namespace DEBUGGING
{

class CException : public std::exception
{
public:
    explicit CException(const std::string& message);
    ~CException() override;
    const char* what() const noexcept override;        // valid while the exception lives

private:
    std::string message;
};

} // namespace DEBUGGING
