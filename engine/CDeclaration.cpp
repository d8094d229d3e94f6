// The vertex layout: copying an element list up to its terminator.
#include "engine/CDeclaration.h"

#include <algorithm>
#include <cstring>

namespace VELK
{

namespace
{
// The terminator is recognised by all of its bytes, not by one field: an entry with usage 0
// but a non-zero offset is part of the list.
bool isTerminator(const CVertexElement& element)
{
    const CVertexElement zero{};
    return std::memcmp(&element, &zero, sizeof(CVertexElement)) == 0;
}
} // namespace

CDeclaration::CDeclaration() : count(0), elements(nullptr) {}

CDeclaration::~CDeclaration()
{
    clear();
}

void CDeclaration::setElements(const CVertexElement* list)
{
    if (!list)
        return;
    std::uint32_t length = 0;
    while (!isTerminator(list[length]))
        ++length;

    // The copy is made before the old array goes: should the allocation fail, the previous
    // layout is still there.
    CVertexElement* copy = nullptr;
    if (length != 0) {
        copy = new CVertexElement[length];
        std::copy(list, list + length, copy);
    }
    clear();
    elements = copy;
    count = length;
}

void CDeclaration::clear()
{
    delete[] elements;
    elements = nullptr;
    count = 0;
}

} // namespace VELK
