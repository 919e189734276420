// Parameter templates in the reference host: one template class per kind over a ParmTupleInfo,
// the naming schemes that turn a name into component names, and the factories.
#include "host/parmtemplates.h"

#include <cctype>
#include <functional>

#include "host/parms.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

constexpr int MaxComponents = 16;

struct NamingScheme
{
    KOM_EnumValue const *value;
    std::vector<char const *> suffixes; // empty: counted from 1
};

std::vector<NamingScheme> const &namingSchemes()
{
    static std::vector<NamingScheme> const schemes = {
        {&KOM_parmNamingScheme::NoSuffix, {""}},
        {&KOM_parmNamingScheme::Base1, {}},
        {&KOM_parmNamingScheme::XYZW, {"x", "y", "z", "w"}},
        {&KOM_parmNamingScheme::XYWH, {"x", "y", "w", "h"}},
        {&KOM_parmNamingScheme::UVW, {"u", "v", "w"}},
        {&KOM_parmNamingScheme::RGBA, {"r", "g", "b", "a"}},
        {&KOM_parmNamingScheme::MinMax, {"min", "max"}},
        {&KOM_parmNamingScheme::MaxMin, {"max", "min"}},
        {&KOM_parmNamingScheme::StartEnd, {"start", "end"}},
        {&KOM_parmNamingScheme::BeginEnd, {"begin", "end"}},
    };
    return schemes;
}

bool isParmName(std::string const &name)
{
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
        return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            return false;
    return true;
}

// The component names of a tuple: a single component bears the tuple's name.
std::vector<std::string> componentNames(std::string const &name, int count, KOM_EnumValue const &scheme)
{
    if (!isParmName(name))
        throw KOM_OperationFailed(("Not a parameter name: \"" + name + "\"").c_str());
    if (count < 1 || count > MaxComponents)
        throw KOM_OperationFailed(("A parameter has 1 to 16 components, not " + std::to_string(count)).c_str());
    if (count == 1)
        return {name};
    for (auto const &known : namingSchemes())
        if (known.value->valueId == scheme.valueId)
        {
            if (!known.suffixes.empty() && static_cast<std::size_t>(count) > known.suffixes.size())
                break;
            std::vector<std::string> names;
            for (int i = 0; i < count; ++i)
                names.push_back(name + (known.suffixes.empty() ? std::to_string(i + 1) : known.suffixes[i]));
            if (known.suffixes.size() == 1) // no suffix: components need names of their own
                break;
            return names;
        }
    throw KOM_OperationFailed(("The naming scheme " + std::string(scheme.valueName) + " does not name " +
                               std::to_string(count) + " components")
                                  .c_str());
}

void requireEnumeration(KOM_EnumValue const &value, std::type_info const &enumeration, char const *what)
{
    if (!isOfEnumeration(value, enumeration))
        throw KOM_TypeError((std::string("Expected a ") + what + " value").c_str());
}

KOM_EnumValue *mutableValue(KOM_EnumValue const *value) { return const_cast<KOM_EnumValue *>(value); }

// What every kind shares; the tuple it describes is `myInfo`.
class TemplateBase : public virtual KOM_ParmTemplate, public HostParmTemplate, private LiveCounted
{
public:
    explicit TemplateBase(ParmTupleInfo info) : myInfo(std::move(info)) {}

    ParmTupleInfo tupleInfo() const override { return myInfo; }

    bool __eq__(KOM_ParmTemplate &other) override
    {
        hostOperation("ParmTemplate.__eq__", other);
        return matches(other);
    }

    bool __ne__(KOM_ParmTemplate &other) override
    {
        hostOperation("ParmTemplate.__ne__", other);
        return !matches(other);
    }

    bool matches(KOM_ParmTemplate &other) const
    {
        auto const *that = dynamic_cast<TemplateBase const *>(&other);
        return that && same(that->myInfo);
    }

    int __hash__() override
    {
        hostOperation("ParmTemplate.__hash__");
        return static_cast<int>(std::hash<std::string>()(myInfo.name) & 0x7fffffff);
    }

    std::string name() override
    {
        hostOperation("ParmTemplate.name");
        return myInfo.name;
    }

    void setName(char const *name) override
    {
        hostOperation("ParmTemplate.setName", name);
        std::string const newName = name;
        myInfo.componentNames = componentNames(newName, static_cast<int>(myInfo.componentNames.size()),
                                               *namingScheme());
        myInfo.name = newName;
    }

    std::string label() override
    {
        hostOperation("ParmTemplate.label");
        return myInfo.label;
    }

    KOM_EnumValue *type() override
    {
        hostOperation("ParmTemplate.type");
        return typeOf(myInfo);
    }

