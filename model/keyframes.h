// Keyframes. Unlike the scene interfaces they derive plainly.
#pragma once

#include "model/enums.h"

class KOM_BaseKeyframe
{
public:
    virtual ~KOM_BaseKeyframe() {}
    // The parameter data type the keyframe evaluates to; it chooses the Python class.
    virtual KOM_EnumValue evaluatedType() = 0;
};

class KOM_Keyframe : public KOM_BaseKeyframe {};
class KOM_StringKeyframe : public KOM_BaseKeyframe {};
