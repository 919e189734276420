// Node types, their categories and shading-language contexts.

%catches(KOM_ObjectWasDeleted, KOM_Error);

%catches() KOM_NodeType::__eq__;
%catches() KOM_NodeType::__ne__;
%catches(KOM_Error) KOM_NodeType::__hash__;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_NodeType::addAlias;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_NodeType::removeAlias;
%catches(KOM_Error) KOM_SopNodeType::__repr__;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_SopNodeType::selectors;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_SopNodeType::addSelector;
%catches(KOM_Error) KOM_ShopNodeType::__repr__;
%catches(KOM_Error) KOM_NodeTypeCategory::__hash__;
%catches(KOM_Error) KOM_NodeTypeCategory::__repr__;
%catches(KOM_Error) KOM_NodeTypeCategory::name;
%catches(KOM_Error) KOM_NodeTypeCategory::nodeTypes;
%catches(KOM_TypeError, KOM_Error) KOM_NodeTypeCategory::viewerStates;
%catches(KOM_Error) KOM_ZelContext::__repr__;
%catches(KOM_Error) KOM_ZelContext::name;
%catches(KOM_Error) KOM_ZelContext::nodeTypeCategory;
%catches(KOM_Error) KOM_ZelContext::shaderType;
%catches(KOM_Error) KOM_ZelContext::pathsToLoadedZelFunctions;

%feature("kwargs") KOM_SopNodeType::addSelector;

// None for built-in types, which no network or asset defines.
%feature("kal:maybenone") KOM_NodeType::sourceNetwork;
%feature("kal:maybenone") KOM_NodeType::definition;
%feature("kal:maybenone") KOM_NodeType::kdaModule;

// Used only to choose the Python class of a returned type.
%ignore KOM_NodeType::categoryCode;

%include "model/nodetypes.h"

// Second names of three flags: each is the same host operation.
%extend KOM_NodeType {
    // Whether nodes of this type make data without inputs (as isGenerator).
    bool generatorFlag() { return $self->isGenerator(); }
    // Whether the type is a manager network (as isManager).
    bool managerFlag() { return $self->isManager(); }
    // Whether the type's inputs are one unordered list (as hasUnorderedInputs).
    bool unorderedInputsFlag() { return $self->hasUnorderedInputs(); }
}

// Categories are single host objects: the same address is the same category. The host is
// not asked, so nothing is translated.
%catches() KOM_NodeTypeCategory::__eq__;
%catches() KOM_NodeTypeCategory::__ne__;
%extend KOM_NodeTypeCategory {
    // Whether both are the same category.
    bool __eq__(KOM_NodeTypeCategory &other) { return $self == &other; }
    // Whether they are different categories.
    bool __ne__(KOM_NodeTypeCategory &other) { return $self != &other; }
}

%catches();
