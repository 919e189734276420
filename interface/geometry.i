// Geometry, its elements and attributes, and attribute values whose Python type the attribute
// decides.

%{
// Each element class searches the attributes of its own class in its geometry.
static KOM_Attrib *kal_findAttrib(KOM_Geometry &geometry, KOM_Point &, char const *name)
{
    return geometry.findPointAttrib(name);
}
static KOM_Attrib *kal_findAttrib(KOM_Geometry &geometry, KOM_Prim &, char const *name)
{
    return geometry.findPrimAttrib(name);
}
static KOM_Attrib *kal_findAttrib(KOM_Geometry &geometry, KOM_Vertex &, char const *name)
{
    return geometry.findVertexAttrib(name);
}

// The element's geometry lives only for the look-up, whether it returns or throws.
template <class T>
KOM_Attrib *KOMlookUpAttrib(T &element, char const *name)
{
    boost::shared_ptr<KOM_Geometry> const geometry = KOMdel(element.geometry());
    if (!geometry)
        throw KOM_ObjectWasDeleted();
    return kal_findAttrib(*geometry, element, name);
}

template <>
KOM_Attrib *KOMlookUpAttrib(KOM_Geometry &geometry, char const *name)
{
    return geometry.findGlobalAttrib(name);
}

// The one place where an attribute's data type and size pick the Python type of its value.
template <class T>
PyObject *KOMattribValue(T &element, KOM_Attrib &attrib)
{
    KOM_EnumValue const *const dataType = attrib.dataType();
    int const code = dataType ? dataType->valueId : 0;
    if (code == KOM_FloatAttribDataId)
        return attrib.size() == 1 ? kal::toPython(element.floatAttribValue(attrib))
                                  : kal::toPython(element.floatListAttribValue(attrib));
    if (code == KOM_StringAttribDataId)
        return kal::toPython(element.stringAttribValue(attrib));
    if (code == KOM_IntAttribDataId)
        return attrib.size() == 1 ? kal::toPython(element.intAttribValue(attrib))
                                  : kal::toPython(element.intListAttribValue(attrib));
    throw KOM_OperationFailed("The attribute's data type is neither Int, Float nor String");
}

template <class T>
PyObject *KOMattribValue(T &element, char const *name)
{
    return kal_evalFound(KOMlookUpAttrib(element, name),
                         [&](KOM_Attrib &attrib) { return KOMattribValue(element, attrib); });
}
%}

%catches(KOM_ObjectWasDeleted, KOM_Error);

// Identity and class questions translate only the base error.
%catches(KOM_Error) KOM_Geometry::attribType;
%catches(KOM_Error) KOM_Point::__hash__;
%catches(KOM_Error) KOM_Point::number;
%catches(KOM_Error) KOM_Point::attribType;
%catches(KOM_Error) KOM_Prim::__hash__;
%catches(KOM_Error) KOM_Prim::number;
%catches(KOM_Error) KOM_Prim::type;
%catches(KOM_Error) KOM_Prim::attribType;
%catches(KOM_Error) KOM_Vertex::__hash__;
%catches(KOM_Error) KOM_Vertex::number;
%catches(KOM_Error) KOM_Vertex::attribType;
%catches(KOM_Error) KOM_Attrib::__hash__;
%catches(KOM_Error) KOM_Attrib::name;
%catches(KOM_Error) KOM_Attrib::dataType;
%catches(KOM_Error) KOM_Attrib::type;
%catches(KOM_Error) KOM_Attrib::size;
%catches(KOM_Error) KOM_Attrib::isTransformedAsNormal;

