// Enumeration values: host-owned constants, exposed read-only through cvar.

%ignore KOM_EnumValue::enumType;
%ignore KOM_EnumValue::reprText;
%ignore KOM_EnumValue::valueName;
%ignore KOM_EnumValue::valueId;

%extend KOM_EnumValue {
    // Whether both are the same value of the same enumeration.
    bool __eq__(KOM_EnumValue const &other) const { return kal::sameValue(*$self, other); }
    // Whether the values differ.
    bool __ne__(KOM_EnumValue const &other) const { return !kal::sameValue(*$self, other); }
    // How the value shows at the prompt, such as <kal.parmData.Float>.
    std::string __repr__() const { return $self->reprText; }
    // A hash equal for equal values, so values can be dict keys.
    int __hash__() const
    {
        return static_cast<int>(static_cast<unsigned int>($self->valueId) * 2654435761u);
    }
    // The value's name, such as "Float".
    std::string name() const { return $self->valueName; }
}

%immutable;
%include "model/enums.h"
%mutable;

// The names of the enumerations, space-separated, for the proxy module to bind their values.
#define KAL_ENUMERATION_NAME(NAME) #NAME " "
%constant char const *_enumerationNames = KOM_FOR_EACH_ENUMERATION(KAL_ENUMERATION_NAME);
