// Parameters, parameter tuples and parameter templates.
#pragma once

class KOM_Parm
{
public:
    virtual ~KOM_Parm() {}
};

class KOM_ParmTuple
{
public:
    virtual ~KOM_ParmTuple() {}
};

class KOM_ParmTemplate
{
public:
    virtual ~KOM_ParmTemplate() {}
};

class KOM_FloatParmTemplate : public virtual KOM_ParmTemplate {};
class KOM_IntParmTemplate : public virtual KOM_ParmTemplate {};
class KOM_StringParmTemplate : public virtual KOM_ParmTemplate {};
class KOM_ToggleParmTemplate : public virtual KOM_ParmTemplate {};
