// Parameter templates: keyword constructors over the module's factories, and the class a
// returned template comes back as.

%{
// The class by the id of the template's type (numbered from 1); any other type stays a
// plain kal.ParmTemplate.
inline PyObject *KOMconvertValueForInterpreter(KOM_ParmTemplate *const &parmTemplate, int own)
{
    if (!parmTemplate)
        Py_RETURN_NONE;
    KOM_EnumValue *type = nullptr;
    if (!kal::ask(parmTemplate, own, [&] { return parmTemplate->type(); }, &type))
        return nullptr;
    switch (type ? type->valueId : 0)
    {
    case KOM_IntParmTemplateId: return kal::wrapAs<KOM_IntParmTemplate>(parmTemplate, SWIGTYPE_p_KOM_IntParmTemplate, own);
    case KOM_FloatParmTemplateId: return kal::wrapAs<KOM_FloatParmTemplate>(parmTemplate, SWIGTYPE_p_KOM_FloatParmTemplate, own);
    case KOM_StringParmTemplateId: return kal::wrapAs<KOM_StringParmTemplate>(parmTemplate, SWIGTYPE_p_KOM_StringParmTemplate, own);
    case KOM_ToggleParmTemplateId: return kal::wrapAs<KOM_ToggleParmTemplate>(parmTemplate, SWIGTYPE_p_KOM_ToggleParmTemplate, own);
    default: return SWIG_NewPointerObj(parmTemplate, SWIGTYPE_p_KOM_ParmTemplate, own);
    }
}
%}

%catches(KOM_Error);
%catches(KOM_OperationFailed, KOM_Error) KOM_ParmTemplate::setName;
%catches() KOM_ParmTemplate::tags;
%catches() KOM_FloatParmTemplate::minValue;
%catches() KOM_FloatParmTemplate::maxValue;
%catches() KOM_FloatParmTemplate::minIsStrict;
%catches() KOM_FloatParmTemplate::maxIsStrict;
%catches() KOM_FloatParmTemplate::defaultValue;
%catches() KOM_IntParmTemplate::minValue;
%catches() KOM_IntParmTemplate::maxValue;
%catches() KOM_IntParmTemplate::minIsStrict;
%catches() KOM_IntParmTemplate::maxIsStrict;
%catches() KOM_IntParmTemplate::defaultValue;
%catches() KOM_StringParmTemplate::defaultValue;
%catches() KOM_ToggleParmTemplate::defaultValue;
%catches(KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_FloatParmTemplate::KOM_FloatParmTemplate;
%catches(KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_IntParmTemplate::KOM_IntParmTemplate;
%catches(KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_StringParmTemplate::KOM_StringParmTemplate;
%catches(KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_ToggleParmTemplate::KOM_ToggleParmTemplate;

KAL_CONSTRUCTED_OBJECT(KOM_FloatParmTemplate)
KAL_CONSTRUCTED_OBJECT(KOM_IntParmTemplate)
KAL_CONSTRUCTED_OBJECT(KOM_StringParmTemplate)
KAL_CONSTRUCTED_OBJECT(KOM_ToggleParmTemplate)

%feature("kwargs") KOM_FloatParmTemplate::KOM_FloatParmTemplate;
%feature("kwargs") KOM_IntParmTemplate::KOM_IntParmTemplate;
%feature("kwargs") KOM_StringParmTemplate::KOM_StringParmTemplate;
%feature("kwargs") KOM_ToggleParmTemplate::KOM_ToggleParmTemplate;

// Python builds them through the constructors below, over the module's factories.
%feature("notabstract") KOM_FloatParmTemplate;
%feature("notabstract") KOM_IntParmTemplate;
%feature("notabstract") KOM_StringParmTemplate;
%feature("notabstract") KOM_ToggleParmTemplate;

%include "model/parmtemplates.h"

// Each constructor passes its arguments, in keyword order, to the module's factory.
%extend KOM_FloatParmTemplate {
    // Describes a float parameter of some components, with its default, range, look and naming.
    KOM_FloatParmTemplate(char const *name, char const *label, int num_components,
                          std::vector<float> const &default_value = std::vector<float>(),
                          float min = 0.0f, float max = 10.0f, bool min_is_strict = false,
                          bool max_is_strict = false, KOM_EnumValue &look = KOM_parmLook::Regular,
                          KOM_EnumValue &naming_scheme = KOM_parmNamingScheme::XYZW,
                          std::map<std::string, std::string> const &tags = std::map<std::string, std::string>())
    {
        return KOM().newFloatParmTemplate(name, label, num_components, default_value, min, max,
                                          min_is_strict, max_is_strict, look, naming_scheme, tags);
    }
}

%extend KOM_IntParmTemplate {
    // Describes an integer parameter of some components, with its default, range, look and naming.
    KOM_IntParmTemplate(char const *name, char const *label, int num_components,
                        std::vector<int> const &default_value = std::vector<int>(), int min = 0,
                        int max = 10, bool min_is_strict = false, bool max_is_strict = false,
                        KOM_EnumValue &look = KOM_parmLook::Regular,
                        KOM_EnumValue &naming_scheme = KOM_parmNamingScheme::XYZW,
                        std::map<std::string, std::string> const &tags = std::map<std::string, std::string>())
    {
        return KOM().newIntParmTemplate(name, label, num_components, default_value, min, max,
                                        min_is_strict, max_is_strict, look, naming_scheme, tags);
    }
}

%extend KOM_StringParmTemplate {
    // Describes a string parameter of some components, with its default texts and naming.
    KOM_StringParmTemplate(char const *name, char const *label, int num_components,
                           std::vector<std::string> const &default_value = std::vector<std::string>(),
                           KOM_EnumValue &naming_scheme = KOM_parmNamingScheme::XYZW,
                           std::map<std::string, std::string> const &tags = std::map<std::string, std::string>())
    {
        return KOM().newStringParmTemplate(name, label, num_components, default_value, naming_scheme, tags);
    }
}

%extend KOM_ToggleParmTemplate {
    // Describes an on/off parameter with its default.
    KOM_ToggleParmTemplate(char const *name, char const *label, bool default_value = false,
                           KOM_EnumValue &naming_scheme = KOM_parmNamingScheme::NoSuffix,
                           std::map<std::string, std::string> const &tags = std::map<std::string, std::string>())
    {
        return KOM().newToggleParmTemplate(name, label, default_value, naming_scheme, tags);
    }
}

%catches();
