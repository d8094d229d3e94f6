#pragma once
// Small fixed-size vectors: RGBA colours (float, 4), picture sizes (int, 2) and
// texture sizes (int, 3).

#include <type_traits>
#include <typeinfo>

#include "math/CMyPoint.h"

template <class T, std::size_t N>
class CMyVector : public CMyPoint<T, N>
{
public:
    CMyVector() = default;                             // all components 0

    // All N components, the first as a T and the rest as a list of the same length.
    // The list is a typed parameter pack rather than C varargs: the call looks the same,
    // but a wrong count or a non-numeric argument is a compile error instead of
    // undefined behaviour.
    template <class... Rest>
    CMyVector(T first, Rest... rest);

    template <class... Rest>
    void set(T first, Rest... rest);                   // overwrites all N components
};

template <class T, std::size_t N>
template <class... Rest>
CMyVector<T, N>::CMyVector(T first, Rest... rest)
{
    set(first, rest...);
}

template <class T, std::size_t N>
template <class... Rest>
void CMyVector<T, N>::set(T first, Rest... rest)
{
    static_assert((std::is_same_v<T, float> && N == 4) || (std::is_same_v<T, int> && (N == 2 || N == 3)),
                  "component lists exist for CMyVector<float,4>, <int,2> and <int,3> only");
    static_assert(sizeof...(Rest) + 1 == N, "exactly N components are given");
    static_assert((std::is_arithmetic_v<Rest> && ...), "components are numbers");

    this->elements[0] = first;
    std::size_t index = 1;
    // A float component travels as the double it is promoted to in an argument list,
    // then narrows back: the value is unchanged.
    const bool isFloat = typeid(T) == typeid(float);
    ((this->elements[index++] = isFloat ? static_cast<T>(static_cast<double>(rest)) : static_cast<T>(rest)), ...);
}