    KOM_EnumValue *dataType() override
    {
        hostOperation("ParmTemplate.dataType");
        switch (myInfo.dataType)
        {
        case KOM_FloatParmData: return &KOM_parmData::Float;
        case KOM_StringParmData: return &KOM_parmData::String;
        default: return &KOM_parmData::Int;
        }
    }

    KOM_EnumValue *look() override
    {
        hostOperation("ParmTemplate.look");
        return myInfo.look ? mutableValue(myInfo.look) : &KOM_parmLook::Regular;
    }

    KOM_EnumValue *namingScheme() override
    {
        hostOperation("ParmTemplate.namingScheme");
        if (myInfo.namingScheme)
            return mutableValue(myInfo.namingScheme);
        return myInfo.componentNames.size() == 1 ? &KOM_parmNamingScheme::NoSuffix : &KOM_parmNamingScheme::XYZW;
    }

    int numComponents() override
    {
        hostOperation("ParmTemplate.numComponents");
        return static_cast<int>(myInfo.componentNames.size());
    }

    std::map<std::string, std::string> tags() override
    {
        hostOperation("ParmTemplate.tags");
        return myInfo.tags;
    }

    static KOM_EnumValue *typeOf(ParmTupleInfo const &info)
    {
        if (info.templateTypeId == KOM_ToggleParmTemplateId)
            return &KOM_parmTemplateType::Toggle;
        switch (info.dataType)
        {
        case KOM_FloatParmData: return &KOM_parmTemplateType::Float;
        case KOM_StringParmData: return &KOM_parmTemplateType::String;
        default: return &KOM_parmTemplateType::Int;
        }
    }

protected:
    // "<kal.FloatParmTemplate name='t' label='Translate' components=3>"
    std::string describe(char const *className) const
    {
        return std::string("<kal.") + className + " name='" + myInfo.name + "' label='" + myInfo.label +
               "' components=" + std::to_string(myInfo.componentNames.size()) + ">";
    }

    ParmTupleInfo myInfo;

private:
    bool same(ParmTupleInfo const &other) const
    {
        auto sameValue = [](KOM_EnumValue const *a, KOM_EnumValue const *b) {
            return (a ? a->valueId : 0) == (b ? b->valueId : 0);
        };
        return myInfo.name == other.name && myInfo.label == other.label && myInfo.dataType == other.dataType &&
               myInfo.componentNames == other.componentNames && myInfo.defaults == other.defaults &&
               myInfo.textDefault == other.textDefault && myInfo.textDefaults == other.textDefaults &&
               myInfo.templateTypeId == other.templateTypeId && sameValue(myInfo.look, other.look) &&
               sameValue(myInfo.namingScheme, other.namingScheme) && myInfo.min == other.min &&
               myInfo.max == other.max && myInfo.minIsStrict == other.minIsStrict &&
               myInfo.maxIsStrict == other.maxIsStrict && myInfo.tags == other.tags;
    }
};

// Float and Int templates differ only in the number type.
template <class Interface, class Number>
class NumericTemplate : public Interface, public TemplateBase
{
public:
    NumericTemplate(ParmTupleInfo info, char const *className) : TemplateBase(std::move(info)), myClassName(className) {}

    std::string __repr__() override
    {
        hostOperation("ParmTemplate.__repr__");
        return describe(myClassName);
    }
    Number minValue() override { return static_cast<Number>(myInfo.min); }
    Number maxValue() override { return static_cast<Number>(myInfo.max); }
    bool minIsStrict() override { return myInfo.minIsStrict; }
    bool maxIsStrict() override { return myInfo.maxIsStrict; }
    std::vector<Number> defaultValue() override
    {
        std::vector<Number> values;
        for (std::size_t i = 0; i < myInfo.componentNames.size(); ++i)
            values.push_back(static_cast<Number>(i < myInfo.defaults.size() ? myInfo.defaults[i] : 0.0));
        return values;
    }

private:
    char const *myClassName;
};

using FloatTemplate = NumericTemplate<KOM_FloatParmTemplate, float>;
using IntTemplate = NumericTemplate<KOM_IntParmTemplate, int>;

class StringTemplate : public KOM_StringParmTemplate, public TemplateBase
{
public:
    using TemplateBase::TemplateBase;
    std::string __repr__() override
    {
        hostOperation("ParmTemplate.__repr__");
        return describe("StringParmTemplate");
    }
    std::vector<std::string> defaultValue() override
    {
        std::vector<std::string> values;
        for (std::size_t i = 0; i < myInfo.componentNames.size(); ++i)
            values.push_back(i < myInfo.textDefaults.size() ? myInfo.textDefaults[i] : myInfo.textDefault);
        return values;
    }
};

class ToggleTemplate : public KOM_ToggleParmTemplate, public TemplateBase
{
public:
    using TemplateBase::TemplateBase;
    std::string __repr__() override
    {
        hostOperation("ParmTemplate.__repr__");
        return describe("ToggleParmTemplate");
    }
    bool defaultValue() override { return !myInfo.defaults.empty() && myInfo.defaults[0] != 0.0; }
};