// The value getters of every class, both forms.
%define KAL_VALUE_GETTER_CATCHES(CLASS)
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) CLASS::floatAttribValue;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) CLASS::floatListAttribValue;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) CLASS::intAttribValue;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) CLASS::intListAttribValue;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) CLASS::stringAttribValue;
%catches(KOM_OperationFailed, KOM_ObjectWasDeleted, KOM_Error) CLASS::attribValue;
%enddef
KAL_VALUE_GETTER_CATCHES(KOM_Geometry)
KAL_VALUE_GETTER_CATCHES(KOM_Point)
KAL_VALUE_GETTER_CATCHES(KOM_Prim)
KAL_VALUE_GETTER_CATCHES(KOM_Vertex)

%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_Error) KOM_Geometry::createPoint;
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_Error) KOM_Geometry::createPolygon;
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_Error) KOM_Geometry::deletePrims;
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_TypeError, KOM_Error)
    KOM_Geometry::addAttrib;
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_TypeError,
         KOM_Error) KOM_Geometry::setGlobalAttribValue(char const *, int);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_TypeError,
         KOM_Error) KOM_Geometry::setGlobalAttribValue(char const *, float);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_TypeError,
         KOM_Error) KOM_Geometry::setGlobalAttribValue(char const *, char const *);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_TypeError,
         KOM_Error) KOM_Geometry::setGlobalAttribValue(char const *, std::vector<int> const &);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_TypeError,
         KOM_Error) KOM_Geometry::setGlobalAttribValue(char const *, std::vector<float> const &);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_Error)
    KOM_Geometry::setGlobalAttribValue(KOM_Attrib &, int);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_Error)
    KOM_Geometry::setGlobalAttribValue(KOM_Attrib &, float);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_Error)
    KOM_Geometry::setGlobalAttribValue(KOM_Attrib &, char const *);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_Error)
    KOM_Geometry::setGlobalAttribValue(KOM_Attrib &, std::vector<int> const &);
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_OperationFailed, KOM_Error)
    KOM_Geometry::setGlobalAttribValue(KOM_Attrib &, std::vector<float> const &);
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Geometry::saveToFile;
%catches(KOM_ObjectWasDeleted, KOM_GeometryPermissionError, KOM_InvalidSize, KOM_Error)
    KOM_Point::setPosition;
%catches(std::out_of_range, KOM_ObjectWasDeleted, KOM_Error) KOM_Face::vertex;

// By name, the value alone picks the form: int, float, string, float sequence, and the
// int-sequence form last, untested, so that its conversion reports a value of no other form
// (a name with a sequence of ints thus sets floats). By attribute, an int sequence comes before
// a float sequence, as everywhere else.
// (The form's rank is that of its first argument, just after the other by-name forms.)
%typemap(typecheck, precedence=141, noblock=1) // just after strings (SWIG_TYPECHECK_STRING)
    (char const *name, std::vector<int> const &attrib_value) {
  $1 = SWIG_IsOK(kal::asCharPtr($input, 0, 0));
}

// None for a frozen copy, or when no attribute has the name.
%feature("kal:maybenone") KOM_Geometry::sopNode;
%feature("kal:maybenone") KOM_Geometry::findPointAttrib;
%feature("kal:maybenone") KOM_Geometry::findPrimAttrib;
%feature("kal:maybenone") KOM_Geometry::findVertexAttrib;
%feature("kal:maybenone") KOM_Geometry::findGlobalAttrib;

%include "model/geometry.h"

// The binding's own value reading, one pair of overloads per class.
%define KAL_ATTRIB_VALUE(CLASS)
%extend CLASS {
    // The value of an attribute here, by name or attribute: an int, float, str or a tuple of them.
    PyObject *attribValue(char const *name) { return KOMattribValue(*$self, name); }
    PyObject *attribValue(KOM_Attrib &attrib) { return KOMattribValue(*$self, attrib); }
}
%enddef
KAL_ATTRIB_VALUE(KOM_Geometry)
KAL_ATTRIB_VALUE(KOM_Point)
KAL_ATTRIB_VALUE(KOM_Prim)
KAL_ATTRIB_VALUE(KOM_Vertex)

%catches();
