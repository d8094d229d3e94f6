#pragma once
// A vertex layout: the typed, numbered attributes of one interleaved vertex record.

#include <cstdint>

#include "engine/CMeshData.h"

namespace VELK
{

class CDeclaration
{
public:
    CDeclaration();
    virtual ~CDeclaration();                           // frees the elements, as clear()
    CDeclaration(const CDeclaration&) = delete;
    CDeclaration& operator=(const CDeclaration&) = delete;

    void setElements(const CVertexElement* list);      // copies up to the all-zero entry; null: unchanged
    void clear();

    std::uint32_t count;                               // entries in elements; the terminator is not kept
    CVertexElement* elements;                          // owned; null when count is 0
};

} // namespace VELK
