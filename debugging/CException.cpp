// The engine exception: a message fixed at construction.
#include "debugging/CException.h"

namespace DEBUGGING
{

CException::CException(const std::string& message) : message(message) {}

CException::~CException() = default;

const char* CException::what() const noexcept
{
    return message.c_str();
}

} // namespace DEBUGGING
