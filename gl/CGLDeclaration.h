#pragma once
// The vertex layout as the OpenGL side holds it; the renderer turns it into client arrays.

#include "engine/CDeclaration.h"

namespace VELK_GL
{

class CGLDeclaration : public VELK::CDeclaration
{
public:
    CGLDeclaration() = default;
    ~CGLDeclaration() override;                        // when current in the renderer: its arrays are disabled first
};

} // namespace VELK_GL
