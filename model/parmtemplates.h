// Parameter templates: a parameter described before it exists on a node.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/enums.h"

// The description of a parameter, from which spare parameters are made.
// Results typed as KOM_ParmTemplate * come back as the class their type() selects.
class KOM_ParmTemplate
{
public:
    virtual ~KOM_ParmTemplate() {}
    // Whether both templates describe the same parameter.
    virtual bool __eq__(KOM_ParmTemplate &other) = 0;
    // Whether the templates differ.
    virtual bool __ne__(KOM_ParmTemplate &other) = 0;
    // A hash equal for equal templates.
    virtual int __hash__() = 0;
    // How the template shows at the prompt.
    virtual std::string __repr__() = 0;
    // The name the parameter will have.
    virtual std::string name() = 0;
    // Changes the name the parameter will have.
    virtual void setName(char const *name) = 0;
    // The label the parameter editor will show.
    virtual std::string label() = 0;
    // A parmTemplateType value; it chooses the Python class.
    // The kind of parameter described (a parmTemplateType value).
    virtual KOM_EnumValue *type() = 0;
    // The type of the parameter's values (a parmData value).
    virtual KOM_EnumValue *dataType() = 0;
    // How the parameter editor draws the parameter.
    virtual KOM_EnumValue *look() = 0;
    // How the components' names are suffixed (x y z, r g b ...).
    virtual KOM_EnumValue *namingScheme() = 0;
    // The number of components.
    virtual int numComponents() = 0;
    // Must not throw.
    // Extra named data attached to the template.
    virtual std::map<std::string, std::string> tags() = 0;
};

// A float parameter's description, with its range and defaults.
// The range and default accessors of the concrete templates must not throw.
class KOM_FloatParmTemplate : public virtual KOM_ParmTemplate
{
public:
    // How the template shows at the prompt.
    std::string __repr__() override = 0;
    // The lowest value the slider offers.
    virtual float minValue() = 0;
    // The highest value the slider offers.
    virtual float maxValue() = 0;
    // Whether values below the minimum are refused.
    virtual bool minIsStrict() = 0;
    // Whether values above the maximum are refused.
    virtual bool maxIsStrict() = 0;
    // The default value of each component.
    virtual std::vector<float> defaultValue() = 0;
};

class KOM_IntParmTemplate : public virtual KOM_ParmTemplate
{
public:
    // How the template shows at the prompt.
    std::string __repr__() override = 0;
    // The lowest value the slider offers.
    virtual int minValue() = 0;
    // The highest value the slider offers.
    virtual int maxValue() = 0;
    // Whether values below the minimum are refused.
    virtual bool minIsStrict() = 0;
    // Whether values above the maximum are refused.
    virtual bool maxIsStrict() = 0;
    // The default value of each component.
    virtual std::vector<int> defaultValue() = 0;
};

class KOM_StringParmTemplate : public virtual KOM_ParmTemplate
{
public:
    // How the template shows at the prompt.
    std::string __repr__() override = 0;
    // The default text of each component.
    virtual std::vector<std::string> defaultValue() = 0;
};

class KOM_ToggleParmTemplate : public virtual KOM_ParmTemplate
{
public:
    // How the template shows at the prompt.
    std::string __repr__() override = 0;
    // Whether the toggle is on by default.
    virtual bool defaultValue() = 0;
};
