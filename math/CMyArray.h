#pragma once
// N numbers of type T stored contiguously: the storage of points and vectors.

#include <cstddef>

template <class T, std::size_t N>
class CMyArray
{
public:
    CMyArray();                                        // all elements 0
    CMyArray(const CMyArray&) = default;
    CMyArray& operator=(const CMyArray&) = default;
    virtual ~CMyArray() = default;

    T& operator[](std::size_t index);                  // not range-checked
    const T& operator[](std::size_t index) const;
    T* data();                                         // N consecutive values, for array-taking APIs
    const T* data() const;

protected:
    T elements[N];
};

template <class T, std::size_t N>
CMyArray<T, N>::CMyArray() : elements{}
{
}

template <class T, std::size_t N>
T& CMyArray<T, N>::operator[](std::size_t index)
{
    return elements[index];
}

template <class T, std::size_t N>
const T& CMyArray<T, N>::operator[](std::size_t index) const
{
    return elements[index];
}

template <class T, std::size_t N>
T* CMyArray<T, N>::data()
{
    return elements;
}

template <class T, std::size_t N>
const T* CMyArray<T, N>::data() const
{
    return elements;
}
