// Parameter templates: a parameter described before it exists on a node.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/enums.h"

// Results typed as KOM_ParmTemplate * come back as the class their type() selects.
class KOM_ParmTemplate
{
public:
    virtual ~KOM_ParmTemplate() {}
    virtual bool __eq__(KOM_ParmTemplate &other) = 0;
    virtual bool __ne__(KOM_ParmTemplate &other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual std::string name() = 0;
    virtual void setName(char const *name) = 0;
    virtual std::string label() = 0;
    // A parmTemplateType value; it chooses the Python class.
    virtual KOM_EnumValue *type() = 0;
    virtual KOM_EnumValue *dataType() = 0;
    virtual KOM_EnumValue *look() = 0;
    virtual KOM_EnumValue *namingScheme() = 0;
    virtual int numComponents() = 0;
    // Must not throw.
    virtual std::map<std::string, std::string> tags() = 0;
};

// The range and default accessors of the concrete templates must not throw.
class KOM_FloatParmTemplate : public virtual KOM_ParmTemplate
{
public:
    std::string __repr__() override = 0;
    virtual float minValue() = 0;
    virtual float maxValue() = 0;
    virtual bool minIsStrict() = 0;
    virtual bool maxIsStrict() = 0;
    virtual std::vector<float> defaultValue() = 0;
};

class KOM_IntParmTemplate : public virtual KOM_ParmTemplate
{
public:
    std::string __repr__() override = 0;
    virtual int minValue() = 0;
    virtual int maxValue() = 0;
    virtual bool minIsStrict() = 0;
    virtual bool maxIsStrict() = 0;
    virtual std::vector<int> defaultValue() = 0;
};

class KOM_StringParmTemplate : public virtual KOM_ParmTemplate
{
public:
    std::string __repr__() override = 0;
    virtual std::vector<std::string> defaultValue() = 0;
};

class KOM_ToggleParmTemplate : public virtual KOM_ParmTemplate
{
public:
    std::string __repr__() override = 0;
    virtual bool defaultValue() = 0;
};
