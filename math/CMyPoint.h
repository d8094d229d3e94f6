#pragma once
// A point: the storage of a vector, with a run-time type of its own.

#include "math/CMyArray.h"

template <class T, std::size_t N>
class CMyPoint : public CMyArray<T, N>
{
};
