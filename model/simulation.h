// Simulation data.
#pragma once

class KOM_DopData
{
public:
    virtual ~KOM_DopData() {}
};

class KOM_DopObject : public virtual KOM_DopData {};
class KOM_DopRelationship : public virtual KOM_DopData {};

class KOM_DopRecord
{
public:
    virtual ~KOM_DopRecord() {}
};

class KOM_DopSimulation
{
public:
    virtual ~KOM_DopSimulation() {}
};
