// Digital assets.
#pragma once

class KOM_KDADefinition
{
public:
    virtual ~KOM_KDADefinition() {}
};

class KOM_KDASection
{
public:
    virtual ~KOM_KDASection() {}
};

class KOM_KDAModule
{
public:
    virtual ~KOM_KDAModule() {}
};

// Host-owned singleton reached through kal.kda.
class KOM_kda
{
public:
    virtual ~KOM_kda() {}
};
