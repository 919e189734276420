// Keyframes. Unlike the scene interfaces they derive plainly.
#pragma once

class KOM_BaseKeyframe
{
public:
    virtual ~KOM_BaseKeyframe() {}
};

class KOM_Keyframe : public KOM_BaseKeyframe {};
class KOM_StringKeyframe : public KOM_BaseKeyframe {};