// What every factory checks and fills in.
ParmTupleInfo describedTuple(char const *name, char const *label, int dataType, int numComponents,
                             std::size_t defaultCount, KOM_EnumValue &namingScheme,
                             std::map<std::string, std::string> const &tags)
{
    requireEnumeration(namingScheme, typeid(KOM_parmNamingScheme), "parmNamingScheme");
    ParmTupleInfo info{name, label, dataType, componentNames(name, numComponents, namingScheme)};
    if (defaultCount != 0 && defaultCount != info.componentNames.size())
        throw KOM_OperationFailed(("Give " + std::to_string(numComponents) + " default values, or none").c_str());
    info.namingScheme = &namingScheme;
    info.tags = tags;
    return info;
}

template <class Number>
ParmTupleInfo numericTuple(char const *name, char const *label, int dataType, int numComponents,
                           std::vector<Number> const &defaults, double min, double max, bool minIsStrict,
                           bool maxIsStrict, KOM_EnumValue &look, KOM_EnumValue &namingScheme,
                           std::map<std::string, std::string> const &tags)
{
    requireEnumeration(look, typeid(KOM_parmLook), "parmLook");
    ParmTupleInfo info = describedTuple(name, label, dataType, numComponents, defaults.size(), namingScheme, tags);
    if (!(min <= max))
        throw KOM_OperationFailed("The minimum is above the maximum");
    info.defaults.assign(defaults.begin(), defaults.end());
    info.min = min;
    info.max = max;
    info.minIsStrict = minIsStrict;
    info.maxIsStrict = maxIsStrict;
    info.look = &look;
    return info;
}

} // namespace

KOM_ParmTemplate *newParmTemplate(ParmTupleInfo const &info)
{
    switch (TemplateBase::typeOf(info)->valueId)
    {
    case KOM_FloatParmTemplateId: return new FloatTemplate(info, "FloatParmTemplate");
    case KOM_StringParmTemplateId: return new StringTemplate(info);
    case KOM_ToggleParmTemplateId: return new ToggleTemplate(info);
    default: return new IntTemplate(info, "IntParmTemplate");
    }
}

KOM_FloatParmTemplate *newFloatParmTemplate(char const *name, char const *label, int numComponents,
                                            std::vector<float> const &defaults, float min, float max,
                                            bool minIsStrict, bool maxIsStrict, KOM_EnumValue &look,
                                            KOM_EnumValue &namingScheme,
                                            std::map<std::string, std::string> const &tags)
{
    return new FloatTemplate(numericTuple(name, label, KOM_FloatParmData, numComponents, defaults, min, max,
                                          minIsStrict, maxIsStrict, look, namingScheme, tags),
                             "FloatParmTemplate");
}

KOM_IntParmTemplate *newIntParmTemplate(char const *name, char const *label, int numComponents,
                                        std::vector<int> const &defaults, int min, int max, bool minIsStrict,
                                        bool maxIsStrict, KOM_EnumValue &look, KOM_EnumValue &namingScheme,
                                        std::map<std::string, std::string> const &tags)
{
    return new IntTemplate(numericTuple(name, label, KOM_IntParmData, numComponents, defaults, min, max,
                                        minIsStrict, maxIsStrict, look, namingScheme, tags),
                           "IntParmTemplate");
}

KOM_StringParmTemplate *newStringParmTemplate(char const *name, char const *label, int numComponents,
                                              std::vector<std::string> const &defaults,
                                              KOM_EnumValue &namingScheme,
                                              std::map<std::string, std::string> const &tags)
{
    ParmTupleInfo info = describedTuple(name, label, KOM_StringParmData, numComponents, defaults.size(),
                                        namingScheme, tags);
    info.textDefaults = defaults;
    return new StringTemplate(info);
}

// A toggle is an integer parameter of one component, 0 or 1.
KOM_ToggleParmTemplate *newToggleParmTemplate(char const *name, char const *label, bool defaultValue,
                                              KOM_EnumValue &namingScheme,
                                              std::map<std::string, std::string> const &tags)
{
    ParmTupleInfo info = describedTuple(name, label, KOM_IntParmData, 1, 0, namingScheme, tags);
    info.defaults = {defaultValue ? 1.0 : 0.0};
    info.templateTypeId = KOM_ToggleParmTemplateId;
    info.max = 1.0;
    return new ToggleTemplate(info);
}

JournalValue JournalFormat<KOM_ParmTemplate>::format(KOM_ParmTemplate const &parmTemplate)
{
    auto const *source = dynamic_cast<HostParmTemplate const *>(&parmTemplate);
    return JournalValue::ofText(source ? "<parm template " + source->tupleInfo().name + ">" : "<parm template>");
}

} // namespace kalhost
