// Nodes, their subclasses and the items of a network.

%catches(KOM_ObjectWasDeleted, KOM_Error);

%catches(KOM_Error) KOM_Node::__hash__;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeName, KOM_PermissionError, KOM_OperationFailed,
         KOM_InitScriptFailed, KOM_MatchDefinitionError, KOM_Error) KOM_Node::createNode;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_InvalidInput, KOM_PermissionError,
         KOM_Error) KOM_Node::setInput;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::destroy;

%feature("kwargs") KOM_Node::node;
%feature("kwargs") KOM_Node::createNode;

// Used only to choose the Python class of a returned node.
%ignore KOM_Node::categoryCode;
%ignore KOM_Node::flagBits;

%include "model/nodes.h"

%catches();
