#pragma once
// Base of the engine's process-wide services: one instance per class, made on the
// first getInstance, destroyed at exit in the reverse order of construction.

#include <cstdlib>
#include <new>

namespace TOOLS
{

template <class T>
class CSingleton
{
public:
    static T& getInstance();
    virtual ~CSingleton() = default;
    virtual void shutdown() {}                         // hook for services that must write or release while the rest still lives

protected:
    CSingleton() = default;
    CSingleton(const CSingleton&) = delete;
    CSingleton& operator=(const CSingleton&) = delete;
};

template <class T>
T& CSingleton<T>::getInstance()
{
    // The instance lives in storage owned by this function; the flag tells whether it
    // holds a live object. Unlike a plain function-local static, a throwing constructor
    // leaves the flag clear so that the next call tries again, and the destructor is
    // registered only once construction has succeeded.
    alignas(T) static unsigned char storage[sizeof(T)];
    static bool constructed = false;
    if (!constructed) {
        constructed = true;
        try {
            ::new (static_cast<void*>(storage)) T();
        } catch (...) {
            constructed = false;
            throw;
        }
        std::atexit([] {
            std::launder(reinterpret_cast<T*>(storage))->~T();
            constructed = false;
        });
    }
    return *std::launder(reinterpret_cast<T*>(storage));
}

} // namespace TOOLS
